#include "BoxTestSupport.h"

#include "box/SceneFiles.h"
#include "files/SceneBinding.h"
#include "pictures/Picture.h"

#include <zip.h>

namespace velmora {
namespace {

using test::BoxModelTest;

struct SceneSettingsTest : BoxModelTest {
    bool mirrorShown() { return scene().GLMirror1->Visible(); }
    bool shadowShown() { return scene().GLDropShadow->Visible(); }
    void expectReflectionOnly()
    {
        EXPECT_TRUE(m.cbReflection.checked());
        EXPECT_FALSE(m.cbDropShadow.checked());
        EXPECT_TRUE(mirrorShown());
        EXPECT_FALSE(shadowShown());
        EXPECT_TRUE(m.tbReflectionOpacity.enabled());
        EXPECT_FALSE(m.tbDropShadowWidth.enabled());
        EXPECT_FALSE(m.tbDropShadowHeight.enabled());
        EXPECT_FALSE(m.btnRefreshShadow.enabled());
    }
    void expectShadowOnly()
    {
        EXPECT_FALSE(m.cbReflection.checked());
        EXPECT_TRUE(m.cbDropShadow.checked());
        EXPECT_FALSE(mirrorShown());
        EXPECT_TRUE(shadowShown());
        EXPECT_FALSE(m.tbReflectionOpacity.enabled());
        EXPECT_TRUE(m.tbDropShadowWidth.enabled());
        EXPECT_TRUE(m.tbDropShadowHeight.enabled());
        EXPECT_TRUE(m.btnRefreshShadow.enabled());
    }
    void expectNeither()
    {
        EXPECT_FALSE(m.cbReflection.checked());
        EXPECT_FALSE(m.cbDropShadow.checked());
        EXPECT_FALSE(mirrorShown());
        EXPECT_FALSE(shadowShown());
        EXPECT_FALSE(m.tbReflectionOpacity.enabled());
        EXPECT_FALSE(m.tbDropShadowWidth.enabled());
    }
    TGLColor& floorAmbient() { return scene().GLMirror1->Material().FrontProperties().Ambient(); }
    float floorAlpha() { return scene().GLMirror1->Material().FrontProperties().Diffuse().Alpha(); }
};

void expectColor(const TGLColor& c, float r, float g, float b, float a)
{
    EXPECT_FLOAT_EQ(c.Red(), r);
    EXPECT_FLOAT_EQ(c.Green(), g);
    EXPECT_FLOAT_EQ(c.Blue(), b);
    EXPECT_FLOAT_EQ(c.Alpha(), a);
}

TEST_F(SceneSettingsTest, ReflectionAndDropShadowExcludeEachOther)
{
    expectReflectionOnly();
    m.cbDropShadow.setChecked(true);
    expectShadowOnly();
    m.cbReflection.setChecked(true);
    expectReflectionOnly();
    m.cbReflection.setChecked(false);
    expectNeither();
    m.cbDropShadow.setChecked(true);
    expectShadowOnly();
    m.cbDropShadow.setChecked(false);
    expectNeither();
    m.cbReflection.setChecked(true);
    expectReflectionOnly();
}

TEST_F(SceneSettingsTest, SwitchesWorkTheSameAfterNew)
{
    m.cbDropShadow.setChecked(true);
    m.New1Click(); // a reset New: the tab and the objects' visibility stay
    expectShadowOnly();
    m.cbReflection.setChecked(true);
    expectReflectionOnly();
    m.cbReflection.setChecked(false);
    m.New1Click();
    expectNeither();
    m.cbDropShadow.setChecked(true);
    expectShadowOnly();
    // New sets a black background and floor but leaves the tab alone.
    expectColor(floorAmbient(), 0, 0, 0, 0);
    EXPECT_EQ(scene().backgroundColor(), 0u);
}

TEST_F(SceneSettingsTest, OpacitySliderSetsTheFloorSurfaceAlpha)
{
    EXPECT_FLOAT_EQ(floorAlpha(), 0.5f);
    m.tbReflectionOpacity.setPosition(0);
    EXPECT_FLOAT_EQ(floorAlpha(), 1.0f); // the reflection is covered
    m.tbReflectionOpacity.setPosition(10);
    EXPECT_FLOAT_EQ(floorAlpha(), 0.0f); // shown at full strength
    m.tbReflectionOpacity.setPosition(3);
    EXPECT_FLOAT_EQ(floorAlpha(), 0.7f);
    m.tbReflectionOpacity.setPosition(-4); // clamped to 0
    EXPECT_FLOAT_EQ(floorAlpha(), 1.0f);
}

TEST_F(SceneSettingsTest, DropShadowSlidersAtTheEndsGiveATenthOrThreeTenthsMore)
{
    m.tbBoxWidth.setPosition(60);
    m.tbBoxHeight.setPosition(90);
    m.tbDropShadowWidth.setPosition(0);
    EXPECT_FLOAT_EQ(scene().GLDropShadow->Scale().Y(), float(0.6f + 0.1));
    m.tbDropShadowWidth.setPosition(10);
    EXPECT_FLOAT_EQ(scene().GLDropShadow->Scale().Y(), float(0.6f + 0.3));
    m.tbDropShadowHeight.setPosition(0);
    EXPECT_FLOAT_EQ(scene().GLDropShadow->Scale().X(), float(0.9f + 0.1));
    m.tbDropShadowHeight.setPosition(10);
    EXPECT_FLOAT_EQ(scene().GLDropShadow->Scale().X(), float(0.9f + 0.3));
    // The box sliders keep using the shadow sliders.
    m.tbBoxWidth.setPosition(40);
    EXPECT_FLOAT_EQ(scene().GLDropShadow->Scale().Y(), float(0.4 + 0.3));
}

TEST_F(SceneSettingsTest, RedBackgroundTintsTheFloorAndResetMakesBothWhite)
{
    colorAnswer = 0x0000FF; // pure red: red in the low byte
    m.btnChangeBackroundColor.click();
    EXPECT_EQ(scene().backgroundColor(), 0x0000FFu);
    expectColor(floorAmbient(), 1, 0, 0, 0);
    // The dialog opened on black the first time and on the last choice next.
    colorAnswer.reset();
    m.btnChangeBackroundColor.click();
    ASSERT_EQ(colorDialogOpenedWith.size(), 2u);
    EXPECT_EQ(colorDialogOpenedWith[0], 0u);
    EXPECT_EQ(colorDialogOpenedWith[1], 0x0000FFu);
    EXPECT_EQ(scene().backgroundColor(), 0x0000FFu); // cancelled: unchanged

    colorAnswer = 0x804020; // each byte over 255
    m.btnChangeBackroundColor.click();
    expectColor(floorAmbient(), float(0x20 / 255.0), float(0x40 / 255.0), float(0x80 / 255.0), 0);

    m.Button3.click();
    EXPECT_EQ(scene().backgroundColor(), 0xFFFFFFu);
    expectColor(floorAmbient(), 1, 1, 1, 0);
    EXPECT_EQ(m.ColorDialog1Color, 0x804020u); // Reset does not touch the dialog
}

TEST_F(SceneSettingsTest, PointOfFocusFollowsItsCheckBox)
{
    EXPECT_FALSE(scene().GLPoints1->Visible());
    m.cbAxes.setChecked(true);
    EXPECT_TRUE(scene().GLPoints1->Visible());
    m.cbAxes.setChecked(false);
    EXPECT_FALSE(scene().GLPoints1->Visible());
}

TEST_F(SceneSettingsTest, OtherBoxTypesOnlyEnableTheDependentControls)
{
    m.BoxType = 0;
    m.cbDropShadow.setChecked(true);
    // Both boxes checked: nothing unchecks the reflection while reading settings.
    EXPECT_TRUE(m.cbReflection.checked());
    EXPECT_TRUE(m.tbDropShadowWidth.enabled());
    EXPECT_TRUE(m.btnRefreshShadow.enabled());
    EXPECT_FALSE(shadowShown());
    m.cbReflection.setChecked(false);
    EXPECT_FALSE(m.tbReflectionOpacity.enabled());
    EXPECT_TRUE(mirrorShown());
    m.cbAxes.setChecked(true);
    EXPECT_FALSE(scene().GLPoints1->Visible());
    m.tbReflectionOpacity.setPosition(0);
    EXPECT_FLOAT_EQ(floorAlpha(), 0.5f);
    m.tbDropShadowWidth.setPosition(10);
    EXPECT_FLOAT_EQ(scene().GLDropShadow->Scale().Y(), 1.0f);
    colorAnswer = 0xFF;
    m.btnChangeBackroundColor.click();
    EXPECT_TRUE(colorDialogOpenedWith.empty());
    const TVector cam = scene().GLCamera1->WorldPosition();
    m.btnRefreshScene.click();
    EXPECT_EQ(scene().GLCamera1->WorldPosition(), cam);
    m.Button3.click();
    EXPECT_EQ(scene().backgroundColor(), 0xFFFFFFu); // untouched: the first New kept white
}

TEST_F(SceneSettingsTest, RefreshSceneNudgesTheCameraAndPutsItBack)
{
    TGLCamera* cam = scene().GLCamera1;
    const TVector before = cam->WorldPosition();
    TVector during{};
    m.ProcessMessages = [&] {
        ++messageRuns;
        during = cam->WorldPosition();
    };
    m.btnRefreshScene.click();
    EXPECT_EQ(messageRuns, 1);
    EXPECT_EQ(sleeps, std::vector<int>{300});
    EXPECT_GT(test::distance(during, before), 0.1);
    EXPECT_NEAR(test::distance(cam->WorldPosition(), before), 0, 1e-5);

    // At the lower pitch limit the first move is cut: the camera ends higher.
    m.GLSceneViewer1MouseDown(mbLeft, ssLeft, 0, 0);
    m.GLSceneViewer1MouseMove(ssLeft, 0, -1000);
    const float z = cam->Position().Z();
    m.btnRefreshScene.click();
    EXPECT_LT(z, cam->Position().Z());
}

// A program folder of its own, so its shadow picture can be missing or damaged.
struct RefreshShadowTest : BoxModelTest {
    static std::string folder()
    {
        static const test::ScratchDir dir("velmora-program");
        static const std::string f = dir.path.string() + "/";
        return f;
    }
    RefreshShadowTest() : BoxModelTest(folder())
    {
        std::filesystem::create_directories(folder() + "Media");
        m.cbDropShadow.setChecked(true);
    }
    ~RefreshShadowTest() override { std::filesystem::remove_all(folder() + "Media"); }
    TGLTexture& texture() { return scene().GLDropShadow->Material().Texture(); }
    TPicture& picture() { return *texture().PictureImage().Picture(); }
};

TEST_F(RefreshShadowTest, AMissingPictureIsReportedAndTheShadowKeepsItsTexture)
{
    bool disabledWhileMessagesRan = false;
    m.ProcessMessages = [&] { disabledWhileMessagesRan = texture().Disabled(); };
    const TGraphic* before = picture().Graphic();
    m.btnRefreshShadow.click();
    EXPECT_TRUE(disabledWhileMessagesRan);
    EXPECT_EQ(messages, std::vector<std::string>{"Unable to find drop shadow texture..."});
    EXPECT_FALSE(texture().Disabled());
    EXPECT_EQ(picture().Graphic(), before);
}

TEST_F(RefreshShadowTest, ADamagedPictureFailsAndLeavesTheTextureOff)
{
    test::writeFile(folder() + "Media/Shadow.tga", "not a targa");
    EXPECT_ANY_THROW(m.btnRefreshShadow.click());
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(texture().Disabled());
    // The program goes on: the next refresh with a good picture loads it.
    std::filesystem::copy_file(test::resourcesFolder() + "Media/Shadow.tga", folder() + "Media/Shadow.tga",
                               std::filesystem::copy_options::overwrite_existing);
    m.btnRefreshShadow.click();
    EXPECT_FALSE(texture().Disabled());
    ASSERT_NE(picture().Graphic(), nullptr);
    EXPECT_STREQ(picture().Graphic()->ClassName(), "TTGAImage");
    EXPECT_EQ(picture().Width(), 256);
}

} // namespace
} // namespace velmora

namespace velmora {
namespace {

// The tab's switches and sliders go into a scene archive and come back from
// it exactly, with their dependent controls enabled to match.
struct SettingsArchiveTest : test::BoxModelTest {
    SettingsArchiveTest() { installSceneFiles(m); }
    const test::ScratchDir scratch{"velmora-settings-archive"};
    const std::filesystem::path& dir = scratch.path;
};

TEST_F(SettingsArchiveTest, ReflectionOpacityAndPointOfFocusComeBack)
{
    m.tbReflectionOpacity.setPosition(3);
    m.cbAxes.setChecked(true);
    m.tbDropShadowWidth.setPosition(2);
    m.tbDropShadowHeight.setPosition(8);
    const std::string file = (dir / "reflection.vlm").string();
    m.Save1Click(file, 1);

    // Everything switched the other way before opening.
    m.cbDropShadow.setChecked(true);
    m.cbAxes.setChecked(false);
    m.tbReflectionOpacity.setPosition(9);
    m.tbDropShadowWidth.setPosition(5);
    m.tbDropShadowHeight.setPosition(5);
    m.Open1Click(file, 1);
    box = m.boxScene();

    EXPECT_EQ(m.BoxType, 1u);
    EXPECT_TRUE(m.cbReflection.checked());
    EXPECT_FALSE(m.cbDropShadow.checked());
    EXPECT_TRUE(m.tbReflectionOpacity.enabled());
    EXPECT_FALSE(m.tbDropShadowWidth.enabled());
    EXPECT_FALSE(m.btnRefreshShadow.enabled());
    EXPECT_EQ(m.tbReflectionOpacity.position(), 3);
    EXPECT_EQ(m.tbDropShadowWidth.position(), 2);
    EXPECT_EQ(m.tbDropShadowHeight.position(), 8);
    EXPECT_TRUE(m.cbAxes.checked());
    EXPECT_TRUE(box->GLMirror1->Visible());
    EXPECT_FALSE(box->GLDropShadow->Visible());
    EXPECT_TRUE(box->GLPoints1->Visible());
    EXPECT_FLOAT_EQ(box->GLMirror1->Material().FrontProperties().Diffuse().Alpha(), 0.7f);
    EXPECT_FLOAT_EQ(box->GLDropShadow->Scale().Y(), float(0.8f + 0.2 - 0.06));
    EXPECT_FLOAT_EQ(box->GLDropShadow->Scale().X(), float(1.0f + 0.2 + 0.06));

    // The handlers act on the opened scene again.
    m.cbDropShadow.setChecked(true);
    EXPECT_FALSE(m.cbReflection.checked());
    EXPECT_FALSE(box->GLMirror1->Visible());
    EXPECT_TRUE(box->GLDropShadow->Visible());
}

TEST_F(SettingsArchiveTest, ADropShadowOnARedBackgroundComesBack)
{
    m.cbDropShadow.setChecked(true);
    colorAnswer = 0x0000FF;
    m.btnChangeBackroundColor.click();
    const std::string file = (dir / "shadow.vlm").string();
    m.Save1Click(file, 1);

    m.cbReflection.setChecked(true);
    m.Button3.click();
    m.New1Click();
    m.Open1Click(file, 1);
    box = m.boxScene();

    EXPECT_FALSE(m.cbReflection.checked());
    EXPECT_TRUE(m.cbDropShadow.checked());
    EXPECT_FALSE(m.tbReflectionOpacity.enabled());
    EXPECT_TRUE(m.tbDropShadowWidth.enabled());
    EXPECT_TRUE(m.tbDropShadowHeight.enabled());
    EXPECT_TRUE(m.btnRefreshShadow.enabled());
    EXPECT_FALSE(box->GLMirror1->Visible());
    EXPECT_TRUE(box->GLDropShadow->Visible());
    EXPECT_EQ(box->backgroundColor(), 0x0000FFu);
    const TGLColor& a = box->GLMirror1->Material().FrontProperties().Ambient();
    EXPECT_FLOAT_EQ(a.Red(), 1);
    EXPECT_FLOAT_EQ(a.Green(), 0);
}

// Rewrites one member of an archive in place.
void replaceMember(const std::string& archive, const std::string& member, const std::string& data)
{
    int err = 0;
    zip_t* z = zip_open(archive.c_str(), 0, &err);
    ASSERT_TRUE(z);
    char* copy = static_cast<char*>(malloc(data.size() + 1));
    memcpy(copy, data.data(), data.size());
    ASSERT_GE(zip_file_add(z, member.c_str(), zip_source_buffer(z, copy, data.size(), 1), ZIP_FL_OVERWRITE), 0);
    ASSERT_EQ(zip_close(z), 0);
}

std::string readMember(const std::string& archive, const std::string& member)
{
    int err = 0;
    zip_t* z = zip_open(archive.c_str(), ZIP_RDONLY, &err);
    if (!z) return {};
    std::string text;
    if (zip_file_t* f = zip_fopen(z, member.c_str(), 0)) {
        char buf[4096];
        for (zip_int64_t n; (n = zip_fread(f, buf, sizeof buf)) > 0;) text.append(buf, std::size_t(n));
        zip_fclose(f);
    }
    zip_discard(z);
    return text;
}

TEST_F(SettingsArchiveTest, AnArchiveOfAnotherBoxTypeMakesTheControlsAndTheMouseInert)
{
    const std::string file = (dir / "typed.vlm").string();
    m.Save1Click(file, 1);
    std::string ini = readMember(file, "Scene.ini");
    const auto at = ini.find("Type=1");
    ASSERT_NE(at, std::string::npos);
    ini.replace(at, 6, "Type=2");
    replaceMember(file, "Scene.ini", ini);

    m.Open1Click(file, 1);
    box = m.boxScene();
    ASSERT_EQ(m.BoxType, 2u);
    const auto before = saveSceneToStream(*box->sceneGraph());
    const std::uint32_t background = box->backgroundColor();

    // Every control of the tabs...
    m.btnCD.click();
    m.tbBoxDepth.setPosition(50);
    m.cbDropShadow.setChecked(true);
    m.tbDropShadowWidth.setPosition(9);
    m.tbReflectionOpacity.setPosition(1);
    m.cbAxes.setChecked(true);
    colorAnswer = 0x00FF00;
    m.btnChangeBackroundColor.click();
    m.Button3.click();
    m.btnRefreshShadow.click();
    m.btnRefreshScene.click();
    pictureAnswer = test::resourcesFolder() + "Faces/Side.jpg";
    m.Front1Click();
    // ...and every mouse navigation and key.
    for (TShiftState s :
         {TShiftState(ssLeft), ssLeft | ssShift, ssLeft | ssCtrl, TShiftState(ssRight), ssRight | ssShift}) {
        m.GLSceneViewer1MouseDown(s & ssLeft ? mbLeft : mbRight, s, 100, 100);
        m.GLSceneViewer1MouseMove(s, 160, 20);
    }
    bool handled = false;
    m.FormMouseWheel(0, 360, 0, 0, handled);
    unsigned short key = VK_UP;
    m.FormKeyDown(key, 0);

    EXPECT_TRUE(saveSceneToStream(*box->sceneGraph()) == before);
    EXPECT_EQ(box->backgroundColor(), background);
    EXPECT_EQ(pictureDialogRuns, 0);
    EXPECT_TRUE(colorDialogOpenedWith.empty());
    // The labels and the dependent controls still follow their controls.
    EXPECT_EQ(m.lblBoxDepth.caption(), "50");
    EXPECT_TRUE(m.tbDropShadowWidth.enabled());
}

} // namespace
} // namespace velmora
