#include "box/BoxScene.h"

#include "pictures/Picture.h"

#include <bit>
#include <cstdint>
#include <filesystem>
#include <system_error>

namespace velmora {

namespace {

namespace fs = std::filesystem;

// Exact stored values of the camera placements (they are not short decimals).
float bits(std::uint32_t b)
{
    return std::bit_cast<float>(b);
}

// The executable's folder with a trailing separator, or "" when unknown.
std::string executableFolder()
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    std::string folder = exe.parent_path().string();
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

// Placement as the form stores it: the vectors are taken as they are, with no
// re-orthogonalisation or rounding in between.
void place(TGLBaseSceneObject* o, TVector dir, TVector up, TVector pos, TVector scale)
{
    o->Direction().SetRaw(dir.X, dir.Y, dir.Z, 0);
    o->Up().SetRaw(up.X, up.Y, up.Z, 0);
    o->Position().SetRaw(pos.X, pos.Y, pos.Z, 1);
    o->Scale().SetRaw(scale.X, scale.Y, scale.Z, 0);
}

template <class T> T* named(TGLScene& scene, const char* name)
{
    return dynamic_cast<T*>(scene.FindSceneObject(name));
}

// Loads a face picture; a missing or unreadable file leaves the face blank
// rather than making the whole scene unusable.
void loadPicture(TGLPlane* plane, const std::string& file)
{
    if (!plane) return;
    std::error_code ec;
    if (!fs::exists(file, ec)) return;
    try {
        plane->Material().Texture().PictureImage().LoadFromFile(file);
    } catch (const std::exception&) {
        plane->Material().Texture().PictureImage().Picture()->Clear();
    }
}

void setCoordinate(TGLCoordinates& c, float x, float y, float z)
{
    c.SetComponent(0, x);
    c.SetComponent(1, y);
    c.SetComponent(2, z);
}

} // namespace

TBoxScene::TBoxScene(std::string programFolder) : ProgramFolder(std::move(programFolder))
{
    if (ProgramFolder.empty()) ProgramFolder = executableFolder();
    build();
    loadDefaultPictures();
}

TBoxScene::~TBoxScene() = default;

void TBoxScene::build()
{
    GLScene1.SetName("GLScene1");
    GLScene1.SetLeft(8);
    GLScene1.SetTop(32);

    // The graph is built as a stream would read it: angles are only recorded
    // and every object finishes with Loaded().
    std::vector<TGLBaseSceneObject*> built;
    auto add = [&](auto* o, const char* name) {
        o->SetName(name);
        o->SetLoading(true);
        built.push_back(o);
        return o;
    };

    // The box.
    DummyCube2 = add(GLScene1.AddNewObject<TGLDummyCube>(), "DummyCube2");
    struct Face {
        TGLPlane** field;
        const char* name;
        TVector dir, up, pos, scale;
        float roll;
    };
    const Face faceDefs[] = {
        {&PLLeft, "PLLeft", {0, -1, 0}, {0, 0, 1}, {0, -0.4f, 0}, {0.2f, 1, 1}, 0},
        {&PLBottom, "PLBottom", {0, 0, -1}, {1, 0, 0}, {0, 0, -0.5f}, {0.8f, 0.2f, 1}, 90},
        {&PLRight, "PLRight", {0, 1, 0}, {0, 0, 1}, {0, 0.4f, 0}, {0.2f, 1, 1}, 180},
        {&PLFront, "PLFront", {1, 0, 0}, {0, 0, 1}, {0.1f, 0, 0}, {0.8f, 1, 1}, 180},
        {&PLTop, "PLTop", {0, 0, 1}, {-1, 0, 0}, {0, 0, 0.5f}, {0.8f, 0.2f, 1}, 90},
        {&PLBack, "PLBack", {-1, 0, 0}, {0, 0, 1}, {-0.1f, 0, 0}, {0.8f, 1, 1}, 90},
    };
    for (const Face& f : faceDefs) {
        TGLPlane* p = add(DummyCube2->AddNewChild<TGLPlane>(), f.name);
        place(p, f.dir, f.up, f.pos, f.scale);
        p->SetRollAngle(f.roll);
        TGLMaterial& m = p->Material();
        m.SetMaterialOptions({moIgnoreFog});
        m.SetFaceCulling(fcNoCull);
        m.Texture().SetTextureMode(tmReplace);
        m.Texture().SetDisabled(false);
        *f.field = p;
    }
    PLFront->Material().SetBlendingMode(bmTransparency);
    PLFront->SetStyle({psSingleQuad});

    // The rig.
    DummyCube1 = add(GLScene1.AddNewObject<TGLDummyCube>(), "DummyCube1");

    GLPoints1 = add(DummyCube1->AddNewChild<TGLPoints>(), "GLPoints1");
    GLPoints1->SetShowAxes(true);
    GLPoints1->SetVisible(false);

    GLDropShadow = add(DummyCube1->AddNewChild<TGLPlane>(), "GLDropShadow");
    place(GLDropShadow, {1, 0, 0}, {0, 1, 0}, {-0.1f, 0, 0}, {1.2f, 1, 1});
    GLDropShadow->SetTurnAngle(90);
    GLDropShadow->SetVisible(false);
    {
        TGLMaterial& m = GLDropShadow->Material();
        m.FrontProperties().Diffuse().SetRGBA(0.8f, 0.8f, 0.8f, 0.9f);
        m.SetBlendingMode(bmTransparency);
        m.Texture().SetTextureMode(tmReplace);
        m.Texture().SetDisabled(false);
    }

    GLMirror1 = add(DummyCube1->AddNewChild<TGLMirror>(), "GLMirror1");
    place(GLMirror1, {0, 0, 1}, {0, 1, 0}, {0, 0, -0.5f}, {100, 100, 1});
    GLMirror1->SetMirrorObject(DummyCube2);
    GLMirror1->SetMirrorOptions({});
    {
        TGLMaterial& m = GLMirror1->Material();
        m.FrontProperties().Ambient().SetRGBA(1, 1, 1, 0);
        m.FrontProperties().Diffuse().SetRGBA(0, 0, 0, 0.5f);
        m.FrontProperties().Emission().SetRGBA(0, 0, 0, 0);
        m.FrontProperties().Specular().SetRGBA(0, 0, 0, 0);
        m.FrontProperties().SetShininess(10);
        m.SetBlendingMode(bmTransparency);
        m.SetFaceCulling(fcNoCull);
    }

    GLLightSource3 = add(DummyCube1->AddNewChild<TGLLightSource>(), "GLLightSource3");
    GLLightSource3->SetLightStyle(lsOmni);
    GLLightSource3->Position().SetRaw(0.6f, -1, 3, 1);
    GLLightSource3->Diffuse().SetRGBA(0.3f, 0.3f, 0.3f, 1);

    GLCamera1 = add(DummyCube1->AddNewChild<TGLCamera>(), "GLCamera1");
    place(GLCamera1, {bits(0xBF64F92E), bits(0x3EE4F92E), 0}, {0, 0, 1},
          {bits(0x40BEA7F0), bits(0x408D680A), bits(0x3FD67DAF)}, {1, 1, 1});
    GLCamera1->SetDepthOfView(1000);
    GLCamera1->SetFocalLength(400);
    GLCamera1->SetTargetObject(GLPoints1);

    GLLightSource1 = add(GLCamera1->AddNewChild<TGLLightSource>(), "GLLightSource1");
    GLLightSource1->SetLightStyle(lsOmni);

    // The switched-off light.
    GLDummyCube1 = add(GLScene1.AddNewObject<TGLDummyCube>(), "GLDummyCube1");
    GLLightSource2 = add(GLDummyCube1->AddNewChild<TGLLightSource>(), "GLLightSource2");
    GLLightSource2->SetLightStyle(lsOmni);
    GLLightSource2->Position().SetRaw(1, 0, 1.7f, 1);
    GLLightSource2->SetShining(false);

    // The spare camera.
    GLCamera2 = add(GLScene1.AddNewObject<TGLCamera>(), "GLCamera2");
    place(GLCamera2, {0, -1, 0}, {0, 0, -1}, {bits(0x40BEA7F0), bits(0x408D680A), bits(0x3FD67DB3)}, {1, 1, 1});
    GLCamera2->SetFocalLength(50);
    GLCamera2->SetDepthOfView(100);
    GLCamera2->SetTargetObject(GLPoints1);
    GLCamera2->SetLeft(336);
    GLCamera2->SetTop(248);

    for (TGLBaseSceneObject* o : built) o->Loaded();
}

void TBoxScene::loadDefaultPictures()
{
    const std::string faces = ProgramFolder + "Faces/";
    loadPicture(PLLeft, faces + "Side.jpg");
    loadPicture(PLBottom, faces + "Top.jpg");
    loadPicture(PLRight, faces + "Side.jpg");
    loadPicture(PLFront, faces + "Front.jpg");
    loadPicture(PLTop, faces + "Top.jpg");
    loadPicture(PLBack, faces + "Front.jpg");

    const std::string shadow = ProgramFolder + "Media/Shadow.tga";
    std::error_code ec;
    if (!GLDropShadow || !fs::exists(shadow, ec)) return;
    try {
        loadShadowPicture(shadow);
    } catch (const std::exception&) {
        // A damaged shadow picture leaves the drop shadow blank.
    }
}

void TBoxScene::loadShadowPicture(const std::string& file)
{
    if (!GLDropShadow) return;
    TTargaGraphic tga;
    tga.LoadFromFile(file);
    auto g = std::make_unique<TTGAImage>();
    g->Assign(tga.Image());
    GLDropShadow->Material().Texture().PictureImage().Picture()->SetGraphic(std::move(g));
}

TGLPlane* TBoxScene::facePlane(TBoxFace face) const
{
    switch (face) {
    case TBoxFace::Front: return PLFront;
    case TBoxFace::Back: return PLBack;
    case TBoxFace::Top: return PLTop;
    case TBoxFace::Bottom: return PLBottom;
    case TBoxFace::Left: return PLLeft;
    case TBoxFace::Right: return PLRight;
    }
    return nullptr;
}

void TBoxScene::bindByName()
{
    DummyCube2 = named<TGLDummyCube>(GLScene1, "DummyCube2");
    PLLeft = named<TGLPlane>(GLScene1, "PLLeft");
    PLBottom = named<TGLPlane>(GLScene1, "PLBottom");
    PLRight = named<TGLPlane>(GLScene1, "PLRight");
    PLFront = named<TGLPlane>(GLScene1, "PLFront");
    PLTop = named<TGLPlane>(GLScene1, "PLTop");
    PLBack = named<TGLPlane>(GLScene1, "PLBack");
    DummyCube1 = named<TGLDummyCube>(GLScene1, "DummyCube1");
    GLPoints1 = named<TGLPoints>(GLScene1, "GLPoints1");
    GLDropShadow = named<TGLPlane>(GLScene1, "GLDropShadow");
    GLMirror1 = named<TGLMirror>(GLScene1, "GLMirror1");
    GLLightSource3 = named<TGLLightSource>(GLScene1, "GLLightSource3");
    GLCamera1 = named<TGLCamera>(GLScene1, "GLCamera1");
    GLLightSource1 = named<TGLLightSource>(GLScene1, "GLLightSource1");
    GLDummyCube1 = named<TGLDummyCube>(GLScene1, "GLDummyCube1");
    GLLightSource2 = named<TGLLightSource>(GLScene1, "GLLightSource2");
    GLCamera2 = named<TGLCamera>(GLScene1, "GLCamera2");
}

void TBoxScene::sceneReplaced()
{
    bindByName();
    for (TGLSceneBuffer* b : GLScene1.RegisteredBuffers())
        if (GLCamera1 && b->Camera() != GLCamera1) b->SetCamera(GLCamera1);
}

void TBoxScene::setBackgroundColor(std::uint32_t color)
{
    BackgroundColor = TColor(color);
    for (TGLSceneBuffer* b : GLScene1.RegisteredBuffers()) b->SetBackgroundColor(BackgroundColor);
}

void TBoxScene::bindViewer(TGLSceneBuffer& buffer)
{
    buffer.RegisterWith(GLScene1);
    buffer.SetCamera(GLCamera1);
    buffer.SetBackgroundColor(BackgroundColor);
    buffer.AmbientColor().SetRGBA(1, 1, 1, 1);
    buffer.SetAntiAliasing(aa2x);
    buffer.SetShadeModel(smSmooth);
}

// ---- Dimensions ----
// Each value is computed in double and stored as a float; only the named
// coordinate is written.

void TBoxScene::applyBoxWidth(int w, int shadowWidth)
{
    const double s = w / 100.0;
    for (TGLPlane* p : {PLTop, PLBottom, PLFront, PLBack})
        if (p) p->Scale().SetX(float(s));
    if (GLDropShadow) GLDropShadow->Scale().SetY(float(w / 100.0 + 0.2 + (shadowWidth - 5) / 50.0));
    if (PLLeft) PLLeft->Position().SetY(float(w / -200.0));
    if (PLRight) PLRight->Position().SetY(float(w / 200.0));
}

void TBoxScene::applyBoxHeight(int h, int shadowHeight)
{
    const double s = h / 100.0;
    for (TGLPlane* p : {PLFront, PLBack})
        if (p) p->Scale().SetY(float(s));
    if (GLDropShadow) GLDropShadow->Scale().SetX(float(h / 100.0 + 0.2 + (shadowHeight - 5) / 50.0));
    for (TGLPlane* p : {PLLeft, PLRight})
        if (p) p->Scale().SetY(float(s));
    if (PLTop) PLTop->Position().SetZ(float(h / 200.0));
    if (PLBottom) PLBottom->Position().SetZ(float(h / -200.0));
}

void TBoxScene::applyBoxDepth(int d)
{
    const double s = d / 100.0;
    for (TGLPlane* p : {PLTop, PLBottom})
        if (p) p->Scale().SetY(float(s));
    for (TGLPlane* p : {PLLeft, PLRight})
        if (p) p->Scale().SetX(float(s));
    if (PLFront) PLFront->Position().SetX(float(d / 200.0));
    if (PLBack) PLBack->Position().SetX(float(d / -200.0));
    if (GLDropShadow) GLDropShadow->Position().SetX(float(d / -200.0));
}

void TBoxScene::resetToDefaults()
{
    if (GLCamera1) GLCamera1->Position().SetAsVector(bits(0x40BEA7F0), bits(0x408D680A), bits(0x3FD67DB3), 1);

    struct Reset {
        TGLPlane* plane;
        float px, py, pz, sx, sy, sz;
    };
    const Reset resets[] = {
        {PLLeft, 0, -0.4f, 0, 0.2f, 1, 1},       {PLRight, 0, 0.4f, 0, 0.2f, 1, 1}, {PLTop, 0, 0, 0.5f, 0.8f, 0.2f, 1},
        {PLBottom, 0, 0, -0.5f, 0.8f, 0.2f, 1},  {PLFront, 0.1f, 0, 0, 0.8f, 1, 1}, {PLBack, -0.1f, 0, 0, 0.8f, 1, 1},
        {GLDropShadow, -0.1f, 0, 0, 1.2f, 1, 1},
    };
    for (const Reset& r : resets) {
        if (!r.plane) continue;
        setCoordinate(r.plane->Position(), r.px, r.py, r.pz);
        setCoordinate(r.plane->Scale(), r.sx, r.sy, r.sz);
    }

    // The pictures stay loaded; the faces show their plain material until a
    // picture is loaded into them again.
    for (TGLPlane* p : {PLFront, PLBack, PLLeft, PLRight, PLTop, PLBottom})
        if (p) p->Material().Texture().SetDisabled(true);

    setBackgroundColor(clBlack);
    if (GLMirror1) GLMirror1->Material().FrontProperties().Ambient().SetRGBA(0, 0, 0, 0);
}

} // namespace velmora
