#include "AppTestSupport.h"

#include "app/About.h"
#include "app/Help.h"
#include "app/Unit1.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QUrlQuery>

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace velmora {
namespace {

TEST(HelpAddressTest, FolderEncodingOfTheHelpAddress)
{
    EXPECT_EQ(encodeHelpFolder("C:\\Program Files\\Velmora\\"), "C%3A\\Program%20Files\\Velmora\\");
    EXPECT_EQ(compiledMouseHelpAddress("C:\\Program Files\\Velmora\\"),
              "mk:@MSITStore:C%3A\\Program%20Files\\Velmora\\Velmora.chm::/HTML/Docs/BasicUsage/UsingTheMouse.html");
    // Without special characters only ":" changes.
    EXPECT_EQ(encodeHelpFolder("D:\\Apps\\Velmora_2.1-beta\\"), "D%3A\\Apps\\Velmora_2.1-beta\\");
    EXPECT_EQ(encodeHelpFolder("*-.09@AZaz\\_"), "*-.09@AZaz\\_");
    // Every other byte, those from 128 up among them, as two upper-case digits.
    EXPECT_EQ(encodeHelpFolder("a/b+c%d#e~"), "a%2Fb%2Bc%25d%23e%7E");
    EXPECT_EQ(encodeHelpFolder("Caf\xc3\xa9\\"), "Caf%C3%A9\\");
    EXPECT_EQ(encodeHelpFolder(std::string("\x00\x7f\xff", 3)), "%00%7F%FF");
    EXPECT_EQ(encodeHelpFolder(""), "");
    // On Linux the folder separator is "/", and "\" is an ordinary byte.
    EXPECT_EQ(encodeHelpFolder("/opt/My Apps/v\\x/", '/'), "/opt/My%20Apps/v%5Cx/");
}

TEST(HelpAddressTest, HelpPageAddressesLeadBackToTheFile)
{
    for (const std::string folder : {"/usr/lib/velmora/", "/home/a b/Ünïcode [x]/#1?/"}) {
        const QUrl url = helpPageUrl(folder, kMouseHelpPage);
        ASSERT_TRUE(url.isValid()) << folder;
        EXPECT_EQ(url.scheme().toStdString(), "file");
        EXPECT_EQ(url.toLocalFile().toStdString(), folder + kMouseHelpPage);
    }
    EXPECT_EQ(helpPageUrl("/usr/lib/velmora/", kHelpContentsPage).toString().toStdString(),
              "file:///usr/lib/velmora/help/index.html");
}

TEST(HelpAddressTest, SupportMailHasTheSubject)
{
    const QUrl mail = supportMailUrl();
    EXPECT_EQ(mail.scheme().toStdString(), "mailto");
    EXPECT_EQ(mail.path().toStdString(), "support@velmora.example");
    EXPECT_EQ(QUrlQuery(mail).queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded).toStdString(),
              "Velmora Question");
    EXPECT_EQ(mail.toString(QUrl::FullyEncoded).toStdString(),
              "mailto:support@velmora.example?subject=Velmora%20Question");
}

// Records the addresses the program asks the desktop to open.
class HelpLinksTest : public ::testing::Test {
protected:
    HelpLinksTest()
    {
        test::testApp();
        saved = OpenUrlHandler;
        OpenUrlHandler = [this](const QUrl& u) { opened.push_back(u.toString().toStdString()); };
    }
    ~HelpLinksTest() override { OpenUrlHandler = saved; }
    void addPage(const std::string& page)
    {
        std::filesystem::create_directories(std::filesystem::path(folder + page).parent_path());
        test::writeFile(folder + page, "<html></html>");
    }
    // Near the top left corner, where a link label's text starts.
    static void click(QWidget* target) { test::click(target, QPointF(2, 2)); }

    std::function<void(const QUrl&)> saved;
    std::vector<std::string> opened;
    const test::ScratchDir scratch{"velmora-program"};
    const std::string folder = scratch.path.string() + "/";
};

TEST_F(HelpLinksTest, MissingHelpPagesDoNothing)
{
    TfrmMain w(folder, "/tmp/");
    test::TMessageBoxWatcher boxes;
    w.Contents1->trigger();
    click(w.Label29);
    QCoreApplication::processEvents();
    EXPECT_TRUE(opened.empty());
    EXPECT_TRUE(boxes.seen.empty());
}

TEST_F(HelpLinksTest, HelpMenuAndMouseLinkOpenTheirPages)
{
    addPage(kHelpContentsPage);
    addPage(kMouseHelpPage);
    TfrmMain w(folder, "/tmp/");
    EXPECT_EQ(w.Contents1->shortcut(), QKeySequence(Qt::Key_F1));
    w.Contents1->trigger();
    click(w.Label29);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], "file://" + folder + "help/index.html");
    EXPECT_EQ(opened[1], "file://" + folder + "help/HTML/Docs/BasicUsage/UsingTheMouse.html");
}

TEST_F(HelpLinksTest, WebAndMailLinksOpenTheirAddresses)
{
    TfrmMain w(folder, "/tmp/");
    w.OnlineSupportCenter1->trigger();
    w.EMailTechnicalSupport1->trigger();
    click(w.Label30);
    openStockPhotos();
    EXPECT_EQ(opened,
              (std::vector<std::string>{
                  "https://www.velmora.example/support/", "mailto:support@velmora.example?subject=Velmora Question",
                  "https://www.velmora.example/face-images/", "https://www.velmora.example/stock-photos/"}));
    // A failing desktop is not reported.
    OpenUrlHandler = [](const QUrl&) {};
    test::TMessageBoxWatcher boxes;
    w.OnlineSupportCenter1->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(boxes.seen.empty());
}

TEST_F(HelpLinksTest, AboutBoxTextsLinksAndClosing)
{
    TAboutBox about;
    EXPECT_EQ(about.windowTitle().toStdString(), "About");
    EXPECT_EQ(about.size(), QSize(498, 258));
    EXPECT_TRUE(about.windowFlags() & Qt::FramelessWindowHint);
    std::vector<std::string> texts;
    for (QLabel* l : about.findChildren<QLabel*>())
        if (!l->text().isEmpty()) texts.push_back(l->text().toStdString());
    EXPECT_EQ(texts,
              (std::vector<std::string>{"Velmora 2.1", "Build 012006-24", "Support", "support@velmora.example",
                                        "+1 (555) 010-2100", "Support Forum", "https://forum.velmora.example/"}));
    EXPECT_EQ(about.Label5->cursor().shape(), Qt::PointingHandCursor);

    about.show();
    click(about.Label5);
    click(about.Label8);
    EXPECT_TRUE(about.isVisible()) << "the links leave the box open";
    EXPECT_EQ(opened,
              (std::vector<std::string>{"mailto:support@velmora.example?subject=Velmora Question",
                                        "https://forum.velmora.example/"}));
    click(about.findChildren<QLabel*>().at(2)); // "Build 012006-24"
    EXPECT_FALSE(about.isVisible());
    about.show();
    click(about.Image1);
    EXPECT_FALSE(about.isVisible());
}

TEST_F(HelpLinksTest, AboutIsTheOneBoxOfTheRun)
{
    TfrmMain w(folder, "/tmp/");
    TAboutBox about(&w);
    AboutBox = &about;
    int shown = 0;
    for (int round = 0; round < 2; ++round)
        test::WhileModal([&] { w.About1->trigger(); },
                         [&](QWidget* m) {
                             EXPECT_EQ(m, &about);
                             ++shown;
                         });
    EXPECT_EQ(shown, 2);
    AboutBox = nullptr;
}

} // namespace
} // namespace velmora
