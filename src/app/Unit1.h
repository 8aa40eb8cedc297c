#pragma once
// The main window: menus, tool bar, start panel, processing overlay, the three
// settings tabs and the scene viewer. Its state lives in TfrmMainModel; every
// widget here mirrors one control model both ways.

#include "box/MainModel.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

class QAction;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QKeyEvent;
class QMimeData;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QSlider;
class QStatusBar;
class QTabWidget;
class QToolBar;
class QToolButton;

namespace velmora {

class TfrmFaceEditor;

class TfrmMain : public QMainWindow {
public:
    // Result of the scene open dialog: the chosen path and the filter entry
    // (1 scene archive, 2 legacy scene stream); empty when cancelled.
    using OpenDialogResult = std::optional<std::pair<std::string, int>>;

    TfrmMain(std::string programFolder, std::string workingFolder, QWidget* parent = nullptr);
    ~TfrmMain() override;

    TfrmMainModel& model() { return *Model; }

    // A scene to open when the window is first activated (the command line).
    void setStartupScene(std::string path) { StartupScene = std::move(path); }

    // Replaceable so the dialog can be answered without a user.
    std::function<OpenDialogResult()> RunOpenDialog;
    std::function<OpenDialogResult()> RunSaveDialog;
    // SavePictureDialog1: path and filter entry (1 JPEG, 2 BMP).
    std::function<OpenDialogResult()> RunSavePictureDialog;
    // Shows the face editor modally (exec by default); tests answer it.
    std::function<void(TfrmFaceEditor&)> RunFaceEditor;

    // The six "New " buttons: build the face in the face editor.
    void NewFaceClick(TBoxFace face);

    // Centres the start panel in the client area and "Processing ..." in the overlay.
    void FormResize();

    // Controls, named as the window is designed.
    QWidget* ClientArea = nullptr; // the window's client area below the menu bar
    QWidget* CoolBar1 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QProgressBar* pb = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QTabWidget* controlTabs = nullptr;
    QFrame* pnlMainMenu = nullptr;
    QFrame* pnlLoading = nullptr;
    QFrame* pnlProcessing = nullptr;
    QWidget* GLSceneViewer1 = nullptr;
    QLabel* Label29 = nullptr;
    QLabel* Label30 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton12 = nullptr;
    QWidget* Image1 = nullptr;
    QWidget* Image2 = nullptr;

    QMenu* File1 = nullptr;
    QMenu* Textures1 = nullptr;
    QMenu* Render1 = nullptr;
    QMenu* Help1 = nullptr;
    QAction *New1 = nullptr, *Open1 = nullptr, *Save1 = nullptr, *Close1 = nullptr, *SaveAs1 = nullptr,
            *Exit1 = nullptr;
    QAction *Front1 = nullptr, *Back1 = nullptr, *Top1 = nullptr, *Bottom1 = nullptr, *Left1 = nullptr,
            *Right1 = nullptr;
    QAction* SaveToFile1 = nullptr;
    QAction *Contents1 = nullptr, *TipOfTheDay1 = nullptr, *OnlineSupportCenter1 = nullptr,
            *EMailTechnicalSupport1 = nullptr, *About1 = nullptr;
    QAction *ToolButton1 = nullptr, *ToolButton2 = nullptr, *ToolButton3 = nullptr, *ToolButton5 = nullptr;

    QSlider *tbBoxWidth = nullptr, *tbBoxHeight = nullptr, *tbBoxDepth = nullptr;
    QLabel *lblBoxWidth = nullptr, *lblBoxHeight = nullptr, *lblBoxDepth = nullptr;
    QPushButton *btnStandard = nullptr, *btnCD = nullptr, *btnDVD = nullptr;
    QCheckBox *cbReflection = nullptr, *cbDropShadow = nullptr, *cbAxes = nullptr;
    QSlider *tbReflectionOpacity = nullptr, *tbDropShadowWidth = nullptr, *tbDropShadowHeight = nullptr;
    QPushButton *btnRefreshShadow = nullptr, *Button3 = nullptr, *btnChangeBackroundColor = nullptr,
                *btnRefreshScene = nullptr;
    QLabel *lblCurrentSize = nullptr, *lblCaptionNewSize = nullptr, *lblNewSize = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QLineEdit *txtNewWidth = nullptr, *txtNewHeight = nullptr;
    QSlider* tbAntialiasingMultiplier = nullptr;
    QPushButton* btnRender = nullptr;

    // Commands bound to menu items, tool buttons and the start panel.
    void New1Click();
    void Open1Click();
    void Close1Click();
    void Save1Click();
    void Exit1Click();
    // Render to file (RenderingView.cpp): the tool button and hidden menu
    // item at multiplier 4, the tab's "Render" at the slider's multiplier.
    void SaveToFile1Click();
    void btnRenderClick();
    // Help menu and the tool bar's mouse-help link.
    void Contents1Click();
    void Label29Click();
    void About1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Navigation keys and dropped files (InteractionView.cpp).
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createMenus();
    void createCoolBar();
    void createStartPanel();
    void createOverlay();
    void createTabs();
    QWidget* createBoxSettingsPage();
    QWidget* createSceneSettingsPage();
    QWidget* createRenderingPage();
    void layoutClient();
    void FormActivate();
    void installRendering();
    // Viewer mouse, wheel, keys, face picture and colour dialogs, drops.
    void installInteraction();
    std::optional<std::string> runOpenPictureDialogDefault();
    std::optional<std::uint32_t> runColorDialogDefault(std::uint32_t initial);
    // The file a drag carries and where it is over the viewer.
    struct DropTarget {
        std::string file;
        bool onViewer = false;
        double x = 0, y = 0;
        int width = 0, height = 0;
    };
    std::optional<DropTarget> dropTargetOf(const QMimeData* data, const QPointF& position);
    OpenDialogResult runSavePictureDialogDefault();
    void notAvailable(const char* what);
    OpenDialogResult runOpenDialogDefault();
    OpenDialogResult runSaveDialogDefault();

    // Two-way mirrors between widgets and their control models.
    void bind(QAction* action, TControlModel& m);
    void bind(QMenu* menu, TControlModel& m);
    void bind(QSlider* slider, TTrackBarModel& m);
    void bind(QCheckBox* box, TCheckBoxModel& m);
    void bind(QLabel* label, TLabelModel& m);
    void bind(QLineEdit* edit, TEditModel& m);
    void bind(QPushButton* button, TButtonModel& m);
    void bindPanel(QWidget* w, TPanelModel& m);

    std::unique_ptr<TfrmMainModel> Model;
    std::string StartupScene;
    bool Activated = false;
    bool Sized = false;
};

} // namespace velmora
