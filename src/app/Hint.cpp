#include "app/Hint.h"

#include "app/Artwork.h"
#include "app/ProgramIni.h"
#include "files/IniFile.h"

#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPolygonF>
#include <QPushButton>
#include <QScreen>

namespace velmora {

std::int32_t TipIndex = 0;

namespace {

constexpr int kClientWidth = 337;
constexpr int kClientHeight = 175;

// A small green arrow for the Previous and Next buttons.
QIcon arrowIcon(bool right)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 100, 40), 1));
    p.setBrush(QColor(60, 170, 80));
    QPolygonF arrow{{2, 6}, {8, 6}, {8, 2.5}, {14, 8}, {8, 13.5}, {8, 10}, {2, 10}};
    if (!right)
        for (QPointF& pt : arrow) pt.setX(16 - pt.x());
    p.drawPolygon(arrow);
    return QIcon(pm);
}

} // namespace

QStringList buildTipList()
{
    return {
        QStringLiteral("To create a new box, simply click on the \"Create New Box\" button."),
        QStringLiteral("Once you have created a box layout that you like, you can reuse it for any other box.  "
                       "Simply save the scene with a new file name and apply your new images."),
        QStringLiteral("You can adjust the width and height of the drop shadow using the sliders on the \"Scene "
                       "Settings\" tab."),
        QStringLiteral("You can change the scene zoom by rolling your mouse wheel."),
        QStringLiteral("When you adjust the point of focus, it is easier to see what you are doing when you click "
                       "the \"Visible Point of Focus\" checkbox."),
        QStringLiteral("When you render the box shot, you can adjust the quality of the antialiasing using the "
                       "\"Antialiasing Multiplyer\" slider."),
        QStringLiteral("Changing the scene's background color will also change the reflection color."),
        QStringLiteral("The reflection can be faded out using the \"Reflection Opacity\" slider."),
        QStringLiteral("You can change your box dimensions to predefined defaults of Standard, CD and DVD using the "
                       "buttons under the \"Box Dimensions\" sliders."),
        QStringLiteral("Box face images are stored with the box scene.  So, if you wish to distribute your scenes "
                       "you only need to copy the one file."),
        QStringLiteral("Velmora 2.0 Scene files are now associated with the application itself."),
        QStringLiteral("To get a quick link into the help file on how to use the mouse, simply click the \"How do I "
                       "use the mouse?\" link in the tool bar."),
        QStringLiteral("The box dimensions are automatically pulled into the face editor.  However, you can create a "
                       "face of any size by clicking File->New."),
    };
}

TfrmHint::TfrmHint(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Velmora - Tip Of The Day"));
    // A tool window: thin caption bar, no minimise or maximise.
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);
    QFont f = font();
    f.setPointSize(8);
    setFont(f);

    Image1 = new QLabel(this);
    Image1->setGeometry(0, 0, kClientWidth, kClientHeight);
    Image1->setPixmap(
        QPixmap::fromImage(aboutPicture().copy(kTipPictureLeft, kTipPictureTop, kClientWidth, kClientHeight)));

    txtHint = new QPlainTextEdit(this);
    txtHint->setGeometry(8, 24, 161, 89);
    txtHint->setFrameShape(QFrame::NoFrame);
    txtHint->setReadOnly(true);
    txtHint->setFocusPolicy(Qt::ClickFocus); // the Tab key skips it
    txtHint->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    txtHint->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtHint->setObjectName(QStringLiteral("txtHint"));

    cbStartup = new QCheckBox(QStringLiteral("Show Tips At Startup"), this);
    cbStartup->setLayoutDirection(Qt::RightToLeft); // caption on the left
    cbStartup->setAutoFillBackground(true);
    QPalette white = cbStartup->palette();
    white.setColor(QPalette::Window, Qt::white);
    cbStartup->setPalette(white);
    cbStartup->setChecked(true);
    cbStartup->adjustSize();
    cbStartup->move(8, 118);

    BitBtn1 = new QPushButton(arrowIcon(false), QStringLiteral("Previous Tip"), this);
    BitBtn1->setGeometry(8, 143, 100, 25);
    BitBtn1->setAutoDefault(false);
    BitBtn2 = new QPushButton(arrowIcon(true), QStringLiteral("   Next Tip    "), this);
    BitBtn2->setLayoutDirection(Qt::RightToLeft); // picture on the right
    BitBtn2->setGeometry(114, 143, 100, 25);
    BitBtn2->setAutoDefault(false);
    Button1 = new QPushButton(QStringLiteral("Close"), this);
    Button1->setGeometry(254, 143, 75, 25);
    Button1->setDefault(true); // Enter closes
    Button1->setAutoDefault(true);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
}

void TfrmHint::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!Activated) {
        Activated = true;
        if (QWidget* over = parentWidget()) {
            // Centred over the main window.
            const QRect outer = over->frameGeometry();
            const QSize own = frameGeometry().size();
            move(outer.x() + (outer.width() - own.width()) / 2, outer.y() + (outer.height() - own.height()) / 2);
        }
        FormActivate();
    }
}

void TfrmHint::FormActivate()
{
    TipList = buildTipList();
    const std::string stored = readProgramIniString("Tips", "Index", "0");
    std::int32_t index = 0;
    // A damaged value must not break the window for good: it starts over at
    // the first tip, and closing writes the corrected index back.
    if (!parseIntegerText(stored, index) || index < 0 || index >= TipList.size()) index = 0;
    TipIndex = index;
    cbStartup->setChecked(readProgramIniBool("Tips", "Startup", true));
    showTip();
}

void TfrmHint::showTip()
{
    txtHint->clear();
    if (TipIndex >= 0 && TipIndex < TipList.size()) txtHint->appendPlainText(TipList[TipIndex]);
}

void TfrmHint::BitBtn2Click()
{
    TipIndex = TipIndex + 1;
    if (TipIndex > TipList.size() - 1) TipIndex = 0;
    showTip();
}

void TfrmHint::BitBtn1Click()
{
    TipIndex = TipIndex - 1;
    if (TipIndex < 0) TipIndex = static_cast<std::int32_t>(TipList.size()) - 1;
    showTip();
}

void TfrmHint::Button1Click()
{
    close();
}

void TfrmHint::FormClose()
{
    // A folder that cannot be written keeps the defaults; closing never fails.
    writeProgramIniInteger("Tips", "Index", TipIndex);
    writeProgramIniBool("Tips", "Startup", cbStartup->isChecked());
}

void TfrmHint::done(int result)
{
    // The close box, Escape and the Close button all end here.
    if (!Closed) {
        Closed = true;
        FormClose();
    }
    QDialog::done(result);
}

void showTipWindow(QWidget* parent)
{
    TfrmHint hint(parent);
    hint.exec();
}

} // namespace velmora
