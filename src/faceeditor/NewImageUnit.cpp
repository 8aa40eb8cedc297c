#include "faceeditor/NewImageUnit.h"

#include <QColorDialog>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace velmora {

TUpDownBox::TUpDownBox(TUpDown& model, QWidget* parent) : QAbstractSpinBox(parent), M(model)
{
    setWrapping(M.Wrap);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lineEdit()->setText(QString::fromStdString(M.BuddyText));
    connect(lineEdit(), &QLineEdit::textChanged, this,
            [this](const QString& t) { M.buddyTextChanged(t.toStdString()); });
}

void TUpDownBox::stepBy(int steps)
{
    M.step(steps);
    showPosition();
    lineEdit()->selectAll();
}

QValidator::State TUpDownBox::validate(QString& input, int&) const
{
    // Digits only, as a number edit takes them; the range is the model's business.
    for (QChar c : input)
        if (!c.isDigit() && c != ' ') return QValidator::Invalid;
    return input.size() > 9 ? QValidator::Invalid : QValidator::Acceptable;
}

QAbstractSpinBox::StepEnabled TUpDownBox::stepEnabled() const
{
    if (M.Wrap) return StepUpEnabled | StepDownEnabled;
    StepEnabled e = StepNone;
    if (M.Position < M.Max) e |= StepUpEnabled;
    if (M.Position > M.Min) e |= StepDownEnabled;
    return e;
}

void TUpDownBox::focusOutEvent(QFocusEvent* e)
{
    M.editDone();
    showPosition();
    QAbstractSpinBox::focusOutEvent(e);
}

void TUpDownBox::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        M.editDone();
        showPosition();
    }
    QAbstractSpinBox::keyPressEvent(e);
}

void TUpDownBox::showPosition()
{
    const QString t = QString::fromStdString(M.BuddyText);
    if (lineEdit()->text() != t) lineEdit()->setText(t);
}

TNewImageForm::TNewImageForm(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("New Image");
    setObjectName("NewImageForm");
    ColorDialog1 = [](const QColor& initial, QWidget* owner) {
        return QColorDialog::getColor(initial, owner, "Color");
    };

    Label1 = new QLabel("Width:", this);
    UpDown1 = new TUpDownBox(Width, this);
    UpDown1->setObjectName("ImageWidth");
    Label1->setBuddy(UpDown1);
    Label3 = new QLabel("pixels", this);
    Label2 = new QLabel("Height:", this);
    UpDown2 = new TUpDownBox(Height, this);
    UpDown2->setObjectName("ImageHeight");
    Label2->setBuddy(UpDown2);
    Label4 = new QLabel("pixels", this);
    Label5 = new QLabel("Background Color:", this);

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setFixedSize(41, 25);
    Panel1->setAutoFillBackground(true);
    setPanelColor(Colour);

    Button1 = new QPushButton("Select", this);
    Button1->setFocusPolicy(Qt::ClickFocus); // not on the Tab key's round
    Button1->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    Button2 = new QPushButton("OK", this);
    Button2->setDefault(true);
    connect(Button2, &QPushButton::clicked, this, &QDialog::accept);
    Button3 = new QPushButton("Cancel", this);
    Button3->setAutoDefault(false);
    connect(Button3, &QPushButton::clicked, this, &QDialog::reject);

    auto* grid = new QGridLayout;
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(UpDown1, 0, 1);
    grid->addWidget(Label3, 0, 2);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(UpDown2, 1, 1);
    grid->addWidget(Label4, 1, 2);
    grid->setColumnStretch(1, 1);

    auto* colour = new QHBoxLayout;
    colour->addWidget(Panel1);
    colour->addWidget(Button1);
    colour->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button2);
    buttons->addWidget(Button3);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(6);
    layout->addWidget(Label5);
    layout->addLayout(colour);
    layout->addStretch(1);
    layout->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(250, 194)));
    UpDown1->setFocus();
}

std::int32_t TNewImageForm::Panel1Color() const
{
    return std::int32_t(Colour.red() | Colour.green() << 8 | Colour.blue() << 16);
}

void TNewImageForm::setPanelColor(const QColor& c)
{
    Colour = c.toRgb();
    Colour.setAlpha(255);
    QPalette pal = Panel1->palette();
    pal.setColor(QPalette::Window, Colour);
    Panel1->setPalette(pal);
}

void TNewImageForm::Button1Click()
{
    const QColor picked = ColorDialog1 ? ColorDialog1(Colour, this) : QColor();
    if (picked.isValid()) setPanelColor(picked);
}

void TNewImageForm::showEvent(QShowEvent* e)
{
    // Centred on the screen, as the dialog always was.
    if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
    QDialog::showEvent(e);
}

} // namespace velmora
