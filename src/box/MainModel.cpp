#include "box/MainModel.h"

#include "box/BoxScene.h"

#include <cmath>
#include <utility>

namespace velmora {

TBoxSceneFactory defaultBoxSceneFactory()
{
    return [](const std::string& programFolder) -> std::unique_ptr<TBoxSceneLink> {
        return std::make_unique<TBoxScene>(programFolder);
    };
}

TfrmMainModel::TfrmMainModel(std::string programFolder, std::string workingFolder, const TBoxSceneFactory& sceneFactory)
    : ProgramFolder(std::move(programFolder)),
      WorkingFolder(std::move(workingFolder))
{
    if (sceneFactory) Scene = sceneFactory(ProgramFolder);

    // Initial states of menu items and tool buttons as the window is designed.
    Save1.setEnabled(false);
    Close1.setEnabled(false);
    Close1.setVisible(false);
    SaveAs1.setVisible(false);
    Textures1.setEnabled(false);
    Render1.setEnabled(false);
    Render1.setVisible(false);
    ToolButton2.setEnabled(false); // Open stays reachable through the menu and start panel
    ToolButton3.setEnabled(false);
    ToolButton5.setEnabled(false);

    tbDropShadowWidth.setEnabled(false);
    tbDropShadowHeight.setEnabled(false);
    btnRefreshShadow.setEnabled(false);
    lblCaptionNewSize.setVisible(false);
    lblNewSize.setVisible(false);
    txtNewWidth.setEnabled(false);
    txtNewHeight.setEnabled(false);

    tbBoxWidth.OnChange = [this](int p) { tbBoxWidthChange(p); };
    tbBoxHeight.OnChange = [this](int p) { tbBoxHeightChange(p); };
    tbBoxDepth.OnChange = [this](int p) { tbBoxDepthChange(p); };
    btnStandard.OnClick = [this] { btnStandardClick(); };
    btnCD.OnClick = [this] { btnCDClick(); };
    btnDVD.OnClick = [this] { btnDVDClick(); };
    installRenderingTab();
    wireSceneSettings();

    FormCreate();
}

TfrmMainModel::~TfrmMainModel() = default;

void TfrmMainModel::FormCreate()
{
    PristineScene = true;
    SetNewSize = false;
    BoxType = 1;
}

void TfrmMainModel::processMessages()
{
    if (ProcessMessages) ProcessMessages();
}

void TfrmMainModel::setSceneCommandsEnabled(bool enabled)
{
    Close1.setEnabled(enabled);
    Save1.setEnabled(enabled);
    Render1.setEnabled(enabled);
    Textures1.setEnabled(enabled);
    ToolButton3.setEnabled(enabled);
    ToolButton5.setEnabled(enabled);
}

void TfrmMainModel::New1Click()
{
    if (ShowHourglass) ShowHourglass();
    pnlLoading.setVisible(true);
    GLSceneViewer1.setVisible(true);
    if (PristineScene)
        PristineScene = false; // the first New keeps the scene exactly as built
    else if (Scene)
        Scene->resetToDefaults();
    controlTabs.setVisible(true);
    setSceneCommandsEnabled(true);
}

void TfrmMainModel::Close1Click()
{
    pnlLoading.setVisible(false);
    GLSceneViewer1.setVisible(false);
    controlTabs.setVisible(false);
    setSceneCommandsEnabled(false);
}

void TfrmMainModel::Open1Click(const std::optional<std::string>& chosenPath, int filterIndex)
{
    // A cancelled dialog changes nothing: the box that was open stays open.
    if (!chosenPath) return;
    openScene(*chosenPath, filterIndex);
}

void TfrmMainModel::openScene(const std::string& path, int filterIndex)
{
    if (ReadSceneFile && !OpenScene) {
        // Read everything first; only a complete read replaces the box.
        if (ShowHourglass) ShowHourglass();
        std::function<void()> apply = ReadSceneFile(path, filterIndex);
        New1Click();
        processMessages();
        if (ShowHourglass) ShowHourglass();
        apply();
        return;
    }
    New1Click();
    processMessages();
    if (ShowHourglass) ShowHourglass();
    if (!OpenScene) throw ENotAvailable("Opening scene files is not available in this window: " + path);
    OpenScene(path, filterIndex);
}

void TfrmMainModel::openFromCommandLine(const std::string& path)
{
    if (ReadSceneFile && !OpenScene) {
        openScene(path, 0);
        return;
    }
    New1Click();
    processMessages();
    if (ShowHourglass) ShowHourglass();
    if (!OpenScene) throw ENotAvailable("Opening scene files is not available in this window: " + path);
    OpenScene(path, 0);
}

void TfrmMainModel::Save1Click(const std::optional<std::string>& chosenPath, int filterIndex)
{
    if (!chosenPath) return;
    if (!SaveScene) throw ENotAvailable("Saving scene files is not available in this window: " + *chosenPath);
    SaveScene(*chosenPath, filterIndex);
}

void TfrmMainModel::GLSceneViewer1PostRender(int viewerWidth, int viewerHeight)
{
    if (RestoreCursor) RestoreCursor();
    ViewerWidth = viewerWidth;
    ViewerHeight = viewerHeight;
    lblCurrentSize.setCaption(std::to_string(viewerWidth) + " x " + std::to_string(viewerHeight) + " pixels");
}

void TfrmMainModel::showProcessingOverlay()
{
    pnlLoading.setVisible(true);
    pnlLoading.setRaised(true); // above the viewer, which normally covers it
    pnlProcessing.setVisible(true);
    processMessages();
}

void TfrmMainModel::hideProcessingOverlay()
{
    pnlLoading.setRaised(false);
    pnlProcessing.setVisible(false);
    pnlLoading.setVisible(false);
}

void TfrmMainModel::tbBoxWidthChange(int position)
{
    lblBoxWidth.setCaption(std::to_string(position));
    if (BoxType == 1 && Scene) Scene->applyBoxWidth(position, tbDropShadowWidth.position());
}

void TfrmMainModel::tbBoxHeightChange(int position)
{
    lblBoxHeight.setCaption(std::to_string(position));
    if (BoxType == 1 && Scene) Scene->applyBoxHeight(position, tbDropShadowHeight.position());
}

void TfrmMainModel::tbBoxDepthChange(int position)
{
    lblBoxDepth.setCaption(std::to_string(position));
    if (BoxType == 1 && Scene) Scene->applyBoxDepth(position);
}

void TfrmMainModel::setScenePresetSliders(int width, int height, int depth)
{
    // Each slider runs its handler only if its position really changes.
    tbBoxWidth.setPosition(width);
    tbBoxHeight.setPosition(height);
    tbBoxDepth.setPosition(depth);
}

void TfrmMainModel::btnStandardClick()
{
    setScenePresetSliders(80, 100, 20);
}
void TfrmMainModel::btnCDClick()
{
    setScenePresetSliders(70, 62, 5);
}
void TfrmMainModel::btnDVDClick()
{
    setScenePresetSliders(68, 80, 7);
}

int TfrmMainModel::centredOffset(int outer, int inner)
{
    return static_cast<int>(std::trunc(outer / 2.0 - inner / 2.0));
}

} // namespace velmora
