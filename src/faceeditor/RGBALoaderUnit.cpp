#include "faceeditor/RGBALoaderUnit.h"

#include "faceeditor/Bitmap32.h"
#include "faceeditor/ImgView32.h"
#include "faceeditor/PictureDialogs.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

namespace velmora {

namespace {

// The system colour index of a button's shadow.
constexpr std::int32_t clBtnShadow = std::int32_t(0x80000010);

TImgView32* makePreview(QWidget* parent, const char* name)
{
    auto* v = new TImgView32(parent);
    v->setObjectName(name);
    v->setFixedSize(169, 169);
    v->SetScale(1);
    v->Model().Color = clBtnShadow;
    v->Model().SizeGrip = sgAuto;
    return v;
}

QToolButton* makeZoomButton(QWidget* parent, const char* text)
{
    auto* b = new QToolButton(parent);
    b->setText(text);
    b->setAutoRaise(true); // flat
    b->setFixedSize(23, 22);
    return b;
}

// Reads into a scratch bitmap first, so a failed read leaves the preview alone.
void loadInto(TImgView32& view, const QString& file)
{
    TBitmap32 picture;
    picture.LoadPicture(file.toStdString());
    view.Bitmap().CopyFrom(picture);
}

} // namespace

TRGBALoaderForm::TRGBALoaderForm(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("New Bitmap Layer with Alpha Channel");
    setObjectName("RGBALoaderForm");
    OpenPictureDialog = [](QWidget* owner) { return runOpenPictureDialog(owner); };

    Panel1 = new QWidget(this);
    Panel1->setObjectName("Panel1");
    Panel1->setAutoFillBackground(true);
    QPalette white = Panel1->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    Panel1->setPalette(white);
    Label1 = new QLabel(Panel1);
    Label1->setText("Load two images, one of them will be used to fill RGB components \r\n"
                    "of the layer, another will be converted to a grayscale image and \r\n"
                    "used as alpha channel");
    QFont verdana("Verdana");
    verdana.setPointSize(8);
    Label1->setFont(verdana);
    auto* top = new QVBoxLayout(Panel1);
    top->setContentsMargins(10, 8, 10, 8);
    top->addWidget(Label1);

    Label2 = new QLabel("RGB Image:", this);
    Button1 = new QPushButton("Load...", this);
    SpeedButton1 = makeZoomButton(this, "+");
    SpeedButton2 = makeZoomButton(this, "-");
    ImgRGB = makePreview(this, "ImgRGB");
    Label3 = new QLabel("Alpha Image:", this);
    Button2 = new QPushButton("Load...", this);
    SpeedButton3 = makeZoomButton(this, "+");
    SpeedButton4 = makeZoomButton(this, "-");
    ImgAlpha = makePreview(this, "ImgAlpha");
    Label4 = new QLabel("If the images have different sizes, the alpha image will be rescaled.", this);
    Label4->setWordWrap(true);
    Button5 = new QPushButton("Reset Scales", this);
    Button3 = new QPushButton("OK", this);
    Button3->setDefault(true);
    Button4 = new QPushButton("Cancel", this);
    for (QPushButton* b : {Button1, Button2, Button5, Button4}) b->setAutoDefault(false);

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    connect(SpeedButton2, &QToolButton::clicked, this, [this] { SpeedButton2Click(); });
    connect(SpeedButton3, &QToolButton::clicked, this, [this] { SpeedButton3Click(); });
    connect(SpeedButton4, &QToolButton::clicked, this, [this] { SpeedButton4Click(); });
    connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
    connect(Button3, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button4, &QPushButton::clicked, this, &QDialog::reject);

    auto side = [](QLabel* label, QPushButton* load, QToolButton* plus, QToolButton* minus, TImgView32* view) {
        auto* col = new QVBoxLayout;
        auto* row = new QHBoxLayout;
        row->addWidget(label);
        row->addStretch(1);
        row->addWidget(load);
        row->addWidget(plus);
        row->addWidget(minus);
        col->addLayout(row);
        col->addWidget(view, 0, Qt::AlignHCenter);
        return col;
    };
    auto* previews = new QHBoxLayout;
    previews->addLayout(side(Label2, Button1, SpeedButton1, SpeedButton2, ImgRGB));
    previews->addSpacing(12);
    previews->addLayout(side(Label3, Button2, SpeedButton3, SpeedButton4, ImgAlpha));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button5);
    buttons->addStretch(1);
    buttons->addWidget(Button3);
    buttons->addWidget(Button4);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(10, 8, 10, 10);
    body->addLayout(previews);
    body->addWidget(Label4);
    body->addStretch(1);
    body->addLayout(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addLayout(body, 1);
    setFixedSize(sizeHint().expandedTo(QSize(412, 367)));
}

void TRGBALoaderForm::Button1Click()
{
    const QString file = OpenPictureDialog ? OpenPictureDialog(this) : QString();
    if (!file.isEmpty()) loadInto(*ImgRGB, file);
}

void TRGBALoaderForm::Button2Click()
{
    const QString file = OpenPictureDialog ? OpenPictureDialog(this) : QString();
    if (file.isEmpty()) return;
    loadInto(*ImgAlpha, file);
    TBitmap32& b = ImgAlpha->Bitmap();
    GrayFromColor(b, b, false);
}

void TRGBALoaderForm::SpeedButton1Click()
{
    ImgRGB->SetScale(float(double(ImgRGB->Scale()) * 1.5));
}
void TRGBALoaderForm::SpeedButton2Click()
{
    ImgRGB->SetScale(float(double(ImgRGB->Scale()) / 1.5));
}
void TRGBALoaderForm::SpeedButton3Click()
{
    ImgAlpha->SetScale(float(double(ImgAlpha->Scale()) * 1.5));
}
void TRGBALoaderForm::SpeedButton4Click()
{
    ImgAlpha->SetScale(float(double(ImgAlpha->Scale()) / 1.5));
}

void TRGBALoaderForm::Button5Click()
{
    ImgRGB->SetScale(1);
    ImgAlpha->SetScale(1);
}

void TRGBALoaderForm::showEvent(QShowEvent* e)
{
    if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
    QDialog::showEvent(e);
}

} // namespace velmora
