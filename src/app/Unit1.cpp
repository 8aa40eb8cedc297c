#include "app/Unit1.h"

#include "app/About.h"
#include "app/Application.h"
#include "app/Artwork.h"
#include "app/Help.h"
#include "app/Hint.h"
#include "app/Icons.h"
#include "app/ProgramIni.h"
#include "app/ViewerFactory.h"
#include "box/FaceHandOff.h"
#include "box/FacePictures.h"
#include "box/SceneFiles.h"
#include "faceeditor/FaceEditor.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace velmora {

namespace {

constexpr int kCoolBarHeight = 29;
constexpr int kStatusBarHeight = 19;
constexpr int kTabsWidth = 200;
constexpr int kStartPanelWidth = 296;
constexpr int kStartPanelHeight = 258;

QString qs(const std::string& s)
{
    return QString::fromStdString(s);
}

// A transparent area over a block of text that acts like a button.
class TClickArea : public QWidget {
public:
    TClickArea(QWidget* parent, std::function<void()> onClick) : QWidget(parent), OnClick(std::move(onClick))
    {
        setCursor(Qt::PointingHandCursor);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) && OnClick) OnClick();
    }

private:
    std::function<void()> OnClick;
};

QLabel* linkLabel(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    QFont f(QStringLiteral("Tahoma"));
    f.setPointSize(8);
    f.setUnderline(true);
    l->setFont(f);
    l->setStyleSheet(QStringLiteral("color: blue;"));
    l->setCursor(Qt::PointingHandCursor);
    return l;
}

QSlider* trackBar(QWidget* parent, int pageStep)
{
    auto* s = new QSlider(Qt::Horizontal, parent);
    s->setPageStep(pageStep);
    s->setSingleStep(1);
    s->setTickPosition(QSlider::NoTicks);
    return s;
}

// A check box with its caption on the left of the box.
QCheckBox* leftCheckBox(const std::string& caption, QWidget* parent)
{
    auto* c = new QCheckBox(qs(caption), parent);
    c->setLayoutDirection(Qt::RightToLeft);
    return c;
}

} // namespace

TfrmMain::TfrmMain(std::string programFolder, std::string workingFolder, QWidget* parent)
    : QMainWindow(parent),
      Model(std::make_unique<TfrmMainModel>(std::move(programFolder), std::move(workingFolder)))
{
    setWindowTitle(QStringLiteral("Velmora Professional"));
    setWindowIcon(QIcon(QPixmap::fromImage(applicationIcon(64))));
    // The window is laid out for a small 8 point face.
    QFont f = font();
    f.setPointSize(8);
    setFont(f);

    Model->ProcessMessages = [] { QCoreApplication::processEvents(); };
    Model->ShowHourglass = [] {
        if (!QApplication::overrideCursor()) QApplication::setOverrideCursor(Qt::WaitCursor);
    };
    Model->RestoreCursor = [] {
        while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    };
    RunOpenDialog = [this] { return runOpenDialogDefault(); };
    RunSaveDialog = [this] { return runSaveDialogDefault(); };
    installSceneFiles(*Model);

    ClientArea = new QWidget(this);
    setCentralWidget(ClientArea);

    createMenus();
    createStartPanel();
    createOverlay();
    GLSceneViewer1 = createSceneViewer(ClientArea, *Model);
    GLSceneViewer1->setObjectName(QStringLiteral("GLSceneViewer1"));
    createTabs();
    createCoolBar();
    installRendering();
    installInteraction();

    // Stacking, bottom to top: start panel, overlay, viewer; bars on top.
    pnlMainMenu->lower();
    GLSceneViewer1->raise();
    CoolBar1->raise();
    StatusBar1->raise();
    controlTabs->raise();

    bindPanel(pnlMainMenu, Model->pnlMainMenu);
    bindPanel(pnlLoading, Model->pnlLoading);
    bindPanel(pnlProcessing, Model->pnlProcessing);
    bindPanel(GLSceneViewer1, Model->GLSceneViewer1);
    bindPanel(controlTabs, Model->controlTabs);

    ClientArea->installEventFilter(this);
    resize(700, 575);
    layoutClient();
}

TfrmMain::~TfrmMain()
{
    // Widgets go first, so nothing reaches the model while it is destroyed.
    delete takeCentralWidget();
    delete menuBar();
}

// ---------------------------------------------------------------- binding

void TfrmMain::bind(QAction* action, TControlModel& m)
{
    auto sync = [action, &m] {
        action->setEnabled(m.enabled());
        action->setVisible(m.visible());
    };
    sync();
    m.addObserver(sync);
}

void TfrmMain::bind(QMenu* menu, TControlModel& m)
{
    auto sync = [menu, &m] {
        menu->setEnabled(m.enabled());
        menu->menuAction()->setEnabled(m.enabled());
        menu->menuAction()->setVisible(m.visible());
    };
    sync();
    m.addObserver(sync);
}

void TfrmMain::bind(QSlider* slider, TTrackBarModel& m)
{
    auto sync = [slider, &m] {
        QSignalBlocker block(slider);
        slider->setRange(m.min(), m.max());
        slider->setValue(m.position());
        slider->setEnabled(m.enabled());
        slider->setVisible(m.visible());
    };
    sync();
    m.addObserver(sync);
    connect(slider, &QSlider::valueChanged, this, [&m](int v) { runCommand([&] { m.setPosition(v); }); });
}

void TfrmMain::bind(QCheckBox* box, TCheckBoxModel& m)
{
    auto sync = [box, &m] {
        QSignalBlocker block(box);
        box->setChecked(m.checked());
        box->setEnabled(m.enabled());
        box->setVisible(m.visible());
    };
    sync();
    m.addObserver(sync);
    connect(box, &QCheckBox::toggled, this, [&m](bool c) { runCommand([&] { m.setChecked(c); }); });
}

void TfrmMain::bind(QLabel* label, TLabelModel& m)
{
    auto sync = [label, &m] {
        label->setText(qs(m.caption()));
        label->setEnabled(m.enabled());
        label->setVisible(m.visible());
    };
    sync();
    m.addObserver(sync);
}

void TfrmMain::bind(QLineEdit* edit, TEditModel& m)
{
    auto sync = [edit, &m] {
        QSignalBlocker block(edit);
        if (edit->text().toStdString() != m.text()) edit->setText(qs(m.text()));
        edit->setEnabled(m.enabled());
        edit->setVisible(m.visible());
    };
    sync();
    m.addObserver(sync);
    connect(edit, &QLineEdit::textChanged, this,
            [&m](const QString& t) { runCommand([&] { m.setText(t.toStdString()); }); });
}

void TfrmMain::bind(QPushButton* button, TButtonModel& m)
{
    // The tabs are narrow: buttons share the width instead of asking for their text's.
    button->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    button->setMinimumWidth(20);
    auto sync = [button, &m] {
        button->setEnabled(m.enabled());
        button->setVisible(m.visible());
    };
    sync();
    m.addObserver(sync);
    connect(button, &QPushButton::clicked, this, [this, &m] {
        if (!m.OnClick) {
            notAvailable(m.Caption.c_str());
            return;
        }
        runCommand([&] { m.click(); });
    });
}

void TfrmMain::bindPanel(QWidget* w, TPanelModel& m)
{
    auto sync = [this, w, &m] {
        const bool wasVisible = !w->isHidden();
        w->setVisible(m.visible());
        if (&m == &Model->pnlLoading) {
            // The overlay is seen only while raised above the viewer.
            if (m.raised())
                pnlLoading->raise();
            else
                GLSceneViewer1->raise();
            CoolBar1->raise();
            StatusBar1->raise();
            controlTabs->raise();
        }
        if (wasVisible != m.visible() && &m == &Model->controlTabs) layoutClient();
    };
    sync();
    m.addObserver(sync);
}

// ---------------------------------------------------------------- menus

void TfrmMain::createMenus()
{
    auto item = [](QMenu* menu, const char* caption, QKeySequence shortcut, int image) {
        auto* a = menu->addAction(QString::fromUtf8(caption));
        if (!shortcut.isEmpty()) a->setShortcut(shortcut);
        if (image >= 0) a->setIcon(imageListIcon(image));
        return a;
    };
    QMenuBar* bar = menuBar();

    File1 = bar->addMenu(QStringLiteral("&File"));
    New1 = item(File1, "&New", QKeySequence(Qt::CTRL | Qt::Key_N), 0);
    Open1 = item(File1, "&Open", QKeySequence(Qt::CTRL | Qt::Key_O), 2);
    File1->addSeparator();
    Save1 = item(File1, "&Save As...", QKeySequence(Qt::CTRL | Qt::Key_S), 4);
    File1->addSeparator();
    Close1 = item(File1, "&Close", QKeySequence(Qt::CTRL | Qt::Key_W), -1);
    SaveAs1 = File1->addSeparator();
    Exit1 = item(File1, "&Exit", QKeySequence(), -1);

    Textures1 = bar->addMenu(QStringLiteral("&Insert"));
    Front1 = item(Textures1, "F&ront Face", QKeySequence(Qt::CTRL | Qt::Key_F), -1);
    Back1 = item(Textures1, "&Back Face", QKeySequence(Qt::CTRL | Qt::Key_B), -1);
    Top1 = item(Textures1, "&Top Face", QKeySequence(Qt::CTRL | Qt::Key_T), -1);
    Bottom1 = item(Textures1, "Botto&m Face", QKeySequence(Qt::CTRL | Qt::Key_M), -1);
    Left1 = item(Textures1, "&Left Face", QKeySequence(Qt::CTRL | Qt::Key_L), -1);
    Right1 = item(Textures1, "&Right Face", QKeySequence(Qt::CTRL | Qt::Key_R), -1);

    Render1 = bar->addMenu(QStringLiteral("&Render"));
    SaveToFile1 = item(Render1, "&Save To File...", QKeySequence(), 6);

    Help1 = bar->addMenu(QStringLiteral("&Help"));
    Contents1 = item(Help1, "&Contents", QKeySequence(Qt::Key_F1), 8);
    TipOfTheDay1 = item(Help1, "&Tip Of The Day", QKeySequence(Qt::Key_F2), -1);
    Help1->addSeparator();
    OnlineSupportCenter1 = item(Help1, "&Online Support Center...", QKeySequence(), 14);
    EMailTechnicalSupport1 = item(Help1, "E-Mail Technical Support...", QKeySequence(), 15);
    Help1->addSeparator();
    About1 = item(Help1, "&About...", QKeySequence(), -1);

    bind(File1, Model->File1);
    bind(New1, Model->New1);
    bind(Open1, Model->Open1);
    bind(Save1, Model->Save1);
    bind(Close1, Model->Close1);
    bind(SaveAs1, Model->SaveAs1);
    bind(Exit1, Model->Exit1);
    bind(Textures1, Model->Textures1);
    bind(Front1, Model->Front1);
    bind(Back1, Model->Back1);
    bind(Top1, Model->Top1);
    bind(Bottom1, Model->Bottom1);
    bind(Left1, Model->Left1);
    bind(Right1, Model->Right1);
    bind(Render1, Model->Render1);
    bind(SaveToFile1, Model->SaveToFile1);
    bind(Help1, Model->Help1);
    bind(Contents1, Model->Contents1);
    bind(TipOfTheDay1, Model->TipOfTheDay1);
    bind(OnlineSupportCenter1, Model->OnlineSupportCenter1);
    bind(EMailTechnicalSupport1, Model->EMailTechnicalSupport1);
    bind(About1, Model->About1);

    connect(New1, &QAction::triggered, this, [this] { New1Click(); });
    connect(Open1, &QAction::triggered, this, [this] { Open1Click(); });
    connect(Close1, &QAction::triggered, this, [this] { Close1Click(); });
    connect(Exit1, &QAction::triggered, this, [this] { Exit1Click(); });
    connect(Save1, &QAction::triggered, this, [this] { Save1Click(); });
    // Face pictures are loaded only while the Insert menu is enabled, keys included.
    const std::pair<QAction*, TBoxFace> faceItems[] = {{Front1, TBoxFace::Front}, {Back1, TBoxFace::Back},
                                                       {Top1, TBoxFace::Top},     {Bottom1, TBoxFace::Bottom},
                                                       {Left1, TBoxFace::Left},   {Right1, TBoxFace::Right}};
    for (auto [a, face] : faceItems)
        connect(a, &QAction::triggered, this, [this, face = face] {
            if (Model->Textures1.enabled()) runCommand([&] { Model->faceImageClick(face); });
        });
    connect(SaveToFile1, &QAction::triggered, this, [this] {
        if (Model->Render1.enabled()) SaveToFile1Click();
    });
    connect(Contents1, &QAction::triggered, this, [this] { Contents1Click(); });
    connect(TipOfTheDay1, &QAction::triggered, this, [this] { runCommand([this] { showTipWindow(this); }); });
    connect(OnlineSupportCenter1, &QAction::triggered, this, [] { openOnlineSupportCenter(); });
    connect(EMailTechnicalSupport1, &QAction::triggered, this, [] { openSupportMail(); });
    connect(About1, &QAction::triggered, this, [this] { About1Click(); });
}

void TfrmMain::createCoolBar()
{
    CoolBar1 = new QWidget(ClientArea);
    CoolBar1->setObjectName(QStringLiteral("CoolBar1"));
    auto* row = new QHBoxLayout(CoolBar1);
    row->setContentsMargins(2, 0, 2, 0);
    row->setSpacing(4);

    ToolBar1 = new QToolBar(CoolBar1);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setStyleSheet(QStringLiteral("QToolBar { border: none; }"));
    ToolButton1 = ToolBar1->addAction(imageListIcon(0), QString());
    ToolButton1->setToolTip(QStringLiteral("New Scene"));
    ToolButton2 = ToolBar1->addAction(imageListIcon(2), QString());
    ToolButton2->setToolTip(QStringLiteral("Open Scene"));
    ToolButton3 = ToolBar1->addAction(imageListIcon(4), QString());
    ToolButton3->setToolTip(QStringLiteral("Save Scene"));
    auto spacer = [this] {
        auto* s = new QWidget(ToolBar1);
        s->setFixedWidth(8);
        ToolBar1->addWidget(s);
    };
    spacer(); // ToolButton4
    ToolButton5 = ToolBar1->addAction(imageListIcon(6), QString());
    ToolButton5->setToolTip(QStringLiteral("Render Image"));
    spacer(); // ToolButton6
    Label29 = linkLabel(QStringLiteral("How do I use the mouse?"), ToolBar1);
    Label29->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    Label29->installEventFilter(this);
    ToolBar1->addWidget(Label29);
    // The band is 246 pixels wide unless its buttons and link need more.
    ToolBar1->setMinimumWidth(std::max(246, ToolBar1->sizeHint().width()));
    row->addWidget(ToolBar1);

    bind(ToolButton1, Model->ToolButton1);
    bind(ToolButton2, Model->ToolButton2);
    bind(ToolButton3, Model->ToolButton3);
    bind(ToolButton5, Model->ToolButton5);
    connect(ToolButton1, &QAction::triggered, this, [this] { New1Click(); });
    connect(ToolButton2, &QAction::triggered, this, [this] { Open1Click(); });
    connect(ToolButton3, &QAction::triggered, this, [this] { Save1->trigger(); });
    connect(ToolButton5, &QAction::triggered, this, [this] { SaveToFile1Click(); });

    // The progress bar sits at the bottom of its band.
    auto* band = new QWidget(CoolBar1);
    band->setMaximumWidth(440); // gives way when the window is narrower
    band->setMinimumWidth(40);
    auto* bandLayout = new QVBoxLayout(band);
    bandLayout->setContentsMargins(0, 0, 0, 3);
    bandLayout->addStretch(1);
    pb = new QProgressBar(band);
    pb->setRange(0, 100);
    pb->setValue(0);
    pb->setTextVisible(false);
    pb->setFixedHeight(12);
    bandLayout->addWidget(pb);
    row->addWidget(band, 1);
    row->addStretch(0);

    StatusBar1 = new QStatusBar(ClientArea);
    StatusBar1->setSizeGripEnabled(false);
    auto* panel = new QLabel(StatusBar1);
    panel->setFixedWidth(50);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    StatusBar1->addWidget(panel);
}

// ---------------------------------------------------------------- panels

void TfrmMain::createStartPanel()
{
    pnlMainMenu = new QFrame(ClientArea);
    pnlMainMenu->setObjectName(QStringLiteral("pnlMainMenu"));
    pnlMainMenu->setFrameShape(QFrame::NoFrame);
    pnlMainMenu->setFixedSize(kStartPanelWidth, kStartPanelHeight);

    auto makeRow = [this](int top, int row, const QStringList& lines, QColor titleColour, std::function<void()> command,
                          QToolButton*& button, QWidget*& area) {
        button = new QToolButton(pnlMainMenu);
        button->setGeometry(0, top, 121, 121);
        button->setIconSize(QSize(121, 121));
        button->setIcon(QIcon(startPanelPicture(row)));
        button->setAutoRaise(true);
        button->setCursor(Qt::PointingHandCursor);
        connect(button, &QToolButton::clicked, this, [command] { command(); });

        auto* text = new QWidget(pnlMainMenu);
        text->setGeometry(130, top + 8, kStartPanelWidth - 130, 113);
        auto* col = new QVBoxLayout(text);
        col->setContentsMargins(0, 0, 0, 0);
        col->setSpacing(1);
        for (int i = 0; i < lines.size(); ++i) {
            auto* l = new QLabel(lines[i], text);
            if (i == 0) {
                QFont f = l->font();
                f.setBold(true);
                f.setUnderline(true);
                l->setFont(f);
                QPalette pal = l->palette();
                pal.setColor(QPalette::WindowText, titleColour);
                l->setPalette(pal);
                col->addSpacing(0);
            }
            col->addWidget(l);
            if (i == 0) col->addSpacing(6);
        }
        col->addStretch(1);
        area = new TClickArea(pnlMainMenu, command);
        area->setGeometry(text->geometry());
        area->raise();
    };
    makeRow(
        4, 1,
        {QStringLiteral("Create a new box..."), QStringLiteral("Ideal For:"), QStringLiteral("- Software Applications"),
         QStringLiteral("- Icon Sets"), QStringLiteral("- Font Sets")},
        Qt::blue, [this] { New1Click(); }, SpeedButton1, Image1);
    makeRow(
        133, 2,
        {QStringLiteral("Open an existing box..."), QStringLiteral("Continue working on a "),
         QStringLiteral("previously saved project.")},
        QColor(10, 36, 106), [this] { Open1Click(); }, SpeedButton12, Image2);
}

void TfrmMain::createOverlay()
{
    pnlLoading = new QFrame(ClientArea);
    pnlLoading->setObjectName(QStringLiteral("pnlLoading"));
    pnlLoading->setAutoFillBackground(true);
    QPalette pal = pnlLoading->palette();
    pal.setColor(QPalette::Window, Qt::white);
    pnlLoading->setPalette(pal);

    pnlProcessing = new QFrame(pnlLoading);
    pnlProcessing->setObjectName(QStringLiteral("pnlProcessing"));
    pnlProcessing->setFrameShape(QFrame::Panel);
    pnlProcessing->setFrameShadow(QFrame::Raised);
    pnlProcessing->setFixedSize(185, 41);
    auto* l = new QLabel(QStringLiteral("Processing ..."), pnlProcessing);
    l->setAlignment(Qt::AlignCenter);
    auto* lay = new QVBoxLayout(pnlProcessing);
    lay->addWidget(l);
}

// ---------------------------------------------------------------- tabs

void TfrmMain::createTabs()
{
    controlTabs = new QTabWidget(ClientArea);
    controlTabs->setObjectName(QStringLiteral("controlTabs"));
    controlTabs->setTabPosition(QTabWidget::West);
    controlTabs->setUsesScrollButtons(false);
    auto scrolled = [](QWidget* page) {
        auto* s = new QScrollArea;
        s->setWidget(page);
        s->setWidgetResizable(true);
        s->setFrameShape(QFrame::NoFrame);
        s->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        return s;
    };
    controlTabs->addTab(scrolled(createBoxSettingsPage()), QStringLiteral("Box Settings"));
    controlTabs->addTab(scrolled(createSceneSettingsPage()), QStringLiteral("Scene Settings"));
    controlTabs->addTab(scrolled(createRenderingPage()), QStringLiteral("Rendering"));
    controlTabs->setCurrentIndex(0);
}

QWidget* TfrmMain::createBoxSettingsPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet3"));
    auto* col = new QVBoxLayout(page);
    col->setContentsMargins(4, 4, 4, 4);

    auto* faces = new QGroupBox(QStringLiteral("Face Images"), page);
    auto* grid = new QGridLayout(faces);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setVerticalSpacing(2);
    struct FaceRow {
        const char* caption;
        TButtonModel& load;
        TButtonModel& create;
        QAction* item;
        TBoxFace face;
    };
    const FaceRow rows[] = {
        {"Front:", Model->SpeedButton2, Model->btnNewFrontFace, Front1, TBoxFace::Front},
        {"Back:", Model->SpeedButton6, Model->btnNewBackFace, Back1, TBoxFace::Back},
        {"Right:", Model->SpeedButton7, Model->btnNewRightFace, Right1, TBoxFace::Right},
        {"Left:", Model->SpeedButton8, Model->btnNewLeftFace, Left1, TBoxFace::Left},
        {"Top:", Model->SpeedButton9, Model->btnNewTopFace, Top1, TBoxFace::Top},
        {"Bottom:", Model->SpeedButton10, Model->btnNewBottomFace, Bottom1, TBoxFace::Bottom},
    };
    int r = 0;
    for (const FaceRow& row : rows) {
        grid->addWidget(new QLabel(QString::fromUtf8(row.caption), faces), r, 0);
        auto* load = new QPushButton(imageListIcon(2), qs(row.load.Caption), faces);
        load->setObjectName(qs(row.load.Name));
        auto* create = new QPushButton(imageListIcon(0), qs(row.create.Caption), faces);
        create->setObjectName(qs(row.create.Name));
        grid->addWidget(load, r, 1);
        grid->addWidget(create, r, 2);
        // A Load button only triggers its Insert menu item.
        QAction* item = row.item;
        if (!row.load.OnClick) row.load.OnClick = [item] { item->trigger(); };
        const TBoxFace face = row.face;
        if (!row.create.OnClick) row.create.OnClick = [this, face] { NewFaceClick(face); };
        bind(load, row.load);
        bind(create, row.create);
        ++r;
    }
    col->addWidget(faces);

    auto* dims = new QGroupBox(QStringLiteral("Box Dimensions"), page);
    auto* dl = new QGridLayout(dims);
    dl->setContentsMargins(6, 4, 6, 4);
    dl->setVerticalSpacing(0);
    auto dimension = [&](int at, const char* caption, QSlider*& slider, QLabel*& value, TTrackBarModel& sm,
                         TLabelModel& lm) {
        dl->addWidget(new QLabel(QString::fromUtf8(caption), dims), at, 0);
        value = new QLabel(dims);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        dl->addWidget(value, at, 1);
        slider = trackBar(dims, 1);
        dl->addWidget(slider, at + 1, 0, 1, 2);
        bind(slider, sm);
        bind(value, lm);
    };
    dimension(0, "Box Width", tbBoxWidth, lblBoxWidth, Model->tbBoxWidth, Model->lblBoxWidth);
    dimension(2, "Box Height", tbBoxHeight, lblBoxHeight, Model->tbBoxHeight, Model->lblBoxHeight);
    dimension(4, "Box Depth", tbBoxDepth, lblBoxDepth, Model->tbBoxDepth, Model->lblBoxDepth);
    col->addWidget(dims);

    auto* presets = new QHBoxLayout;
    presets->setSpacing(3);
    btnStandard = new QPushButton(qs(Model->btnStandard.Caption), page);
    btnCD = new QPushButton(qs(Model->btnCD.Caption), page);
    btnDVD = new QPushButton(qs(Model->btnDVD.Caption), page);
    for (QPushButton* b : {btnStandard, btnCD, btnDVD}) {
        b->setMinimumWidth(10);
        presets->addWidget(b);
    }
    bind(btnStandard, Model->btnStandard);
    bind(btnCD, Model->btnCD);
    bind(btnDVD, Model->btnDVD);
    col->addLayout(presets);

    Label30 = linkLabel(QStringLiteral("Get more face images..."), page);
    Label30->installEventFilter(this);
    col->addSpacing(6);
    col->addWidget(Label30);
    col->addStretch(1);
    return page;
}

QWidget* TfrmMain::createSceneSettingsPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet2"));
    auto* col = new QVBoxLayout(page);
    col->setContentsMargins(4, 4, 4, 4);

    auto* refl = new QGroupBox(QStringLiteral("Reflection"), page);
    auto* rl = new QVBoxLayout(refl);
    cbReflection = leftCheckBox(Model->cbReflection.Caption, refl);
    rl->addWidget(cbReflection, 0, Qt::AlignLeft);
    rl->addWidget(new QLabel(QStringLiteral("Reflection Opacity"), refl));
    tbReflectionOpacity = trackBar(refl, 2);
    rl->addWidget(tbReflectionOpacity);
    col->addWidget(refl);

    auto* shadow = new QGroupBox(QStringLiteral("Drop Shadow"), page);
    auto* sl = new QVBoxLayout(shadow);
    cbDropShadow = leftCheckBox(Model->cbDropShadow.Caption, shadow);
    sl->addWidget(cbDropShadow, 0, Qt::AlignLeft);
    sl->addWidget(new QLabel(QStringLiteral("Drop Shadow Width"), shadow));
    tbDropShadowWidth = trackBar(shadow, 2);
    sl->addWidget(tbDropShadowWidth);
    sl->addWidget(new QLabel(QStringLiteral("Drop Shadow Height"), shadow));
    tbDropShadowHeight = trackBar(shadow, 2);
    sl->addWidget(tbDropShadowHeight);
    btnRefreshShadow = new QPushButton(qs(Model->btnRefreshShadow.Caption), shadow);
    sl->addWidget(btnRefreshShadow);
    col->addWidget(shadow);

    col->addWidget(new QLabel(QStringLiteral("Background Color"), page));
    auto* colours = new QHBoxLayout;
    Button3 = new QPushButton(qs(Model->Button3.Caption), page);
    btnChangeBackroundColor = new QPushButton(qs(Model->btnChangeBackroundColor.Caption), page);
    colours->addWidget(Button3);
    colours->addWidget(btnChangeBackroundColor);
    col->addLayout(colours);

    cbAxes = leftCheckBox(Model->cbAxes.Caption, page);
    col->addSpacing(6);
    col->addWidget(cbAxes, 0, Qt::AlignLeft);
    btnRefreshScene = new QPushButton(qs(Model->btnRefreshScene.Caption), page);
    col->addSpacing(6);
    col->addWidget(btnRefreshScene);
    col->addStretch(1);

    bind(cbReflection, Model->cbReflection);
    bind(tbReflectionOpacity, Model->tbReflectionOpacity);
    bind(cbDropShadow, Model->cbDropShadow);
    bind(tbDropShadowWidth, Model->tbDropShadowWidth);
    bind(tbDropShadowHeight, Model->tbDropShadowHeight);
    bind(btnRefreshShadow, Model->btnRefreshShadow);
    bind(Button3, Model->Button3);
    bind(btnChangeBackroundColor, Model->btnChangeBackroundColor);
    bind(cbAxes, Model->cbAxes);
    bind(btnRefreshScene, Model->btnRefreshScene);
    return page;
}

QWidget* TfrmMain::createRenderingPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet4"));
    auto* col = new QVBoxLayout(page);
    col->setContentsMargins(4, 4, 4, 4);

    auto* sizes = new QGroupBox(page); // GroupBox3
    auto* gl = new QVBoxLayout(sizes);
    gl->addWidget(new QLabel(QStringLiteral("Current Size:"), sizes)); // Label11
    lblCurrentSize = new QLabel(sizes);
    gl->addWidget(lblCurrentSize);
    lblCaptionNewSize = new QLabel(sizes);
    gl->addWidget(lblCaptionNewSize);
    lblNewSize = new QLabel(sizes);
    gl->addWidget(lblNewSize);
    col->addWidget(sizes);

    auto* newSize = new QGroupBox(page); // GroupBox4
    auto* nl = new QGridLayout(newSize);
    CheckBox1 = new QCheckBox(qs(Model->CheckBox1.Caption), newSize);
    nl->addWidget(CheckBox1, 0, 0, 1, 3);
    // Only digits (and deleting) reach the size edits.
    auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    nl->addWidget(new QLabel(QStringLiteral("Width:"), newSize), 1, 0); // Label13
    txtNewWidth = new QLineEdit(newSize);
    txtNewWidth->setValidator(digits);
    nl->addWidget(txtNewWidth, 1, 1);
    nl->addWidget(new QLabel(QStringLiteral("pixels"), newSize), 1, 2);  // Label12
    nl->addWidget(new QLabel(QStringLiteral("Height:"), newSize), 2, 0); // Label14
    txtNewHeight = new QLineEdit(newSize);
    txtNewHeight->setValidator(digits);
    nl->addWidget(txtNewHeight, 2, 1);
    nl->addWidget(new QLabel(QStringLiteral("pixels"), newSize), 2, 2); // Label15
    col->addWidget(newSize);

    col->addWidget(new QLabel(QStringLiteral("Antialiasing Multiplier"), page)); // Label16
    tbAntialiasingMultiplier = trackBar(page, 1);
    tbAntialiasingMultiplier->setTickPosition(QSlider::TicksBelow);
    tbAntialiasingMultiplier->setTickInterval(1);
    col->addWidget(tbAntialiasingMultiplier);
    btnRender = new QPushButton(qs(Model->btnRender.Caption), page);
    col->addWidget(btnRender);
    col->addStretch(1);

    bind(lblCurrentSize, Model->lblCurrentSize);
    bind(lblCaptionNewSize, Model->lblCaptionNewSize);
    bind(lblNewSize, Model->lblNewSize);
    bind(CheckBox1, Model->CheckBox1);
    bind(txtNewWidth, Model->txtNewWidth);
    bind(txtNewHeight, Model->txtNewHeight);
    bind(tbAntialiasingMultiplier, Model->tbAntialiasingMultiplier);
    bind(btnRender, Model->btnRender);
    return page;
}

// ---------------------------------------------------------------- layout

void TfrmMain::layoutClient()
{
    if (!ClientArea || !controlTabs || !CoolBar1) return;
    const int cw = ClientArea->width();
    const int ch = ClientArea->height();
    CoolBar1->setGeometry(0, 0, cw, kCoolBarHeight);
    StatusBar1->setGeometry(0, ch - kStatusBarHeight, cw, kStatusBarHeight);
    const int areaHeight = std::max(0, ch - kCoolBarHeight - kStatusBarHeight);
    // A hidden aligned control takes no room.
    const int tabs = Model->controlTabs.visible() ? kTabsWidth : 0;
    controlTabs->setGeometry(cw - kTabsWidth, kCoolBarHeight, kTabsWidth, areaHeight);
    const QRect area(0, kCoolBarHeight, std::max(0, cw - tabs), areaHeight);
    pnlLoading->setGeometry(area);
    GLSceneViewer1->setGeometry(area);
    FormResize();
}

void TfrmMain::FormResize()
{
    pnlMainMenu->move(TfrmMainModel::centredOffset(ClientArea->width(), pnlMainMenu->width()),
                      TfrmMainModel::centredOffset(ClientArea->height(), pnlMainMenu->height()));
    pnlProcessing->move(TfrmMainModel::centredOffset(pnlLoading->width(), pnlProcessing->width()),
                        TfrmMainModel::centredOffset(pnlLoading->height(), pnlProcessing->height()));
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ClientArea && event->type() == QEvent::Resize) {
        layoutClient();
    } else if (event->type() == QEvent::MouseButtonRelease &&
               static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == Label29) Label29Click();
        if (watched == Label30) openFaceImagesPage();
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!Sized) {
        Sized = true;
        // 700 x 575 is the outer size; centre it on the screen.
        QScreen* screen = this->screen();
        if (screen) {
            const QRect avail = screen->availableGeometry();
            const QSize frame = frameGeometry().size() - size();
            resize(std::max(200, 700 - frame.width()), std::max(200, 575 - frame.height()));
            move(avail.center().x() - 700 / 2, avail.center().y() - 575 / 2);
        }
    }
    if (!Activated) {
        Activated = true;
        // After the window is on screen, as the first activation does.
        QTimer::singleShot(0, this, [this] { FormActivate(); });
    }
}

void TfrmMain::FormActivate()
{
    if (readProgramIniBool("Tips", "Startup", true)) runCommand([this] { showTipWindow(this); });
    if (!StartupScene.empty()) {
        const std::string path = StartupScene;
        runCommand([&] { Model->openFromCommandLine(path); });
    }
}

// ---------------------------------------------------------------- help

void TfrmMain::Contents1Click()
{
    openHelpContents(Model->ProgramFolder);
}

void TfrmMain::Label29Click()
{
    openMouseHelp(Model->ProgramFolder);
}

// ---------------------------------------------------------------- face editor

void TfrmMain::NewFaceClick(TBoxFace face)
{
    // Asked first, so that no face is built that could not be put on the box.
    if (!facePlane(*Model, face))
        throw std::runtime_error(std::string("The box has no ") + boxFaceName(face) + " face to put a picture on.");
    const TFaceEditorSize size = faceEditorSize(*Model, face);
    TfrmFaceEditor editor(this);
    editor.FaceWidth = size.Width;
    editor.FaceHeight = size.Height;
    editor.OnHelpContents = [this] { Contents1Click(); };
    editor.OnOnlineSupport = [] { openOnlineSupportCenter(); };
    editor.OnSupportMail = [] { openSupportMail(); };
    editor.OnStockPhotos = [] { openStockPhotos(); };
    if (RunFaceEditor)
        RunFaceEditor(editor);
    else
        editor.exec();
    if (editor.Cancelled || !editor.FaceBitmap) return;
    handBackFace(*Model, face, [&](const std::string& file) {
        editor.SaveFaceBitmap(file);
        QCoreApplication::processEvents();
    });
}

void TfrmMain::About1Click()
{
    // Made once at start-up; a window made without it (tests) makes its own.
    if (!AboutBox) AboutBox = new TAboutBox(this);
    AboutBox->exec();
}

// ---------------------------------------------------------------- commands

void TfrmMain::New1Click()
{
    runCommand([&] { Model->New1Click(); });
    // The arrow keys zoom right away, before anything else is clicked.
    if (Model->sceneOpen()) GLSceneViewer1->setFocus();
}

void TfrmMain::Close1Click()
{
    runCommand([&] { Model->Close1Click(); });
}

void TfrmMain::Open1Click()
{
    OpenDialogResult chosen = RunOpenDialog ? RunOpenDialog() : OpenDialogResult{};
    runCommand([&] {
        if (chosen)
            Model->Open1Click(chosen->first, chosen->second);
        else
            Model->Open1Click(std::nullopt, 0);
    });
}

void TfrmMain::Save1Click()
{
    OpenDialogResult chosen = RunSaveDialog ? RunSaveDialog() : OpenDialogResult{};
    runCommand([&] {
        if (chosen)
            Model->Save1Click(chosen->first, chosen->second);
        else
            Model->Save1Click(std::nullopt, 0);
    });
}

void TfrmMain::Exit1Click()
{
    close();
}

TfrmMain::OpenDialogResult TfrmMain::runOpenDialogDefault()
{
    // OpenDialog1: "Velmora 2.0 Scenes (*.vlm)|*.vlm|Velmora 1.0 Scenes (*.gls)|*.gls".
    const QStringList filters{QStringLiteral("Velmora 2.0 Scenes (*.vlm)"),
                              QStringLiteral("Velmora 1.0 Scenes (*.gls)")};
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(QStringLiteral("vlm"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    const int index = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
    return std::make_pair(dialog.selectedFiles().first().toStdString(), index < 1 ? 1 : index);
}

TfrmMain::OpenDialogResult TfrmMain::runSaveDialogDefault()
{
    // SaveDialog1: same filter and default extension as the open dialog; the
    // file name starts empty every time.
    const QStringList filters{QStringLiteral("Velmora 2.0 Scenes (*.vlm)"),
                              QStringLiteral("Velmora 1.0 Scenes (*.gls)")};
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(QStringLiteral("vlm"));
    dialog.selectFile(QString());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    const int index = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
    return std::make_pair(dialog.selectedFiles().first().toStdString(), index < 1 ? 1 : index);
}

void TfrmMain::notAvailable(const char* what)
{
    QMessageBox::information(this, QStringLiteral("Velmora"),
                             QStringLiteral("The button \"%1\" has no command.").arg(QString::fromUtf8(what)));
}

} // namespace velmora
