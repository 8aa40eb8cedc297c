#include "box/BoxScene.h"
#include "BoxTestSupport.h"
#include "box/MainModel.h"
#include "pictures/Picture.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace velmora;
using velmora::test::resourcesFolder;

namespace {

struct BoxSceneTest : ::testing::Test {
    TBoxScene scene{resourcesFolder()};
};

void expectPos(const TGLBaseSceneObject* o, float x, float y, float z)
{
    EXPECT_FLOAT_EQ(o->Position().X(), x) << o->Name();
    EXPECT_FLOAT_EQ(o->Position().Y(), y) << o->Name();
    EXPECT_FLOAT_EQ(o->Position().Z(), z) << o->Name();
}

void expectScale(const TGLBaseSceneObject* o, float x, float y, float z)
{
    EXPECT_FLOAT_EQ(o->Scale().X(), x) << o->Name();
    EXPECT_FLOAT_EQ(o->Scale().Y(), y) << o->Name();
    EXPECT_FLOAT_EQ(o->Scale().Z(), z) << o->Name();
}

} // namespace

TEST_F(BoxSceneTest, SlidersAtTheirLimitsGiveTinyFacesOrAUnitCube)
{
    scene.applyBoxWidth(1, 5);
    scene.applyBoxHeight(1, 5);
    scene.applyBoxDepth(1);
    expectScale(scene.PLFront, 0.01f, 0.01f, 1);
    expectScale(scene.PLLeft, 0.01f, 0.01f, 1);
    expectScale(scene.PLTop, 0.01f, 0.01f, 1);
    expectPos(scene.PLFront, 0.005f, 0, 0);
    expectPos(scene.PLRight, 0, 0.005f, 0);
    expectPos(scene.PLBottom, 0, 0, -0.005f);

    scene.applyBoxWidth(100, 5);
    scene.applyBoxHeight(100, 5);
    scene.applyBoxDepth(100);
    for (TGLPlane* p : scene.faces()) expectScale(p, 1, 1, 1);
    expectPos(scene.PLFront, 0.5f, 0, 0);
    expectPos(scene.PLBack, -0.5f, 0, 0);
    expectPos(scene.PLLeft, 0, -0.5f, 0);
    expectPos(scene.PLRight, 0, 0.5f, 0);
    expectPos(scene.PLTop, 0, 0, 0.5f);
    expectPos(scene.PLBottom, 0, 0, -0.5f);
    // The drop shadow stays in the plane of the back face, 0.2 larger.
    expectPos(scene.GLDropShadow, -0.5f, 0, 0);
    expectScale(scene.GLDropShadow, 1.2f, 1.2f, 1);
    // The floor does not follow the box.
    expectPos(scene.GLMirror1, 0, 0, -0.5f);
}

TEST_F(BoxSceneTest, DropShadowSlidersAddOrRemoveTwoHundredthsPerStep)
{
    scene.applyBoxWidth(70, 10);
    EXPECT_FLOAT_EQ(scene.GLDropShadow->Scale().Y(), float(0.7 + 0.3));
    scene.applyBoxWidth(70, 0);
    EXPECT_FLOAT_EQ(scene.GLDropShadow->Scale().Y(), float(0.7 + 0.1));
    scene.applyBoxHeight(62, 0);
    EXPECT_FLOAT_EQ(scene.GLDropShadow->Scale().X(), float(0.62 + 0.1));
    // Only the named coordinate is written.
    EXPECT_FLOAT_EQ(scene.GLDropShadow->Scale().Z(), 1);
    EXPECT_FLOAT_EQ(scene.PLBottom->Position().Z(), -0.31f);
}

TEST(BoxSceneModel, PresetsRunOnlyTheHandlersWhoseSliderMoves)
{
    TfrmMainModel model({}, {}, [](const std::string&) { return std::make_unique<TBoxScene>(resourcesFolder()); });
    auto& scene = static_cast<TBoxScene&>(*model.scene());
    model.New1Click();

    model.btnCD.click();
    expectScale(scene.PLFront, 0.7f, 0.62f, 1);
    expectPos(scene.PLFront, 0.025f, 0, 0);
    expectPos(scene.PLBottom, 0, 0, -0.31f);
    EXPECT_EQ(model.lblBoxHeight.caption(), "62");

    // A second CD changes nothing, even a coordinate written by hand meanwhile.
    scene.PLFront->Scale().SetX(0.5f);
    model.btnCD.click();
    EXPECT_FLOAT_EQ(scene.PLFront->Scale().X(), 0.5f);

    // After a second New the sliders still show the CD values while the
    // geometry is back at the defaults: CD does nothing, a slider move applies.
    model.New1Click();
    expectScale(scene.PLFront, 0.8f, 1, 1);
    EXPECT_EQ(model.tbBoxWidth.position(), 70);
    model.btnCD.click();
    expectScale(scene.PLFront, 0.8f, 1, 1);
    model.tbBoxDepth.setPosition(6);
    expectPos(scene.PLFront, 0.03f, 0, 0);
    expectScale(scene.PLFront, 0.8f, 1, 1);

    // With another box type the sliders only update their labels.
    model.BoxType = 0;
    model.tbBoxWidth.setPosition(90);
    EXPECT_EQ(model.lblBoxWidth.caption(), "90");
    expectScale(scene.PLFront, 0.8f, 1, 1);
}

TEST_F(BoxSceneTest, ResetRestoresGeometryAndDisablesTextures)
{
    scene.applyBoxWidth(30, 2);
    scene.applyBoxHeight(40, 8);
    scene.applyBoxDepth(90);
    scene.GLCamera1->Position().SetAsVector(1, 2, 3, 1);
    scene.DummyCube2->SetPitchAngle(30);
    scene.DummyCube1->Position().SetZ(0.7f);

    scene.resetToDefaults();
    expectPos(scene.GLCamera1, std::bit_cast<float>(0x40BEA7F0u), std::bit_cast<float>(0x408D680Au),
              std::bit_cast<float>(0x3FD67DB3u));
    expectPos(scene.PLLeft, 0, -0.4f, 0);
    expectScale(scene.PLTop, 0.8f, 0.2f, 1);
    expectPos(scene.GLDropShadow, -0.1f, 0, 0);
    expectScale(scene.GLDropShadow, 1.2f, 1, 1);
    for (TGLPlane* p : scene.faces()) {
        EXPECT_TRUE(p->Material().Texture().Disabled()) << p->Name();
        // Pictures stay loaded.
        EXPECT_GT(p->Material().Texture().Image().Width(), 0) << p->Name();
    }
    EXPECT_EQ(scene.BackgroundColor, clBlack);
    EXPECT_EQ(scene.GLMirror1->Material().FrontProperties().Ambient().Color(), (TVector{0, 0, 0, 0}));
    // Orientation of the box and the rig's position are not reset.
    EXPECT_FLOAT_EQ(scene.DummyCube2->PitchAngle(), 30);
    EXPECT_FLOAT_EQ(scene.DummyCube1->Position().Z(), 0.7f);
}

TEST_F(BoxSceneTest, DefaultPicturesAndReferences)
{
    const int sizes[6][2] = {{800, 1010}, {800, 1010}, {166, 1010}, {166, 1010}, {800, 120}, {800, 120}};
    auto faces = scene.faces();
    for (size_t i = 0; i < faces.size(); ++i) {
        auto* pic = faces[i]->Material().Texture().PictureImage().Picture();
        ASSERT_NE(pic->Graphic(), nullptr) << faces[i]->Name();
        EXPECT_STREQ(pic->Graphic()->ClassName(), "TJPEGImage");
        EXPECT_EQ(pic->Width(), sizes[i][0]) << faces[i]->Name();
        EXPECT_EQ(pic->Height(), sizes[i][1]) << faces[i]->Name();
    }
    auto* shadow = scene.GLDropShadow->Material().Texture().PictureImage().Picture();
    ASSERT_NE(shadow->Graphic(), nullptr);
    EXPECT_STREQ(shadow->Graphic()->ClassName(), "TTGAImage");
    EXPECT_EQ(shadow->Width(), 256);

    EXPECT_EQ(scene.GLCamera1->TargetObject(), scene.GLPoints1);
    EXPECT_EQ(scene.GLMirror1->MirrorObject(), scene.DummyCube2);
    // Three lights hold slots; the switched-off one keeps its slot.
    EXPECT_GE(scene.GLLightSource2->LightID(), 0);
    EXPECT_FALSE(scene.GLLightSource2->Shining());

    TGLSceneBuffer buffer;
    scene.bindViewer(buffer);
    EXPECT_EQ(buffer.Camera(), scene.GLCamera1);
    EXPECT_EQ(buffer.BackgroundColor(), clWhite);
    scene.setBackgroundColor(0x123456);
    EXPECT_EQ(buffer.BackgroundColor(), 0x123456);
}

TEST(BoxSceneFolders, MissingPicturesLeaveBlankFaces)
{
    TBoxScene scene("/nonexistent/");
    EXPECT_EQ(scene.PLFront->Material().Texture().Image().Width(), 0);
    EXPECT_FALSE(scene.PLFront->Material().Texture().Disabled());
    scene.applyBoxWidth(50, 5);
    EXPECT_FLOAT_EQ(scene.PLFront->Scale().X(), 0.5f);
}

TEST_F(BoxSceneTest, BindByNameFollowsAReplacedGraphAndToleratesMissingObjects)
{
    scene.GLScene1.Objects().RemoveChild(scene.GLDummyCube1, false).reset();
    auto* box = scene.DummyCube2;
    box->RemoveChild(scene.PLTop, false).reset();
    scene.sceneReplaced();
    EXPECT_EQ(scene.PLTop, nullptr);
    EXPECT_EQ(scene.GLLightSource2, nullptr);
    EXPECT_EQ(scene.DummyCube2, box);
    // Handlers skip what is missing.
    scene.applyBoxWidth(10, 5);
    scene.applyBoxHeight(10, 5);
    scene.applyBoxDepth(10);
    scene.resetToDefaults();
    EXPECT_FLOAT_EQ(scene.PLFront->Scale().X(), 0.8f);
}

// ---- The default scene against the reference dump ----

namespace {

struct DumpLine {
    std::string object; // last path component
    std::string property;
    std::string value;
};

std::vector<DumpLine> readDump()
{
    std::ifstream in(std::string(VELMORA_FIXTURES) + "/streams/default-scene.dump.txt");
    std::vector<DumpLine> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("object ", 0) == 0) continue;
        const auto sp = line.find(' ');
        const auto eq = line.find(" = ");
        if (sp == std::string::npos || eq == std::string::npos) continue;
        const std::string path = line.substr(0, sp);
        lines.push_back({path.substr(path.rfind('/') + 1), line.substr(sp + 1, eq - sp - 1),
                         eq + 3 <= line.size() ? line.substr(eq + 3) : ""});
    }
    return lines;
}

// The 32-bit patterns of the floats of a dump value ("0x3F800000 1 ...").
std::vector<uint32_t> patterns(const std::string& value)
{
    std::vector<uint32_t> r;
    std::istringstream s(value);
    std::string tok;
    while (s >> tok)
        if (tok.rfind("0x", 0) == 0) r.push_back(uint32_t(std::stoul(tok, nullptr, 16)));
    return r;
}

std::vector<uint32_t> bitsOf(const TVector& v)
{
    return {std::bit_cast<uint32_t>(v.X), std::bit_cast<uint32_t>(v.Y), std::bit_cast<uint32_t>(v.Z),
            std::bit_cast<uint32_t>(v.W)};
}

std::vector<uint32_t> bitsOf(float f)
{
    return {std::bit_cast<uint32_t>(f)};
}

std::string boolText(bool b)
{
    return b ? "True" : "False";
}

const char* blendingName(TBlendingMode m)
{
    static const char* names[] = {"bmOpaque",      "bmTransparency", "bmAdditive",
                                  "bmAlphaTest50", "bmAlphaTest100", "bmModulate"};
    return names[m];
}

const char* cullingName(TFaceCulling c)
{
    static const char* names[] = {"fcBufferDefault", "fcCull", "fcNoCull"};
    return names[c];
}

const char* textureModeName(TGLTextureMode m)
{
    static const char* names[] = {"tmDecal", "tmModulate", "tmBlend", "tmReplace"};
    return names[m];
}

} // namespace

TEST_F(BoxSceneTest, EveryHeldDefaultValueEqualsTheReferenceDump)
{
    const auto lines = readDump();
    ASSERT_GT(lines.size(), 500u) << "reference dump not found";
    int checked = 0;
    for (const DumpLine& l : lines) {
        SCOPED_TRACE(l.object + " " + l.property);
        if (l.object == "GLScene1") {
            if (l.property == "Left") EXPECT_EQ(std::to_string(scene.GLScene1.Left()), l.value);
            if (l.property == "Top") EXPECT_EQ(std::to_string(scene.GLScene1.Top()), l.value);
            continue;
        }
        TGLBaseSceneObject* o = scene.GLScene1.FindSceneObject(l.object);
        ASSERT_NE(o, nullptr);
        const std::string& p = l.property;
        const auto want = patterns(l.value);
        std::map<std::string, std::function<std::vector<uint32_t>()>> floats = {
            {"Direction.Coordinates", [&] { return bitsOf(o->Direction().AsVector()); }},
            {"Position.Coordinates", [&] { return bitsOf(o->Position().AsVector()); }},
            {"Scale.Coordinates", [&] { return bitsOf(o->Scale().AsVector()); }},
            {"Up.Coordinates", [&] { return bitsOf(o->Up().AsVector()); }},
            {"PitchAngle", [&] { return bitsOf(o->PitchAngle()); }},
            {"TurnAngle", [&] { return bitsOf(o->TurnAngle()); }},
            {"RollAngle", [&] { return bitsOf(o->RollAngle()); }},
            {"TagFloat", [&] { return bitsOf(o->TagFloat()); }},
        };
        if (auto* c = dynamic_cast<TGLCustomSceneObject*>(o)) {
            TGLMaterial& m = c->Material();
            for (const char* side : {"Front", "Back"}) {
                TGLFaceProperties& f = std::string(side) == "Front" ? m.FrontProperties() : m.BackProperties();
                const std::string pre = std::string("Material.") + side + "Properties.";
                floats[pre + "Ambient.Color"] = [&f] { return bitsOf(f.Ambient().Color()); };
                floats[pre + "Diffuse.Color"] = [&f] { return bitsOf(f.Diffuse().Color()); };
                floats[pre + "Emission.Color"] = [&f] { return bitsOf(f.Emission().Color()); };
                floats[pre + "Specular.Color"] = [&f] { return bitsOf(f.Specular().Color()); };
                if (p == pre + "Shininess") EXPECT_EQ(std::to_string(f.Shininess()), l.value), ++checked;
            }
            TGLTexture& t = m.Texture();
            floats["Material.Texture.MappingSCoordinates.Coordinates"] = [&] {
                return bitsOf(t.MappingSCoordinates().AsVector());
            };
            floats["Material.Texture.MappingTCoordinates.Coordinates"] = [&] {
                return bitsOf(t.MappingTCoordinates().AsVector());
            };
            floats["Material.Texture.EnvColor.Color"] = [&] { return bitsOf(t.EnvColor().Color()); };
            floats["Material.Texture.ImageBrightness"] = [&] { return bitsOf(t.ImageBrightness()); };
            floats["Material.Texture.ImageGamma"] = [&] { return bitsOf(t.ImageGamma()); };
            floats["Material.Texture.NormalMapScale"] = [&] { return bitsOf(t.NormalMapScale()); };
            if (p == "Material.BlendingMode") EXPECT_EQ(blendingName(m.BlendingMode()), l.value), ++checked;
            if (p == "Material.FaceCulling") EXPECT_EQ(cullingName(m.FaceCulling()), l.value), ++checked;
            if (p == "Material.Texture.TextureMode") EXPECT_EQ(textureModeName(t.TextureMode()), l.value), ++checked;
            if (p == "Material.Texture.Disabled") EXPECT_EQ(boolText(t.Disabled()), l.value), ++checked;
            if (p == "Material.Texture.MinFilter") EXPECT_EQ(t.MinFilter(), miLinearMipmapLinear), ++checked;
            if (p == "Material.MaterialOptions")
                EXPECT_EQ(m.MaterialOptions().contains(moIgnoreFog) ? "[moIgnoreFog]" : "[]", l.value), ++checked;
        }
        if (auto* pl = dynamic_cast<TGLPlane*>(o)) {
            floats["Width"] = [pl] { return bitsOf(pl->Width()); };
            floats["Height"] = [pl] { return bitsOf(pl->Height()); };
            floats["XScope"] = [pl] { return bitsOf(pl->XScope()); };
            floats["YScope"] = [pl] { return bitsOf(pl->YScope()); };
            if (p == "Style")
                EXPECT_EQ(pl->Style().contains(psTileTexture) ? "[psSingleQuad,psTileTexture]" : "[psSingleQuad]",
                          l.value),
                    ++checked;
            if (p == "XTiles") EXPECT_EQ(std::to_string(pl->XTiles()), l.value), ++checked;
            if (p == "NoZWrite") EXPECT_EQ(boolText(pl->NoZWrite()), l.value), ++checked;
        }
        if (auto* d = dynamic_cast<TGLDummyCube*>(o)) {
            floats["CubeSize"] = [d] { return bitsOf(d->CubeSize()); };
            floats["EdgeColor.Color"] = [d] { return bitsOf(d->EdgeColor().Color()); };
            if (p == "VisibleAtRunTime") EXPECT_EQ(boolText(d->VisibleAtRunTime()), l.value), ++checked;
        }
        if (auto* mi = dynamic_cast<TGLMirror*>(o)) {
            floats["Radius"] = [mi] { return bitsOf(mi->Radius()); };
            if (p == "MirrorOptions") EXPECT_TRUE(mi->MirrorOptions().empty()), ++checked;
            if (p == "Slices") EXPECT_EQ(std::to_string(mi->Slices()), l.value), ++checked;
            if (p == "MirrorObject") EXPECT_EQ("frmMain." + mi->MirrorObject()->Name(), l.value), ++checked;
        }
        if (auto* pt = dynamic_cast<TGLPoints*>(o)) {
            floats["Size"] = [pt] { return bitsOf(pt->Size()); };
            floats["PointParameters.MaxSize"] = [pt] { return bitsOf(pt->PointParameters().MaxSize()); };
            floats["PointParameters.DistanceAttenuation.Coordinates"] = [pt] {
                return bitsOf(pt->PointParameters().DistanceAttenuation().AsVector());
            };
        }
        if (auto* li = dynamic_cast<TGLLightSource*>(o)) {
            floats["Ambient.Color"] = [li] { return bitsOf(li->Ambient().Color()); };
            floats["Diffuse.Color"] = [li] { return bitsOf(li->Diffuse().Color()); };
            floats["Specular.Color"] = [li] { return bitsOf(li->Specular().Color()); };
            floats["ConstAttenuation"] = [li] { return bitsOf(li->ConstAttenuation()); };
            floats["SpotCutOff"] = [li] { return bitsOf(li->SpotCutOff()); };
            floats["SpotDirection.Coordinates"] = [li] { return bitsOf(li->SpotDirection().AsVector()); };
            if (p == "Shining") EXPECT_EQ(boolText(li->Shining()), l.value), ++checked;
            if (p == "LightStyle") EXPECT_EQ(li->LightStyle() == lsOmni ? "lsOmni" : "other", l.value), ++checked;
        }
        if (auto* ca = dynamic_cast<TGLCamera*>(o)) {
            floats["DepthOfView"] = [ca] { return bitsOf(ca->DepthOfView()); };
            floats["FocalLength"] = [ca] { return bitsOf(ca->FocalLength()); };
            floats["SceneScale"] = [ca] { return bitsOf(ca->SceneScale()); };
            floats["NearPlaneBias"] = [ca] { return bitsOf(ca->NearPlaneBias()); };
            if (p == "TargetObject") EXPECT_EQ("frmMain." + ca->TargetObject()->Name(), l.value), ++checked;
        }
        if (p == "Visible") EXPECT_EQ(boolText(o->Visible()), l.value), ++checked;
        if (p == "ShowAxes") EXPECT_EQ(boolText(o->ShowAxes()), l.value), ++checked;
        if (p == "Left") EXPECT_EQ(std::to_string(o->Left()), l.value), ++checked;
        if (p == "Top") EXPECT_EQ(std::to_string(o->Top()), l.value), ++checked;
        if (p == "#children") {
            std::string names;
            for (int i = 0; i < o->Count(); ++i) names += (i ? " " : "") + o->Child(i)->Name();
            EXPECT_EQ(names, l.value);
            ++checked;
        }
        if (auto it = floats.find(p); it != floats.end()) {
            EXPECT_EQ(it->second(), want);
            ++checked;
        }
    }
    EXPECT_GT(checked, 280);
}
