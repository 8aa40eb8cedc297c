#include "faceeditor/FaceEditor.h"

#include "faceeditor/BackgroundImage.h"
#include "faceeditor/FaceDocument.h"
#include "faceeditor/ImgView32.h"
#include "faceeditor/NewImageUnit.h"
#include "faceeditor/PictureDialogs.h"
#include "faceeditor/RGBALoaderUnit.h"
#include "faceeditor/RangeBarWidgets.h"

#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QColorDialog>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <cmath>
#include <exception>

namespace velmora {

// ---------------------------------------------------------------- rules

std::string scaleText(float scale)
{
    return std::to_string(static_cast<long long>(std::nearbyint(double(scale) * 100))) + "%";
}

float wheelZoom(float scale, bool towardUser)
{
    float s = towardUser ? float(double(scale) * 1.1) : float(double(scale) / 1.1);
    if (!towardUser && s < 0.2f) s = 0.2f;
    if (towardUser && s > 20.f) s = 20.f;
    return s;
}

std::optional<TScaleComboResult> scaleComboRule(const std::string& text, float scale)
{
    std::string digits;
    for (char c : text)
        if (c != '%' && c != ' ') digits += c;
    if (digits.empty()) return std::nullopt;
    long long n = -1;
    try {
        std::size_t used = 0;
        n = std::stoll(digits, &used, 10);
        if (used != digits.size()) n = -1;
    } catch (const std::exception&) {
        n = -1;
    }
    TScaleComboResult r;
    if (n < 1 || n > 2000) {
        n = static_cast<long long>(std::nearbyint(double(scale) * 100));
        r.Scale = scale;
    } else {
        r.Scale = float(double(n) / 100);
        r.ScaleChanged = true;
    }
    r.Text = std::to_string(n) + "%";
    return r;
}

// ---------------------------------------------------------------- tool pictures

namespace {

enum class Tool { Select, Graphic, Text, Delete, LevelDown, LevelUp, SendBack, BringFront };

// The closed outline through the corners in order.
QPainterPath closedPath(std::initializer_list<QPointF> corners)
{
    QPainterPath path(*corners.begin());
    for (auto c = corners.begin() + 1; c != corners.end(); ++c) path.lineTo(*c);
    path.closeSubpath();
    return path;
}

// Two overlapping sheets, the one in front marked: the four stacking pictures.
void paintStack(QPainter& p, bool markFront, bool arrowUp, bool toEnd)
{
    const QColor back(150, 150, 150), front(70, 120, 200);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(markFront ? back : front);
    p.drawRect(3, 3, 11, 11);
    p.setBrush(markFront ? front : back);
    p.drawRect(9, 9, 11, 11);
    const double x = 19.5, y0 = arrowUp ? 8 : 2, y1 = arrowUp ? 2 : 8;
    const QPainterPath arrow = closedPath({{x - 3, y0}, {x + 3, y0}, {x, y1}});
    p.setBrush(Qt::black);
    p.drawPath(arrow);
    if (toEnd) p.drawLine(QPointF(x - 3, y1 - (arrowUp ? 1 : -1)), QPointF(x + 3, y1 - (arrowUp ? 1 : -1)));
}

QIcon toolIcon(Tool tool)
{
    QPixmap pm(24, 24);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (tool) {
    case Tool::Select: {
        const QPainterPath arrow = closedPath({{7, 3}, {7, 19}, {11, 15}, {14, 21}, {16.5, 20}, {13.5, 14}, {19, 14}});
        p.setPen(QPen(Qt::black, 1.2));
        p.setBrush(Qt::white);
        p.drawPath(arrow);
        break;
    }
    case Tool::Graphic: {
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.setBrush(QColor(170, 215, 255));
        p.drawRect(QRectF(2.5, 4.5, 19, 15));
        p.setBrush(QColor(60, 150, 60));
        p.drawPath(closedPath({{3, 19}, {9, 11}, {13, 16}, {16, 13}, {21, 19}}));
        p.setBrush(QColor(250, 210, 40));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(17, 8.5), 2, 2);
        break;
    }
    case Tool::Text: {
        QFont f(QStringLiteral("DejaVu Serif"));
        f.setPixelSize(19);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::black);
        p.drawText(QRect(0, 0, 24, 24), Qt::AlignCenter, QStringLiteral("T"));
        break;
    }
    case Tool::Delete:
        p.setPen(QPen(QColor(200, 30, 30), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(6, 6), QPointF(18, 18));
        p.drawLine(QPointF(18, 6), QPointF(6, 18));
        break;
    case Tool::LevelDown: paintStack(p, false, false, false); break;
    case Tool::LevelUp: paintStack(p, true, true, false); break;
    case Tool::SendBack: paintStack(p, false, false, true); break;
    case Tool::BringFront: paintStack(p, true, true, true); break;
    }
    return QIcon(pm);
}

QWidget* titleStrip(const QString& title, QWidget* parent)
{
    auto* strip = new QLabel(title, parent);
    strip->setAutoFillBackground(true);
    QPalette pal = strip->palette();
    pal.setColor(QPalette::Window, QColor(10, 36, 106));
    pal.setColor(QPalette::WindowText, Qt::white);
    strip->setPalette(pal);
    strip->setContentsMargins(4, 1, 4, 1);
    QFont f = strip->font();
    f.setBold(true);
    if (f.pointSizeF() > 7) f.setPointSizeF(f.pointSizeF() - 1);
    strip->setFont(f);
    return strip;
}

// A panel of the tool column under its title strip; its widgets go into the
// layout returned.
QVBoxLayout* propertyPanel(QWidget*& panel, const char* name, const QString& title, QWidget* parent)
{
    panel = new QWidget(parent);
    panel->setObjectName(QString::fromLatin1(name));
    auto* l = new QVBoxLayout(panel);
    l->setContentsMargins(0, 4, 0, 0);
    l->setSpacing(3);
    l->addWidget(titleStrip(title, panel));
    return l;
}

QFont toQFont(const TFont32& f)
{
    QFont q(QString::fromStdString(f.Name));
    q.setPixelSize(f.Height > 0 ? f.Height : 1);
    q.setBold(f.Styles & TFont32::fsBold);
    q.setItalic(f.Styles & TFont32::fsItalic);
    q.setUnderline(f.Styles & TFont32::fsUnderline);
    q.setStrikeOut(f.Styles & TFont32::fsStrikeOut);
    return q;
}

TFont32 fromQFont(const QFont& q, std::uint32_t colour)
{
    TFont32 f;
    f.Name = q.family().toStdString();
    f.Height = q.pixelSize() > 0 ? q.pixelSize() : int(std::lround(q.pointSizeF() * 96.0 / 72.0));
    f.Styles = (q.bold() ? TFont32::fsBold : 0u) | (q.italic() ? TFont32::fsItalic : 0u) |
        (q.underline() ? TFont32::fsUnderline : 0u) | (q.strikeOut() ? TFont32::fsStrikeOut : 0u);
    f.Color = colour;
    return f;
}

std::int32_t windowColor(const QColor& c)
{
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

void paintSwatch(QPushButton* swatch, const QColor& c)
{
    swatch->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; border: 1px solid #404040; }").arg(c.name()));
}

// The toolkit's font chooser has no colour; this one adds the text colour
// below it, as the font is a face, a size, a style and a colour.
bool runFontDialog(QWidget* parent, TFont32& font)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Font"));
    auto* col = new QVBoxLayout(&dialog);
    // A face that is not installed starts the chooser at the face that stands in
    // for it, so that its styles (bold) are offered.
    QFont initial = toQFont(font);
    initial.setFamily(QFontInfo(initial).family());
    auto* chooser = new QFontDialog(initial, &dialog);
    chooser->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    chooser->setWindowFlags(Qt::Widget);
    col->addWidget(chooser);
    QColor colour(int(font.Color & 255), int(font.Color >> 8 & 255), int(font.Color >> 16 & 255));
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Color:"), &dialog));
    auto* swatch = new QPushButton(&dialog);
    swatch->setObjectName(QStringLiteral("FontColor"));
    swatch->setFixedSize(40, 22);
    swatch->setAutoDefault(false);
    paintSwatch(swatch, colour);
    row->addWidget(swatch);
    row->addStretch(1);
    col->addLayout(row);
    QObject::connect(swatch, &QPushButton::clicked, &dialog, [&] {
        const QColor c = QColorDialog::getColor(colour, &dialog, QStringLiteral("Color"));
        if (!c.isValid()) return;
        colour = c;
        paintSwatch(swatch, colour);
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    col->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted) return false;
    font = fromQFont(chooser->currentFont(), std::uint32_t(windowColor(colour)));
    return true;
}

} // namespace

// ---------------------------------------------------------------- window

QString TfrmFaceEditor::StockPhotoAddress()
{
    return QStringLiteral("https://www.velmora.example/stock-photos/");
}

TfrmFaceEditor::TfrmFaceEditor(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmFaceEditor"));
    setWindowTitle(QStringLiteral("Edit Box Face"));
    setModal(true);
    setSizeGripEnabled(true);
    resize(692, 521 + 24);

    ImgView = new TImgView32(this);
    ImgView->setObjectName(QStringLiteral("ImgView"));
    ImgView->SetTabStop(true);
    ImgView->Model().SizeGrip = sgNone;
    ImgView->Model().OverSize = 0;
    Doc = std::make_unique<TFaceDocument>(ImgView->Model());
    Doc->OnSelectionChanged = [this] { selectionChanged(); };
    TImgView32Model& view = ImgView->Model();
    view.OnMouseWheelUp = [this](TImgView32Model*) { ImgViewMouseWheelUp(); };
    view.OnMouseWheelDown = [this](TImgView32Model*) { ImgViewMouseWheelDown(); };
    view.OnMouseDown = [this](TImgView32Model*, TMouseButton b, TShiftState s, int x, int y, TCustomLayer* l) {
        ImgViewMouseDown(b, s, x, y, l);
    };
    view.OnPaintStage = [this](TImgView32Model*, TBitmap32& buffer, unsigned stage) {
        ImgViewPaintStage(buffer, stage);
    };
    view.OnMouseUp = [this](TImgView32Model*, TMouseButton b, TShiftState s, int x, int y, TCustomLayer* l) {
        ImgViewMouseUp(b, s, x, y, l);
    };

    OpenPictureDialog1 = [this] { return runOpenPictureDialog(this); };
    SavePictureDialog1 = [this] {
        QFileDialog dialog(this, QStringLiteral("Save As"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(QStringLiteral("Bitmaps (*.bmp)"));
        dialog.setDefaultSuffix(QStringLiteral("bmp"));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
        return dialog.selectedFiles().first();
    };
    ColorDialog1 = [this](const QColor& initial) -> std::optional<QColor> {
        const QColor c = QColorDialog::getColor(initial, this, QStringLiteral("Color"));
        if (!c.isValid()) return std::nullopt;
        return c;
    };
    AskAddToBox = [this] {
        return QMessageBox::question(this, QStringLiteral("Confirm"),
                                     QStringLiteral("Would you like to add this image to your box?"),
                                     QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    };
    FontDialog1 = [this](TFont32& font) { return runFontDialog(this, font); };
    OnStockPhotos = [] { QDesktopServices::openUrl(QUrl(StockPhotoAddress())); };

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    buildMenus();
    outer->setMenuBar(MainMenu);
    auto* middle = new QHBoxLayout;
    middle->setSpacing(0);
    middle->addWidget(buildToolPanel());
    middle->addWidget(ImgView, 1);
    outer->addLayout(middle, 1);

    auto* bottom = new QHBoxLayout;
    bottom->setContentsMargins(8, 6, 8, 6);
    bottom->addStretch(1);
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnDone = new QPushButton(QStringLiteral("&Done"), this);
    btnDone->setObjectName(QStringLiteral("btnDone"));
    btnCancel->setAutoDefault(false);
    btnDone->setAutoDefault(false);
    bottom->addWidget(btnCancel);
    bottom->addWidget(btnDone);
    outer->addLayout(bottom);
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    connect(btnDone, &QPushButton::clicked, this, [this] { btnDoneClick(); });

    selectionChanged();
}

TfrmFaceEditor::~TfrmFaceEditor()
{
    // The panels must not hear about the selection while the window goes.
    Doc->OnSelectionChanged = nullptr;
    Doc->SelectLayer(nullptr);
}

void TfrmFaceEditor::buildMenus()
{
    MainMenu = new QMenuBar(this);
    auto item = [](QMenu* menu, const char* name, const char* caption) {
        QAction* a = menu->addAction(QString::fromUtf8(caption));
        a->setObjectName(QString::fromUtf8(name));
        return a;
    };
    mnFile = MainMenu->addMenu(QStringLiteral("File"));
    mnFile->setObjectName(QStringLiteral("mnFile"));
    mnFileNew = item(mnFile, "mnFileNew", "New...");
    mnFileOpen = item(mnFile, "mnFileOpen", "Open...");
    mnFile->addSeparator();
    SaveAs1 = item(mnFile, "SaveAs1", "Save As...");
    mnFile->addSeparator();
    Done1 = item(mnFile, "Done1", "Done");

    mnLayers = MainMenu->addMenu(QStringLiteral("Layers"));
    mnLayers->setObjectName(QStringLiteral("mnLayers"));
    mnNewBitmapLayer = item(mnLayers, "mnNewBitmapLayer", "New Bitmap Layer");
    mnNewBitmapRGBA = item(mnLayers, "mnNewBitmapRGBA", "New Bitmap Layer with Alpha Channel");
    mnNewTextLayer = item(mnLayers, "mnNewTextLayer", "New Text Layer");
    mnLayers->addSeparator();
    mnFlatten = item(mnLayers, "mnFlatten", "Flatten Layers");

    mnArrange = MainMenu->addMenu(QStringLiteral("Selection"));
    mnArrange->setObjectName(QStringLiteral("mnArrange"));
    mnBringFront = item(mnArrange, "mnBringFront", "Bring to Front");
    mnSendBack = item(mnArrange, "mnSendBack", "Send to Back");
    mnArrange->addSeparator();
    mnLevelUp = item(mnArrange, "mnLevelUp", "Up One Level");
    mnLevelDown = item(mnArrange, "mnLevelDown", "Down one Level");
    mnArrange->addSeparator();
    mnScaled = item(mnArrange, "mnScaled", "Scaled");
    mnScaled->setCheckable(true);
    mnScaled->setChecked(true);
    mnDelete = item(mnArrange, "mnDelete", "Delete");
    // Del removes the selected layer; edit boxes with the focus keep the key.
    mnDelete->setShortcut(QKeySequence::Delete);
    mnArrange->addSeparator();
    mnFlipHorz = item(mnArrange, "mnFlipHorz", "Flip Horizontally");
    mnFlipVert = item(mnArrange, "mnFlipVert", "Flip Vertically");
    mnArrange->addSeparator();
    mnRotate90 = item(mnArrange, "mnRotate90", "Rotate 90°");
    mnRotate180 = item(mnArrange, "mnRotate180", "Rotate 180°");
    mnRotate270 = item(mnArrange, "mnRotate270", "Rotate 270°");

    Help1 = MainMenu->addMenu(QStringLiteral("Help"));
    Help1->setObjectName(QStringLiteral("Help1"));
    Contents1 = item(Help1, "Contents1", "Contents");
    Contents1->setShortcut(QKeySequence(Qt::Key_F1));
    Help1->addSeparator();
    OnlineSupportCenter1 = item(Help1, "OnlineSupportCenter1", "Online Support Center...");
    EMailTechnicalSupport1 = item(Help1, "EMailTechnicalSupport1", "E-Mail Technical Support...");
    // The F1 shortcut works with the menu closed.
    addAction(Contents1);
    addAction(mnDelete);

    connect(mnLayers, &QMenu::aboutToShow, this, [this] { mnLayersClick(); });
    connect(mnArrange, &QMenu::aboutToShow, this, [this] { mnArrangeClick(); });

    connect(mnFileNew, &QAction::triggered, this, [this] { mnFileNewClick(); });
    connect(mnFileOpen, &QAction::triggered, this, [this] { mnFileOpenClick(); });
    connect(SaveAs1, &QAction::triggered, this, [this] { SaveAs1Click(); });
    connect(Done1, &QAction::triggered, this, [this] { Done1Click(); });
    connect(mnNewBitmapLayer, &QAction::triggered, this, [this] { mnNewBitmapLayerClick(); });
    connect(mnNewBitmapRGBA, &QAction::triggered, this, [this] { mnNewBitmapRGBAClick(); });
    connect(mnNewTextLayer, &QAction::triggered, this, [this] { mnNewTextLayerClick(); });
    connect(mnFlatten, &QAction::triggered, this, [this] { mnFlattenClick(); });
    connect(mnBringFront, &QAction::triggered, this, [this] { mnReorder(1); });
    connect(mnSendBack, &QAction::triggered, this, [this] { mnReorder(2); });
    connect(mnLevelUp, &QAction::triggered, this, [this] { mnReorder(3); });
    connect(mnLevelDown, &QAction::triggered, this, [this] { mnReorder(4); });
    connect(mnScaled, &QAction::triggered, this, [this] { mnScaledClick(); });
    connect(mnDelete, &QAction::triggered, this, [this] { mnDeleteClick(); });
    connect(mnFlipHorz, &QAction::triggered, this, [this] { mnFlipHorzClick(); });
    connect(mnFlipVert, &QAction::triggered, this, [this] { mnFlipVertClick(); });
    connect(mnRotate90, &QAction::triggered, this, [this] { mnRotate90Click(); });
    connect(mnRotate180, &QAction::triggered, this, [this] { mnRotate180Click(); });
    connect(mnRotate270, &QAction::triggered, this, [this] { mnRotate270Click(); });
    connect(Contents1, &QAction::triggered, this, [this] {
        if (OnHelpContents) OnHelpContents();
    });
    connect(OnlineSupportCenter1, &QAction::triggered, this, [this] {
        if (OnOnlineSupport) OnOnlineSupport();
    });
    connect(EMailTechnicalSupport1, &QAction::triggered, this, [this] {
        if (OnSupportMail) OnSupportMail();
    });
}

QWidget* TfrmFaceEditor::buildToolPanel()
{
    ToolPanel = new QWidget(this);
    ToolPanel->setObjectName(QStringLiteral("ToolPanel"));
    // Wider than the design's 137: the desktop font is larger than the design's.
    ToolPanel->setFixedWidth(156);
    auto* col = new QVBoxLayout(ToolPanel);
    col->setContentsMargins(4, 4, 4, 4);
    col->setSpacing(4);

    auto* tools = new QGridLayout;
    tools->setSpacing(2);
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    auto tool = [&](const char* name, Tool picture, const char* hint, int row, int column, bool grouped) {
        auto* b = new QToolButton(ToolPanel);
        b->setObjectName(QString::fromUtf8(name));
        b->setIcon(toolIcon(picture));
        b->setIconSize(QSize(24, 24));
        b->setToolTip(QString::fromUtf8(hint));
        b->setFixedSize(30, 30);
        b->setAutoRaise(true);
        if (grouped) {
            b->setCheckable(true);
            group->addButton(b);
        }
        tools->addWidget(b, row, column);
        return b;
    };
    btnSelect = tool("btnSelect", Tool::Select, "Edit drawing", 0, 0, true);
    btnGraphic = tool("btnGraphic", Tool::Graphic, "Insert Image", 0, 1, true);
    btnText = tool("btnText", Tool::Text, "Draw text", 0, 2, true);
    btnText->setText(QStringLiteral("T"));
    btnDelete = tool("btnDelete", Tool::Delete, "Delete selected object...", 0, 3, false);
    btnLevelDown = tool("btnLevelDown", Tool::LevelDown, "Move backward", 1, 0, false);
    btnLevelUp = tool("btnLevelUp", Tool::LevelUp, "Move forward", 1, 1, false);
    btnSendBack = tool("btnSendBack", Tool::SendBack, "Send to back", 1, 2, false);
    btnBringFront = tool("btnBringFront", Tool::BringFront, "Bring to front", 1, 3, false);
    btnSelect->setChecked(true);
    for (QToolButton* b : {btnDelete, btnLevelDown, btnLevelUp, btnSendBack, btnBringFront}) b->setEnabled(false);
    col->addLayout(tools);
    connect(btnGraphic, &QToolButton::clicked, this, [this] { btnGraphicClick(); });
    connect(btnText, &QToolButton::clicked, this, [this] { btnTextClick(); });
    connect(btnDelete, &QToolButton::clicked, this, [this] { btnDeleteClick(); });
    connect(btnBringFront, &QToolButton::clicked, this, [this] { btnBringFrontClick(); });
    connect(btnSendBack, &QToolButton::clicked, this, [this] { btnSendBackClick(); });
    connect(btnLevelUp, &QToolButton::clicked, this, [this] { btnLevelUpClick(); });
    connect(btnLevelDown, &QToolButton::clicked, this, [this] { btnLevelDownClick(); });

    auto* baseRow = new QHBoxLayout;
    baseRow->addWidget(new QLabel(QStringLiteral("Base Color:"), ToolPanel));
    BackgroundColor = new QPushButton(ToolPanel);
    BackgroundColor->setObjectName(QStringLiteral("BackgroundColor"));
    BackgroundColor->setFixedSize(25, 25);
    BackgroundColor->setCursor(Qt::PointingHandCursor);
    BackgroundColor->setFlat(true);
    paintSwatch(BackgroundColor, BaseColour);
    baseRow->addWidget(BackgroundColor);
    baseRow->addStretch(1);
    col->addLayout(baseRow);
    connect(BackgroundColor, &QPushButton::clicked, this, [this] { BackgroundColorClick(); });

    btnBackgroundImage = new QPushButton(QStringLiteral("Background Image"), ToolPanel);
    btnBackgroundImage->setObjectName(QStringLiteral("btnBackgroundImage"));
    btnBackgroundImage->setAutoDefault(false);
    col->addWidget(btnBackgroundImage);
    connect(btnBackgroundImage, &QPushButton::clicked, this, [this] { btnBackgroundImageClick(); });

    Label9 = new QLabel(QStringLiteral("<a href=\"stock\">Stock Photo Images</a>"), ToolPanel);
    Label9->setObjectName(QStringLiteral("Label9"));
    Label9->setCursor(Qt::PointingHandCursor);
    col->addWidget(Label9);
    connect(Label9, &QLabel::linkActivated, this, [this] {
        if (OnStockPhotos) OnStockPhotos();
    });

    // Image Properties.
    {
        QVBoxLayout* l = propertyPanel(pnlImage, "pnlImage", QStringLiteral("Image Properties"), ToolPanel);
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(QStringLiteral("Scale:"), pnlImage));
        ScaleCombo = new QComboBox(pnlImage);
        ScaleCombo->setObjectName(QStringLiteral("ScaleCombo"));
        ScaleCombo->setEditable(true);
        ScaleCombo->setInsertPolicy(QComboBox::NoInsert);
        ScaleCombo->setMaxVisibleItems(9);
        for (const char* s :
             {"    25%", "    50%", "    75%", "  100%", "  200%", "  300%", "  400%", "  800%", "1600%"})
            ScaleCombo->addItem(QString::fromUtf8(s));
        setScaleText(QStringLiteral("100%"));
        row->addWidget(ScaleCombo, 1);
        l->addLayout(row);
        ImageInterpolate = new QCheckBox(QStringLiteral("Interpolated"), pnlImage);
        ImageInterpolate->setObjectName(QStringLiteral("ImageInterpolate"));
        l->addWidget(ImageInterpolate);
        connect(ScaleCombo, &QComboBox::editTextChanged, this, [this] { ScaleComboChange(); });
        connect(ImageInterpolate, &QCheckBox::toggled, this, [this] { ImageInterpolateClick(); });
    }
    col->addWidget(pnlImage);

    // Bitmap Layer Properties.
    {
        QVBoxLayout* l =
            propertyPanel(pnlBitmapLayer, "pnlBitmapLayer", QStringLiteral("Bitmap Layer Properties"), ToolPanel);
        l->addWidget(new QLabel(QStringLiteral("Opacity:"), pnlBitmapLayer));
        LayerOpacity = new TGaugeBar(pnlBitmapLayer);
        LayerOpacity->setObjectName(QStringLiteral("LayerOpacity"));
        TGaugeBarModel& g = LayerOpacity->Model();
        g.setMin(0);
        g.setMax(255);
        g.setPosition(255);
        g.setHandleSize(16);
        g.ShowArrows = false;
        g.Style = rbsMac;
        g.Backgnd = bgPattern;
        LayerOpacity->setFixedHeight(16);
        l->addWidget(LayerOpacity);
        LayerInterpolate = new QCheckBox(QStringLiteral("Interpolated"), pnlBitmapLayer);
        LayerInterpolate->setObjectName(QStringLiteral("LayerInterpolate"));
        Cropped = new QCheckBox(QStringLiteral("Cropped"), pnlBitmapLayer);
        Cropped->setObjectName(QStringLiteral("Cropped"));
        LayerRescale = new QPushButton(QStringLiteral("Rescale"), pnlBitmapLayer);
        LayerRescale->setObjectName(QStringLiteral("LayerRescale"));
        LayerResetScale = new QPushButton(QStringLiteral("Scale to 100%"), pnlBitmapLayer);
        LayerResetScale->setObjectName(QStringLiteral("LayerResetScale"));
        for (QPushButton* b : {LayerRescale, LayerResetScale}) b->setAutoDefault(false);
        l->addWidget(LayerInterpolate);
        l->addWidget(Cropped);
        l->addWidget(LayerRescale);
        l->addWidget(LayerResetScale);
        connect(LayerOpacity, &TGaugeBar::changed, this, [this] { LayerOpacityChange(); });
        connect(LayerInterpolate, &QCheckBox::clicked, this, [this] { LayerInterpolateClick(); });
        connect(Cropped, &QCheckBox::clicked, this, [this] { CroppedClick(); });
        connect(LayerRescale, &QPushButton::clicked, this, [this] { LayerRescaleClick(); });
        connect(LayerResetScale, &QPushButton::clicked, this, [this] { LayerResetScaleClick(); });
    }
    col->addWidget(pnlBitmapLayer);

    // Text Layer Properties.
    {
        QVBoxLayout* l =
            propertyPanel(pnlTextLayer, "pnlTextLayer", QStringLiteral("Text Layer Properties"), ToolPanel);
        l->addWidget(new QLabel(QStringLiteral("Caption:"), pnlTextLayer));
        txtCaption = new QLineEdit(pnlTextLayer);
        txtCaption->setObjectName(QStringLiteral("txtCaption"));
        l->addWidget(txtCaption);
        l->addWidget(new QLabel(QStringLiteral("Font:"), pnlTextLayer));
        auto* row = new QHBoxLayout;
        lblFont = new QLabel(pnlTextLayer);
        lblFont->setObjectName(QStringLiteral("lblFont"));
        btnSetFont = new QPushButton(QStringLiteral("Aa"), pnlTextLayer);
        btnSetFont->setObjectName(QStringLiteral("btnSetFont"));
        btnSetFont->setAutoDefault(false);
        QFont aa(QStringLiteral("Arial"));
        aa.setBold(true);
        btnSetFont->setFont(aa);
        btnSetFont->setFixedWidth(32);
        row->addWidget(lblFont, 1);
        row->addWidget(btnSetFont);
        l->addLayout(row);
        chkTextLayerInterpolated = new QCheckBox(QStringLiteral("Interpolated"), pnlTextLayer);
        chkTextLayerInterpolated->setObjectName(QStringLiteral("chkTextLayerInterpolated"));
        l->addWidget(chkTextLayerInterpolated);
        connect(txtCaption, &QLineEdit::textChanged, this, [this] { txtCaptionChange(); });
        connect(btnSetFont, &QPushButton::clicked, this, [this] { btnSetFontClick(); });
        connect(chkTextLayerInterpolated, &QCheckBox::clicked, this, [this] { chkTextLayerInterpolatedClick(); });
    }
    col->addWidget(pnlTextLayer);
    col->addStretch(1);
    pnlImage->hide();
    pnlBitmapLayer->hide();
    pnlTextLayer->hide();
    return ToolPanel;
}

void TfrmFaceEditor::run(const std::function<void()>& command)
{
    try {
        command();
    } catch (const std::exception& e) {
        QMessageBox::critical(this, QStringLiteral("Velmora"), QString::fromUtf8(e.what()));
    }
}

void TfrmFaceEditor::selectionChanged()
{
    TPositionedLayer* layer = Doc->SelectedLayer();
    pnlImage->setVisible(!Doc->Base().Empty());
    auto* text = dynamic_cast<TBitmapTextLayer*>(layer);
    auto* bitmap = dynamic_cast<TBitmapLayer*>(layer);
    pnlTextLayer->setVisible(text != nullptr);
    pnlBitmapLayer->setVisible(bitmap != nullptr && text == nullptr);
    if (text) {
        // A different text re-renders the layer in the current font, as typing
        // would, so the font name is read after it.
        const QString caption = QString::fromStdString(text->CaptionText);
        if (txtCaption->text() != caption) txtCaption->setText(caption);
        lblFont->setText(QString::fromStdString(text->CaptionFont.Name));
    } else if (bitmap) {
        LayerOpacity->Model().setPosition(int(bitmap->Bitmap().MasterAlpha()));
        const QSignalBlocker block(LayerInterpolate);
        LayerInterpolate->setChecked(bitmap->Bitmap().StretchFilter() == sfLinear);
    }
    mnArrangeClick();
    mnLayersClick();
}

void TfrmFaceEditor::setScaleText(const QString& text)
{
    const QSignalBlocker block(ScaleCombo);
    ScaleCombo->setEditText(text);
}

void TfrmFaceEditor::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!Shown) {
        Shown = true;
        FormActivate();
    }
}

void TfrmFaceEditor::FormActivate()
{
    run([&] { Doc->StartNewImage(FaceWidth, FaceHeight, 0xFFFFFFFF); });
    ScaleCombo->setEditText(QStringLiteral("35%")); // runs ScaleComboChange
    selectionChanged();
}

void TfrmFaceEditor::ScaleComboChange()
{
    const std::optional<TScaleComboResult> r =
        scaleComboRule(ScaleCombo->currentText().toStdString(), ImgView->Scale());
    if (!r) return;
    if (r->ScaleChanged) ImgView->SetScale(r->Scale);
    const QString text = QString::fromStdString(r->Text);
    setScaleText(text);
    if (QLineEdit* edit = ScaleCombo->lineEdit()) edit->setCursorPosition(int(text.size()) - 1);
}

void TfrmFaceEditor::ImgViewMouseWheelUp()
{
    const float s = wheelZoom(ImgView->Scale(), false);
    ImgView->SetScale(s);
    setScaleText(QString::fromStdString(scaleText(s)));
}

void TfrmFaceEditor::ImgViewMouseWheelDown()
{
    const float s = wheelZoom(ImgView->Scale(), true);
    ImgView->SetScale(s);
    setScaleText(QString::fromStdString(scaleText(s)));
}

void TfrmFaceEditor::mnLayersClick()
{
    const bool image = !Doc->Base().Empty();
    mnNewBitmapLayer->setEnabled(image);
    mnNewBitmapRGBA->setEnabled(image);
    mnNewTextLayer->setEnabled(image);
    mnFlatten->setEnabled(image && ImgView->Layers().Count() > 0);
}

void TfrmFaceEditor::mnArrangeClick()
{
    TPositionedLayer* layer = Doc->SelectedLayer();
    const int n = ImgView->Layers().Count();
    const int i = layer ? layer->StackIndex() : 0;
    const bool up = layer && i < n - 2, down = layer && i > 0;
    for (QAction* a : {mnBringFront, mnLevelUp}) a->setEnabled(up);
    for (QToolButton* b : {btnBringFront, btnLevelUp}) b->setEnabled(up);
    for (QAction* a : {mnSendBack, mnLevelDown}) a->setEnabled(down);
    for (QToolButton* b : {btnSendBack, btnLevelDown}) b->setEnabled(down);
    mnScaled->setEnabled(layer != nullptr);
    mnScaled->setChecked(layer && layer->ScaledWithImage());
    mnDelete->setEnabled(layer != nullptr);
    btnDelete->setEnabled(layer != nullptr);
    const bool bitmap = dynamic_cast<TBitmapLayer*>(layer) != nullptr;
    for (QAction* a : {mnFlipHorz, mnFlipVert, mnRotate90, mnRotate180, mnRotate270}) a->setEnabled(bitmap);
}

void TfrmFaceEditor::mnReorder(int tag)
{
    run([&] { Doc->reorder(tag); });
    mnArrangeClick();
}

void TfrmFaceEditor::btnBringFrontClick()
{
    mnReorder(1);
}

void TfrmFaceEditor::btnSendBackClick()
{
    mnReorder(2);
}

void TfrmFaceEditor::btnLevelUpClick()
{
    mnReorder(3);
}

void TfrmFaceEditor::btnLevelDownClick()
{
    mnReorder(4);
}

void TfrmFaceEditor::mnScaledClick()
{
    run([&] { Doc->toggleScaled(); });
    mnArrangeClick();
}

void TfrmFaceEditor::mnDeleteClick()
{
    run([&] { Doc->deleteSelected(); });
}

void TfrmFaceEditor::btnDeleteClick()
{
    mnDeleteClick();
}

void TfrmFaceEditor::mnFlipHorzClick()
{
    run([&] { Doc->flipHorz(); });
}

void TfrmFaceEditor::mnFlipVertClick()
{
    run([&] { Doc->flipVert(); });
}

void TfrmFaceEditor::mnRotate90Click()
{
    run([&] { Doc->rotate90(); });
}

void TfrmFaceEditor::mnRotate180Click()
{
    run([&] { Doc->rotate180(); });
}

void TfrmFaceEditor::mnRotate270Click()
{
    run([&] { Doc->rotate270(); });
}

void TfrmFaceEditor::ImageInterpolateClick()
{
    Doc->Base().SetStretchFilter(ImageInterpolate->isChecked() ? sfLinear : sfNearest);
    ImgView->Model().changed();
}

void TfrmFaceEditor::LayerOpacityChange()
{
    const int position = LayerOpacity->Model().Position();
    run([&] { Doc->setOpacity(position); });
}

void TfrmFaceEditor::LayerInterpolateClick()
{
    const bool on = LayerInterpolate->isChecked();
    run([&] { Doc->setInterpolated(on); });
}

void TfrmFaceEditor::CroppedClick()
{
    const bool on = Cropped->isChecked();
    run([&] { Doc->setCropped(on); });
}

void TfrmFaceEditor::LayerRescaleClick()
{
    run([&] { Doc->Rescale(); });
}

void TfrmFaceEditor::LayerResetScaleClick()
{
    run([&] { Doc->resetScale(); });
}

void TfrmFaceEditor::chkTextLayerInterpolatedClick()
{
    if (!dynamic_cast<TBitmapTextLayer*>(Doc->SelectedLayer())) return;
    const bool on = chkTextLayerInterpolated->isChecked();
    run([&] { Doc->setInterpolated(on); });
}

void TfrmFaceEditor::ImgViewMouseDown(int, unsigned, int, int, TCustomLayer* layer)
{
    // A press on empty canvas clears the selection (the mouse grab ends with the press).
    if (!layer) Doc->SelectLayer(nullptr);
}

void TfrmFaceEditor::ImgViewMouseUp(int, unsigned, int, int, TCustomLayer*)
{
    mnArrangeClick();
}

void TfrmFaceEditor::ImgViewPaintStage(TBitmap32&, unsigned stage)
{
    // While a composite is made the target is another bitmap; the pattern
    // still goes into the view's buffer so that composites never show it.
    if (stage == 0) TFaceDocument::paintCheckerboard(ImgView->Model().Buffer());
}

void TfrmFaceEditor::selectTool()
{
    btnSelect->setChecked(true);
}

void TfrmFaceEditor::mnNewBitmapLayerClick()
{
    const QString file = OpenPictureDialog1 ? OpenPictureDialog1() : QString();
    if (file.isEmpty()) return;
    run([&] { Doc->addPictureLayer(file.toStdString()); });
}

void TfrmFaceEditor::btnGraphicClick()
{
    mnNewBitmapLayerClick();
    mnArrangeClick();
    selectTool();
}

void TfrmFaceEditor::mnNewBitmapRGBAClick()
{
    TRGBALoaderForm dialog(this);
    if (dialog.exec() != QDialog::Accepted) return;
    run([&] { Doc->addRGBALayer(dialog.ImgRGB->Bitmap(), dialog.ImgAlpha->Bitmap()); });
}

void TfrmFaceEditor::mnNewTextLayerClick()
{
    run([&] { Doc->addTextLayer(); });
    selectTool();
}

void TfrmFaceEditor::btnTextClick()
{
    mnNewTextLayerClick();
    mnArrangeClick();
    mnLayersClick();
    selectTool();
}

void TfrmFaceEditor::txtCaptionChange()
{
    if (!dynamic_cast<TBitmapTextLayer*>(Doc->SelectedLayer())) return;
    run([&] { Doc->captionChange(txtCaption->text().toStdString()); });
}

void TfrmFaceEditor::btnSetFontClick()
{
    auto* layer = dynamic_cast<TBitmapTextLayer*>(Doc->SelectedLayer());
    if (!layer) return;
    // The dialog starts at the layer's font and keeps it when cancelled.
    Doc->TextFont = layer->CaptionFont;
    TFont32 chosen = layer->CaptionFont;
    if (!FontDialog1 || !FontDialog1(chosen)) return;
    layer->CaptionFont = chosen;
    Doc->TextFont = chosen;
    lblFont->setText(QString::fromStdString(layer->CaptionFont.Name));
    run([&] { Doc->captionChange(txtCaption->text().toStdString()); });
}

void TfrmFaceEditor::mnFileNewClick()
{
    TNewImageForm dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        run([&] {
            Doc->StartNewImage(dialog.Width.Position, dialog.Height.Position, ToColor32(dialog.Panel1Color()));
        });
    ScaleCombo->setEditText(QStringLiteral("100%"));
    ScaleComboChange();
}

void TfrmFaceEditor::mnFileOpenClick()
{
    const QString file = OpenPictureDialog1 ? OpenPictureDialog1() : QString();
    if (file.isEmpty()) return;
    run([&] { Doc->OpenBaseImage(file.toStdString()); });
    // Open resets the zoom to 100 %; the scale box says so instead of keeping the old text.
    setScaleText(QString::fromStdString(scaleText(ImgView->Scale())));
    selectionChanged();
}

void TfrmFaceEditor::SaveAs1Click()
{
    const QString file = SavePictureDialog1 ? SavePictureDialog1() : QString();
    if (file.isEmpty()) return;
    run([&] { Doc->saveAs(file.toStdString()); });
    ImgView->update();
}

void TfrmFaceEditor::mnFlattenClick()
{
    run([&] { Doc->Flatten(); });
    selectionChanged();
}

void TfrmFaceEditor::BackgroundColorClick()
{
    const std::optional<QColor> c = ColorDialog1 ? ColorDialog1(BaseColour) : std::nullopt;
    if (!c) return;
    BaseColour = *c;
    paintSwatch(BackgroundColor, BaseColour);
    run([&] { Doc->fillBase(ToColor32(windowColor(BaseColour))); });
}

void TfrmFaceEditor::btnBackgroundImageClick()
{
    auto* browser = new TfrmBackgroundImage(this);
    browser->exec();
    if (!browser->NoChoice()) {
        const std::string file = browser->ChosenFile().toStdString();
        run([&] { Doc->BackgroundImage(file); });
    }
    delete browser;
}

void TfrmFaceEditor::btnDoneClick()
{
    Cancelled = false;
    close();
}

void TfrmFaceEditor::Done1Click()
{
    btnDoneClick();
}

void TfrmFaceEditor::btnCancelClick()
{
    close();
}

void TfrmFaceEditor::reject()
{
    close();
}

void TfrmFaceEditor::SaveFaceBitmap(const std::string& fileName) const
{
    if (!FaceBitmap) throw EBitmapError("The face editor has no accepted face to save.");
    FaceBitmap->SavePicture(fileName);
}

void TfrmFaceEditor::acceptFace()
{
    Cancelled = false;
    Doc->SelectLayer(nullptr);
    auto face = std::make_unique<TBitmap32>(Doc->Base().Width(), Doc->Base().Height());
    Doc->compose(*face);
    FaceBitmap = std::move(face);
}

void TfrmFaceEditor::FormCloseQuery(bool& canClose)
{
    canClose = true;
    if (Cancelled) {
        switch (AskAddToBox ? AskAddToBox() : QMessageBox::No) {
        case QMessageBox::Yes: run([&] { acceptFace(); }); break;
        case QMessageBox::No: break;
        default: canClose = false; break;
        }
    } else {
        run([&] { acceptFace(); });
    }
    // A face that could not be composed is not handed back as accepted.
    if (canClose && !Cancelled && !FaceBitmap) {
        Cancelled = true;
        canClose = false;
    }
}

void TfrmFaceEditor::closeEvent(QCloseEvent* e)
{
    bool canClose = true;
    FormCloseQuery(canClose);
    if (!canClose) {
        e->ignore();
        return;
    }
    e->accept();
    QDialog::done(Cancelled ? QDialog::Rejected : QDialog::Accepted);
}

} // namespace velmora
