#include "AppTestSupport.h"

#include "app/Help.h"
#include "app/Unit1.h"
#include "box/BoxScene.h"
#include "faceeditor/FaceEditor.h"
#include "pictures/Picture.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace velmora {
namespace {

class FaceEditorHandOff : public ::testing::Test {
protected:
    FaceEditorHandOff()
    {
        test::testApp();
        w = std::make_unique<TfrmMain>(VELMORA_BIN_DIR "/", work.string() + "/");
        w->New1Click();
    }
    ~FaceEditorHandOff() override { w.reset(); }
    TGLTexture& texture(TBoxFace f) { return w->model().boxScene()->facePlane(f)->Material().Texture(); }
    void clickNew(const char* name) { w->findChild<QPushButton*>(QString::fromUtf8(name))->click(); }

    const test::ScratchDir scratch{"velmora-handoff"};
    const std::filesystem::path& work = scratch.path;
    std::unique_ptr<TfrmMain> w;
};

TEST_F(FaceEditorHandOff, CancellingLeavesTheFaceAndNoWorkingFile)
{
    test::TMessageBoxWatcher watcher;
    const TGraphic* before = texture(TBoxFace::Front).PictureImage().Picture()->Graphic();
    int sizeW = 0, sizeH = 0;
    w->RunFaceEditor = [&](TfrmFaceEditor& editor) {
        sizeW = editor.FaceWidth;
        sizeH = editor.FaceHeight;
        editor.AskAddToBox = [] { return QMessageBox::No; };
        editor.show();
        editor.btnCancel->click();
    };
    clickNew("btnNewFrontFace");
    EXPECT_EQ(sizeW, 919);
    EXPECT_EQ(sizeH, 1124);
    EXPECT_EQ(texture(TBoxFace::Front).PictureImage().Picture()->Graphic(), before);
    EXPECT_FALSE(std::filesystem::exists(work / "Face.bmp"));
    EXPECT_TRUE(watcher.seen.empty());
}

TEST_F(FaceEditorHandOff, DonePutsTheEditorsFaceOnTheBox)
{
    w->RunFaceEditor = [&](TfrmFaceEditor& editor) {
        editor.show();
        editor.btnDone->click();
    };
    clickNew("btnNewLeftFace");
    TPicture& left = *texture(TBoxFace::Left).PictureImage().Picture();
    EXPECT_EQ(left.Width(), 304);
    EXPECT_EQ(left.Height(), 1124);
    EXPECT_FALSE(texture(TBoxFace::Left).Disabled());
    EXPECT_FALSE(std::filesystem::exists(work / "Face.bmp"));
}

TEST_F(FaceEditorHandOff, HelpEntriesRunTheMainWindowsCommands)
{
    std::vector<QUrl> opened;
    const auto keep = OpenUrlHandler;
    OpenUrlHandler = [&](const QUrl& url) { opened.push_back(url); };
    w->RunFaceEditor = [&](TfrmFaceEditor& editor) {
        editor.show();
        editor.OnlineSupportCenter1->trigger();
        editor.EMailTechnicalSupport1->trigger();
        emit editor.Label9->linkActivated(QStringLiteral("stock"));
        editor.AskAddToBox = [] { return QMessageBox::No; };
        editor.close();
    };
    clickNew("btnNewTopFace");
    OpenUrlHandler = keep;
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[0], QUrl(QString::fromLatin1(kOnlineSupportAddress)));
    EXPECT_EQ(opened[1], supportMailUrl());
    EXPECT_EQ(opened[2], QUrl(QString::fromLatin1(kStockPhotosAddress)));
}

} // namespace
} // namespace velmora
