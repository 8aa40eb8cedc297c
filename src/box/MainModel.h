#pragma once
// The main window without a toolkit: the box scene it owns, the state fields the
// scene handlers share, a value model of every control of its menus, tool bar,
// panels and the three settings tabs, and the window's command handlers.
// The Qt window (app/Unit1) mirrors these models and supplies the dialogs.

#include "box/Controls.h"
#include "box/Input.h"
#include "pictures/Errors.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace velmora {

class TBoxScene;
class TGLScene;
class TGLSceneBuffer;

// The box scene as the window's handlers use it: the dimension sliders write
// the face planes, New resets them. The scene itself (the graph with GLScene1,
// PLFront, ...) lives behind this link, so the model works without a display.
class TBoxSceneLink {
public:
    virtual ~TBoxSceneLink() = default;
    // w, h, d: slider steps 1..100; shadow*: drop-shadow slider positions 0..10.
    virtual void applyBoxWidth(int w, int shadowWidth) = 0;
    virtual void applyBoxHeight(int h, int shadowHeight) = 0;
    virtual void applyBoxDepth(int d) = 0;
    virtual void resetToDefaults() = 0;

    // Scene files: the graph that is saved and replaced by a load (nullptr
    // when the link has none), and the hook after a load has replaced every
    // object, so references kept to objects are looked up again by name.
    virtual TGLScene* sceneGraph() { return nullptr; }
    virtual void sceneReplaced() {}
    // The viewer's background as a window colour (red in the low byte).
    virtual std::uint32_t backgroundColor() const { return 0xFFFFFF; }
    virtual void setBackgroundColor(std::uint32_t color) {}
    // Gives the viewer's buffer the scene's camera and the box scene's viewer
    // settings (background, ambient light, antialiasing, shading).
    virtual void bindViewer(TGLSceneBuffer& buffer) {}
};

// Builds the default box scene for a program folder.
using TBoxSceneFactory = std::function<std::unique_ptr<TBoxSceneLink>(const std::string& programFolder)>;

// The factory the program uses; empty while no scene graph is linked in.
TBoxSceneFactory defaultBoxSceneFactory();

// Raised when a command needs a part of the program that is not present.
class ENotAvailable : public EVelmoraError {
public:
    using EVelmoraError::EVelmoraError;
};

class TfrmMainModel {
public:
    // programFolder ends with a separator; it holds Media/, Templates/ and help/.
    // workingFolder is the private "Temp" folder of this run.
    explicit TfrmMainModel(std::string programFolder = {}, std::string workingFolder = {},
                           const TBoxSceneFactory& sceneFactory = defaultBoxSceneFactory());
    ~TfrmMainModel();
    TfrmMainModel(const TfrmMainModel&) = delete;
    TfrmMainModel& operator=(const TfrmMainModel&) = delete;

    const std::string ProgramFolder;
    const std::string WorkingFolder;

    // The scene, or nullptr when none is linked in (the handlers then only
    // update their controls).
    TBoxSceneLink* scene() { return Scene.get(); }

    // ---- State shared by the scene handlers ----
    int32_t LastMouseX = 0;
    int32_t LastMouseY = 0;
    uint32_t BoxType = 0;       // set to 1 by FormCreate
    bool PristineScene = false; // set to true by FormCreate

    // Render-size state of the Rendering tab.
    bool SetNewSize = false;
    int32_t NewWidth = 0;
    int32_t NewHeight = 0;

    // ---- Menu items ----
    TControlModel File1{"File1"};
    TControlModel New1{"New1"};
    TControlModel Open1{"Open1"};
    TControlModel Save1{"Save1"};
    TControlModel Close1{"Close1"};
    TControlModel SaveAs1{"SaveAs1"};
    TControlModel Exit1{"Exit1"};
    TControlModel Textures1{"Textures1"};
    TControlModel Front1{"Front1"};
    TControlModel Back1{"Back1"};
    TControlModel Top1{"Top1"};
    TControlModel Bottom1{"Bottom1"};
    TControlModel Left1{"Left1"};
    TControlModel Right1{"Right1"};
    TControlModel Render1{"Render1"};
    TControlModel SaveToFile1{"SaveToFile1"};
    TControlModel Help1{"Help1"};
    TControlModel Contents1{"Contents1"};
    TControlModel TipOfTheDay1{"TipOfTheDay1"};
    TControlModel OnlineSupportCenter1{"OnlineSupportCenter1"};
    TControlModel EMailTechnicalSupport1{"EMailTechnicalSupport1"};
    TControlModel About1{"About1"};

    // ---- Tool bar ----
    TControlModel ToolButton1{"ToolButton1"};
    TControlModel ToolButton2{"ToolButton2"};
    TControlModel ToolButton3{"ToolButton3"};
    TControlModel ToolButton5{"ToolButton5"};

    // ---- Panels, bottom to top ----
    TPanelModel pnlMainMenu{"pnlMainMenu", true};
    TPanelModel pnlLoading{"pnlLoading", false};
    TPanelModel pnlProcessing{"pnlProcessing", false};
    TPanelModel GLSceneViewer1{"GLSceneViewer1", false};
    TPanelModel controlTabs{"controlTabs", false};

    // ---- "Box Settings" tab ----
    // Face images: Load buttons trigger the Insert menu items; New buttons open the face editor.
    TButtonModel SpeedButton2{"SpeedButton2", "Load"};
    TButtonModel SpeedButton6{"SpeedButton6", "Load"};
    TButtonModel SpeedButton7{"SpeedButton7", "Load"};
    TButtonModel SpeedButton8{"SpeedButton8", "Load"};
    TButtonModel SpeedButton9{"SpeedButton9", "Load"};
    TButtonModel SpeedButton10{"SpeedButton10", "Load"};
    TButtonModel btnNewFrontFace{"btnNewFrontFace", "New "};
    TButtonModel btnNewBackFace{"btnNewBackFace", "New "};
    TButtonModel btnNewRightFace{"btnNewRightFace", "New "};
    TButtonModel btnNewLeftFace{"btnNewLeftFace", "New "};
    TButtonModel btnNewTopFace{"btnNewTopFace", "New "};
    TButtonModel btnNewBottomFace{"btnNewBottomFace", "New "};
    // Box dimensions.
    TTrackBarModel tbBoxWidth{"tbBoxWidth", 1, 100, 80};
    TTrackBarModel tbBoxHeight{"tbBoxHeight", 1, 100, 100};
    TTrackBarModel tbBoxDepth{"tbBoxDepth", 1, 100, 20};
    TLabelModel lblBoxWidth{"lblBoxWidth", "80"};
    TLabelModel lblBoxHeight{"lblBoxHeight", "100"};
    TLabelModel lblBoxDepth{"lblBoxDepth", "20"};
    TButtonModel btnStandard{"btnStandard", "Standard"};
    TButtonModel btnCD{"btnCD", "CD"};
    TButtonModel btnDVD{"btnDVD", "DVD"};

    // ---- "Scene Settings" tab ----
    TCheckBoxModel cbReflection{"cbReflection", "Visible", true};
    TTrackBarModel tbReflectionOpacity{"tbReflectionOpacity", 0, 10, 5};
    TCheckBoxModel cbDropShadow{"cbDropShadow", "Visible", false};
    TTrackBarModel tbDropShadowWidth{"tbDropShadowWidth", 0, 10, 5};
    TTrackBarModel tbDropShadowHeight{"tbDropShadowHeight", 0, 10, 5};
    TButtonModel btnRefreshShadow{"btnRefreshShadow", "Refresh Shadow"};
    TButtonModel Button3{"Button3", "Reset"};
    TButtonModel btnChangeBackroundColor{"btnChangeBackroundColor", "Change"};
    TCheckBoxModel cbAxes{"cbAxes", "Visible Point Of Focus", false};
    TButtonModel btnRefreshScene{"btnRefreshScene", "Refresh Scene"};

    // ---- "Rendering" tab ----
    TLabelModel lblCurrentSize{"lblCurrentSize", "0 x 0 pixels"};
    TLabelModel lblCaptionNewSize{"lblCaptionNewSize", "New Size:"};
    TLabelModel lblNewSize{"lblNewSize", "0 x 0 pixels"};
    TCheckBoxModel CheckBox1{"CheckBox1", "Set New Size", false};
    TEditModel txtNewWidth{"txtNewWidth", ""};
    TEditModel txtNewHeight{"txtNewHeight", ""};
    TTrackBarModel tbAntialiasingMultiplier{"tbAntialiasingMultiplier", 1, 4, 1};
    TButtonModel btnRender{"btnRender", "Render"};

    // ---- Services the view supplies ----
    // Let pending window messages run (paints, input).
    std::function<void()> ProcessMessages;
    // Screen cursor: hourglass until the viewer's next frame is finished.
    std::function<void()> ShowHourglass;
    std::function<void()> RestoreCursor;
    // Reads a scene file into this model: (path, dialog filter entry: 1 archive,
    // 2 legacy stream, 0 none). Supplied by the scene-file code.
    std::function<void(const std::string&, int)> OpenScene;
    // Reads a scene file completely without changing anything (throws on a
    // missing, damaged or foreign file) and returns what puts it in place.
    // The scene-file code supplies this one; Open uses it unless OpenScene is
    // set (a reader that runs after New, as tests supply), so that a failed
    // read leaves the open box as it was.
    std::function<std::function<void()>(const std::string&, int)> ReadSceneFile;
    // Writes this model's scene to a file: (path, save dialog filter entry).
    std::function<void(const std::string&, int)> SaveScene;
    // Rendering to a file (RenderingTab.cpp): the picture save dialog
    // (path and filter entry, 1 JPEG, 2 BMP; empty when cancelled), the
    // progress bar `pb`, a plain message box, and the viewer's buffer
    // (nullptr: the render uses a buffer of its own on the same scene).
    std::function<std::optional<std::pair<std::string, int>>()> RunSavePictureDialog;
    std::function<void(int)> SetProgress;
    std::function<void(const std::string&)> ShowMessage;
    std::function<TGLSceneBuffer*()> ViewerBuffer;
    // Runs OpenPictureDialog1 with its file name cleared: the chosen file, or none.
    std::function<std::optional<std::string>()> RunOpenPictureDialog;
    // Runs ColorDialog1 opened on the given colour: the chosen colour, or none.
    std::function<std::optional<std::uint32_t>(std::uint32_t)> RunColorDialog;
    // Waits so many milliseconds (the pause of "Refresh Scene").
    std::function<void(int)> Sleep;

    // ---- Window events and commands ----
    void FormCreate();
    void New1Click();
    void Close1Click();
    // The view runs the open dialog and passes its result: no path = cancelled.
    void Open1Click(const std::optional<std::string>& chosenPath, int filterIndex);
    // A scene named on the command line: New, then open without a filter entry.
    void openFromCommandLine(const std::string& path);
    // The view runs the save dialog (file name cleared) and passes its result.
    void Save1Click(const std::optional<std::string>& chosenPath, int filterIndex);
    void GLSceneViewer1PostRender(int viewerWidth, int viewerHeight);
    void showProcessingOverlay();
    void hideProcessingOverlay();

    // ---- "Rendering" tab (RenderingTab.cpp) ----
    int ViewerWidth = 0; // the viewer's size after its last frame
    int ViewerHeight = 0;
    std::string SavePictureDialog1FileName; // offered again by the next dialog
    void CheckBox1Click();
    // Key filters: false (and key set to 0) for a character that is discarded.
    bool txtNewWidthKeyPress(char32_t& key);
    bool txtNewHeightKeyPress(char32_t& key);
    void txtNewWidthChange();
    void txtNewHeightChange();
    void txtNewWidthEnter();
    void txtNewHeightEnter();
    void btnRenderClick();
    void SaveToFile1Click();
    // The size a render writes: the viewer's, or with "Set New Size" the
    // pair lblNewSize shows.
    std::pair<int, int> shotSize() const;
    bool renderingToFile() const { return Rendering; }

    void tbBoxWidthChange(int position);
    void tbBoxHeightChange(int position);
    void tbBoxDepthChange(int position);
    void btnStandardClick();
    void btnCDClick();
    void btnDVDClick();

    // ---- Camera navigation (pointer over the viewer, wheel, arrow keys) ----
    void GLSceneViewer1MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    void GLSceneViewer1MouseMove(TShiftState shift, int x, int y);
    // Wherever the window gets the wheel; `handled` is left as it is.
    void FormMouseWheel(TShiftState shift, int wheelDelta, int x, int y, bool& handled);
    // Only while no child control holds the keyboard focus; the key is not consumed.
    void FormKeyDown(unsigned short& key, TShiftState shift);

    // ---- Face pictures ----
    // Loads a picture file into a face's texture image and enables that
    // face's texture. Errors (no such file, unknown extension, damaged
    // content) propagate and leave the face's picture and texture switch as
    // they were. No dialog and no BoxType test: the Insert items, the Load
    // buttons and drops call it only while BoxType is 1.
    void loadFacePicture(TBoxFace face, const std::string& fileName);
    // Insert menu items: run the picture dialog (file name cleared) and load
    // the chosen file into the face; nothing happens on cancel or while
    // BoxType is not 1.
    void faceImageClick(TBoxFace face);
    void Front1Click() { faceImageClick(TBoxFace::Front); }
    void Back1Click() { faceImageClick(TBoxFace::Back); }
    void Top1Click() { faceImageClick(TBoxFace::Top); }
    void Bottom1Click() { faceImageClick(TBoxFace::Bottom); }
    void Left1Click() { faceImageClick(TBoxFace::Left); }
    void Right1Click() { faceImageClick(TBoxFace::Right); }
    // OpenPictureDialog1: filter as description|pattern pairs, default extension.
    static const char* const OpenPictureDialog1Filter;
    static const char* const OpenPictureDialog1DefaultExt;

    // ---- "Scene Settings" tab ----
    void cbReflectionClick();
    void cbDropShadowClick();
    void tbReflectionOpacityChange(int position);
    void tbDropShadowWidthChange(int position);
    void tbDropShadowHeightChange(int position);
    void btnRefreshShadowClick();
    void btnChangeBackroundColorClick();
    void Button3Click();
    void cbAxesClick();
    void btnRefreshSceneClick();
    // The colour ColorDialog1 opens with: the last one chosen in it, black at first.
    std::uint32_t ColorDialog1Color = 0;

    // ---- Files dropped on the window ----
    // A scene file (".vlm", ".gls") is opened as Open does; any other file is
    // taken as a picture for the face under the pointer, when it was dropped
    // on the viewer (viewerX/Y in the viewer's pixels of a w x h viewer).
    static bool isSceneFileName(const std::string& fileName);
    // The face a picture dropped at this viewer point would go to.
    std::optional<TBoxFace> faceAtViewerPoint(double x, double y, int viewerWidth, int viewerHeight);
    void formDropFile(const std::string& fileName, bool onViewer, double viewerX, double viewerY, int viewerWidth,
                      int viewerHeight);

    // The box scene when the linked scene is one (nullptr otherwise).
    TBoxScene* boxScene();

    // Where an inner rectangle goes to sit centred in an outer one (cut toward zero).
    static int centredOffset(int outer, int inner);

    // True in the scene-open state (viewer shown).
    bool sceneOpen() const { return GLSceneViewer1.visible(); }

private:
    void setScenePresetSliders(int width, int height, int depth);
    void setSceneCommandsEnabled(bool enabled);
    void processMessages();
    void openScene(const std::string& path, int filterIndex);
    void installRenderingTab();
    void recomputeNewSize();
    void renderToFile(float multiplier);
    void wireSceneSettings();

    std::unique_ptr<TBoxSceneLink> Scene;
    int ShownNewWidth = 0; // the pair lblNewSize shows
    int ShownNewHeight = 0;
    bool Rendering = false;
};

} // namespace velmora
