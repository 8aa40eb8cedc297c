#include "box/SceneFiles.h"

#include "box/MainModel.h"
#include "engine/CameraLights.h"
#include "engine/Material.h"
#include "engine/Objects.h"
#include "engine/Scene.h"
#include "files/SceneBinding.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

TGLScene& sceneOf(TfrmMainModel& model)
{
    TGLScene* scene = model.scene() ? model.scene()->sceneGraph() : nullptr;
    if (!scene) throw ENotAvailable("There is no scene to save or open.");
    return *scene;
}

TGLScene* sceneIfAny(TfrmMainModel& model)
{
    return model.scene() ? model.scene()->sceneGraph() : nullptr;
}

void readFace(TGLScene* scene, const char* name, FaceIniValues& f)
{
    TGLBaseSceneObject* o = scene ? scene->FindSceneObject(name) : nullptr;
    if (!o) return; // the settings keep what they had
    f.posX = o->Position().X();
    f.posY = o->Position().Y();
    f.posZ = o->Position().Z();
    f.scaleX = o->Scale().X();
    f.scaleY = o->Scale().Y();
    f.scaleZ = o->Scale().Z();
}

void applyFace(TGLScene* scene, const char* name, const FaceIniValues& f)
{
    TGLBaseSceneObject* o = scene ? scene->FindSceneObject(name) : nullptr;
    if (!o) return;
    o->Position().SetX(f.posX);
    o->Position().SetY(f.posY);
    o->Position().SetZ(f.posZ);
    o->Scale().SetX(f.scaleX);
    o->Scale().SetY(f.scaleY);
    o->Scale().SetZ(f.scaleZ);
}

SceneArchiveHost hostFor(TfrmMainModel& model)
{
    SceneArchiveHost host;
    host.saveSceneStream = [&model](const fs::path& f) { saveModelSceneStream(model, f); };
    host.loadSceneStream = [&model](const fs::path& f) { loadModelSceneStream(model, f); };
    host.prepareSceneStream = [&model](const fs::path& f) -> std::function<void()> {
        std::shared_ptr<TPreparedScene> prepared = prepareSceneLoadFromFile(sceneOf(model), f);
        return [&model, prepared] {
            prepared->install();
            model.scene()->sceneReplaced();
        };
    };
    host.currentSettings = [&model] { return currentSceneSettings(model); };
    host.applySettings = [&model](const SceneIniSettings& s) { applySceneSettings(model, s); };
    host.boxType = [&model] { return static_cast<std::int32_t>(model.BoxType); };
    host.processMessages = [&model] {
        if (model.ProcessMessages) model.ProcessMessages();
    };
    return host;
}

} // namespace

SceneIniSettings currentSceneSettings(TfrmMainModel& model)
{
    SceneIniSettings s;
    s.boxType = 1;
    s.reflectionVisible = model.cbReflection.checked();
    s.reflectionOpacity = model.tbReflectionOpacity.position();
    s.dropShadowWidth = model.tbDropShadowWidth.position();
    s.dropShadowHeight = model.tbDropShadowHeight.position();
    s.dropShadowVisible = model.cbDropShadow.checked();
    s.pointOfFocusVisible = model.cbAxes.checked();
    s.boxWidth = model.tbBoxWidth.position();
    s.boxHeight = model.tbBoxHeight.position();
    s.boxDepth = model.tbBoxDepth.position();
    const std::uint32_t bg = model.scene() ? model.scene()->backgroundColor() : 0xFFFFFF;
    s.colorRed = static_cast<std::int32_t>(bg & 0xFF);
    s.colorGreen = static_cast<std::int32_t>((bg >> 8) & 0xFF);
    s.colorBlue = static_cast<std::int32_t>((bg >> 16) & 0xFF);

    TGLScene* scene = sceneIfAny(model);
    if (TGLBaseSceneObject* cam = scene ? scene->FindSceneObject("GLCamera1") : nullptr) {
        s.cameraX = cam->Position().X();
        s.cameraY = cam->Position().Y();
        s.cameraZ = cam->Position().Z();
    }
    for (const FaceSection& f : kFaceSections) readFace(scene, f.object, s.*(f.member));
    if (auto* mirror = dynamic_cast<TGLMirror*>(scene ? scene->FindSceneObject("GLMirror1") : nullptr)) {
        const TGLColor& a = mirror->Material().FrontProperties().Ambient();
        s.mirrorRed = a.Red();
        s.mirrorGreen = a.Green();
        s.mirrorBlue = a.Blue();
        s.mirrorAlpha = a.Alpha();
    }
    return s;
}

void applySceneSettings(TfrmMainModel& model, const SceneIniSettings& s)
{
    // While the box type is 0 the control handlers only enable and disable
    // their related controls; the values go to the scene below.
    model.BoxType = 0;
    model.PristineScene = false;
    model.cbReflection.setChecked(s.reflectionVisible);
    model.tbReflectionOpacity.setPosition(s.reflectionOpacity);
    model.cbDropShadow.setChecked(s.dropShadowVisible);
    model.tbDropShadowWidth.setPosition(s.dropShadowWidth);
    model.tbDropShadowHeight.setPosition(s.dropShadowHeight);
    model.cbAxes.setChecked(s.pointOfFocusVisible);
    model.tbBoxWidth.setPosition(s.boxWidth);
    model.tbBoxHeight.setPosition(s.boxHeight);
    model.tbBoxDepth.setPosition(s.boxDepth);
    if (model.scene()) model.scene()->setBackgroundColor(s.backgroundWindowColor());

    TGLScene* scene = sceneIfAny(model);
    if (TGLBaseSceneObject* cam = scene ? scene->FindSceneObject("GLCamera1") : nullptr) {
        cam->Position().SetX(s.cameraX);
        cam->Position().SetY(s.cameraY);
        cam->Position().SetZ(s.cameraZ);
    }
    for (const FaceSection& f : kFaceSections) applyFace(scene, f.object, s.*(f.member));
    if (TGLBaseSceneObject* shadow = scene ? scene->FindSceneObject("GLDropShadow") : nullptr)
        shadow->SetVisible(s.dropShadowVisible);
    if (auto* mirror = dynamic_cast<TGLMirror*>(scene ? scene->FindSceneObject("GLMirror1") : nullptr)) {
        mirror->Material().FrontProperties().Ambient().SetRGBA(s.mirrorRed, s.mirrorGreen, s.mirrorBlue, s.mirrorAlpha);
        mirror->SetVisible(s.reflectionVisible);
    }
    model.BoxType = static_cast<std::uint32_t>(s.boxType);
}

void saveModelSceneStream(TfrmMainModel& model, const fs::path& file)
{
    saveSceneToFile(sceneOf(model), file);
}

void loadModelSceneStream(TfrmMainModel& model, const fs::path& file)
{
    loadSceneFromFile(sceneOf(model), file);
    model.scene()->sceneReplaced();
}

void saveSceneFile(TfrmMainModel& model, const fs::path& path, SceneFilter filter)
{
    saveScene(path, filter, model.WorkingFolder, hostFor(model));
}

void saveSceneArchiveFile(TfrmMainModel& model, const fs::path& path)
{
    saveSceneArchive(path, model.WorkingFolder, hostFor(model));
}

void openSceneFile(TfrmMainModel& model, const fs::path& path, SceneFilter filter)
{
    openScene(path, filter, model.WorkingFolder, hostFor(model));
}

void installSceneFiles(TfrmMainModel& model)
{
    model.ReadSceneFile = [&model](const std::string& path, int filter) -> std::function<void()> {
        auto content = std::make_shared<SceneFileContent>(
            readSceneFile(path, static_cast<SceneFilter>(filter), model.WorkingFolder, hostFor(model)));
        return [&model, content] { applySceneFile(*content, hostFor(model)); };
    };
    model.SaveScene = [&model](const std::string& path, int filter) {
        saveSceneFile(model, path, static_cast<SceneFilter>(filter));
    };
}

} // namespace velmora
