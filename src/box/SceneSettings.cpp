// The "Scene Settings" tab: reflection and drop shadow (which exclude each
// other), their sliders, the background colour the floor follows, the point
// of focus and the two refresh buttons.

#include "box/BoxScene.h"
#include "box/MainModel.h"

#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

namespace velmora {

void TfrmMainModel::wireSceneSettings()
{
    cbReflection.OnClick = [this] { cbReflectionClick(); };
    cbDropShadow.OnClick = [this] { cbDropShadowClick(); };
    tbReflectionOpacity.OnChange = [this](int p) { tbReflectionOpacityChange(p); };
    tbDropShadowWidth.OnChange = [this](int p) { tbDropShadowWidthChange(p); };
    tbDropShadowHeight.OnChange = [this](int p) { tbDropShadowHeightChange(p); };
    btnRefreshShadow.OnClick = [this] { btnRefreshShadowClick(); };
    btnChangeBackroundColor.OnClick = [this] { btnChangeBackroundColorClick(); };
    Button3.OnClick = [this] { Button3Click(); };
    cbAxes.OnClick = [this] { cbAxesClick(); };
    btnRefreshScene.OnClick = [this] { btnRefreshSceneClick(); };

    // A Load button does what its Insert menu item does.
    SpeedButton2.OnClick = [this] { Front1Click(); };
    SpeedButton6.OnClick = [this] { Back1Click(); };
    SpeedButton7.OnClick = [this] { Right1Click(); };
    SpeedButton8.OnClick = [this] { Left1Click(); };
    SpeedButton9.OnClick = [this] { Top1Click(); };
    SpeedButton10.OnClick = [this] { Bottom1Click(); };

    Sleep = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
}

TBoxScene* TfrmMainModel::boxScene()
{
    return dynamic_cast<TBoxScene*>(Scene.get());
}

void TfrmMainModel::cbReflectionClick()
{
    tbReflectionOpacity.setEnabled(cbReflection.checked());
    if (BoxType != 1) return;
    TBoxScene* box = boxScene();
    if (cbReflection.checked()) {
        if (cbDropShadow.checked()) cbDropShadow.setChecked(false); // its handler hides the shadow
        if (box && box->GLMirror1) box->GLMirror1->SetVisible(true);
    } else if (box && box->GLMirror1) {
        box->GLMirror1->SetVisible(false);
    }
}

void TfrmMainModel::cbDropShadowClick()
{
    const bool on = cbDropShadow.checked();
    tbDropShadowWidth.setEnabled(on);
    tbDropShadowHeight.setEnabled(on);
    btnRefreshShadow.setEnabled(on);
    if (BoxType != 1) return;
    TBoxScene* box = boxScene();
    if (on) {
        if (cbReflection.checked()) cbReflection.setChecked(false); // hides the floor mirror
        if (box && box->GLDropShadow) box->GLDropShadow->SetVisible(true);
    } else if (box && box->GLDropShadow) {
        box->GLDropShadow->SetVisible(false);
    }
}

void TfrmMainModel::tbReflectionOpacityChange(int position)
{
    if (BoxType != 1) return;
    TBoxScene* box = boxScene();
    if (box && box->GLMirror1)
        box->GLMirror1->Material().FrontProperties().Diffuse().SetAlpha(float((10 - position) / 10.0));
}

void TfrmMainModel::tbDropShadowWidthChange(int position)
{
    if (BoxType != 1) return;
    TBoxScene* box = boxScene();
    if (box && box->GLDropShadow && box->PLBack)
        box->GLDropShadow->Scale().SetY(float(double(box->PLBack->Scale().X()) + 0.2 + (position - 5) / 50.0));
}

void TfrmMainModel::tbDropShadowHeightChange(int position)
{
    if (BoxType != 1) return;
    TBoxScene* box = boxScene();
    if (box && box->GLDropShadow && box->PLBack)
        box->GLDropShadow->Scale().SetX(float(double(box->PLBack->Scale().Y()) + 0.2 + (position - 5) / 50.0));
}

void TfrmMainModel::btnRefreshShadowClick()
{
    if (BoxType != 1) return;
    auto shadow = [this]() -> TGLPlane* {
        TBoxScene* box = boxScene();
        return box ? box->GLDropShadow : nullptr;
    };
    if (!shadow()) return;
    shadow()->Material().Texture().SetDisabled(true);
    // The shadow shows untextured for a moment. Pending messages may even
    // replace the scene, so the shadow is looked up again afterwards.
    processMessages();
    const std::string file = ProgramFolder + "Media/Shadow.tga";
    std::error_code ec;
    if (std::filesystem::exists(file, ec)) {
        if (TBoxScene* box = boxScene()) box->loadShadowPicture(file); // unreadable: the texture stays off
    } else if (ShowMessage) {
        ShowMessage("Unable to find drop shadow texture...");
    }
    if (TGLPlane* p = shadow()) p->Material().Texture().SetDisabled(false);
}

namespace {

// The floor's surface is drawn in the background colour.
void setFloorAmbient(TBoxScene* box, std::uint32_t color)
{
    if (!box || !box->GLMirror1) return;
    box->GLMirror1->Material().FrontProperties().Ambient().SetRGBA(
        float((color & 0xFF) / 255.0), float(((color >> 8) & 0xFF) / 255.0), float(((color >> 16) & 0xFF) / 255.0), 0);
}

} // namespace

void TfrmMainModel::btnChangeBackroundColorClick()
{
    if (BoxType != 1 || !RunColorDialog) return;
    const std::optional<std::uint32_t> chosen = RunColorDialog(ColorDialog1Color);
    if (!chosen) return;
    const std::uint32_t color = *chosen & 0xFFFFFF;
    ColorDialog1Color = color;
    if (Scene) Scene->setBackgroundColor(color);
    setFloorAmbient(boxScene(), color);
}

void TfrmMainModel::Button3Click()
{
    if (BoxType != 1) return;
    if (Scene) Scene->setBackgroundColor(0xFFFFFF);
    setFloorAmbient(boxScene(), 0xFFFFFF);
}

void TfrmMainModel::cbAxesClick()
{
    if (BoxType != 1) return;
    TBoxScene* box = boxScene();
    if (box && box->GLPoints1) box->GLPoints1->SetVisible(cbAxes.checked());
}

void TfrmMainModel::btnRefreshSceneClick()
{
    if (BoxType != 1) return;
    auto camera = [this]() -> TGLCamera* {
        TBoxScene* box = boxScene();
        return box ? box->GLCamera1 : nullptr;
    };
    if (!camera()) return;
    camera()->OrbitAroundTarget(10, 0);
    processMessages();
    if (Sleep) Sleep(300);
    // The camera comes back unless the first move hit the pitch limit.
    if (TGLCamera* c = camera()) c->OrbitAroundTarget(-10, 0);
}

} // namespace velmora
