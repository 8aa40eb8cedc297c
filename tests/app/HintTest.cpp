#include "AppTestSupport.h"

#include "app/Hint.h"
#include "app/ProgramIni.h"
#include "app/Unit1.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <vector>

namespace velmora {
namespace {

using test::TTempConfig;

class HintTest : public ::testing::Test {
protected:
    HintTest() { test::testApp(); }

    // Opens a tip window as the program does (activation on first show).
    std::unique_ptr<TfrmHint> open()
    {
        auto h = std::make_unique<TfrmHint>();
        h->show();
        QCoreApplication::processEvents();
        return h;
    }
    static std::string shown(TfrmHint& h) { return h.txtHint->toPlainText().toStdString(); }
    static std::string tip(int i) { return buildTipList().at(i).toStdString(); }

    TTempConfig config;
};

TEST_F(HintTest, TheThirteenTipsAreWordForWord)
{
    const QStringList tips = buildTipList();
    ASSERT_EQ(tips.size(), 13);
    EXPECT_EQ(tip(0), "To create a new box, simply click on the \"Create New Box\" button.");
    EXPECT_EQ(tip(5),
              "When you render the box shot, you can adjust the quality of the antialiasing using the "
              "\"Antialiasing Multiplyer\" slider.");
    EXPECT_EQ(tip(10), "Velmora 2.0 Scene files are now associated with the application itself.");
    EXPECT_EQ(tip(12),
              "The box dimensions are automatically pulled into the face editor.  However, you can create "
              "a face of any size by clicking File->New.");
    // Two blanks after the inner full stop of tips 1, 9 and 12 only.
    for (int i = 0; i < 13; ++i) EXPECT_EQ(tips[i].contains(QStringLiteral(".  ")), i == 1 || i == 9 || i == 12) << i;
}

TEST_F(HintTest, WindowAsDesigned)
{
    TfrmHint h;
    EXPECT_EQ(h.windowTitle().toStdString(), "Velmora - Tip Of The Day");
    EXPECT_EQ(h.size(), QSize(337, 175));
    EXPECT_EQ(h.txtHint->geometry(), QRect(8, 24, 161, 89));
    EXPECT_EQ(h.txtHint->focusPolicy() & Qt::TabFocus, 0);
    EXPECT_EQ(h.cbStartup->text().toStdString(), "Show Tips At Startup");
    EXPECT_EQ(h.cbStartup->layoutDirection(), Qt::RightToLeft);
    EXPECT_TRUE(h.cbStartup->isChecked());
    EXPECT_EQ(h.BitBtn1->text().toStdString(), "Previous Tip");
    EXPECT_EQ(h.BitBtn2->text().toStdString(), "   Next Tip    ");
    EXPECT_EQ(h.Button1->text().toStdString(), "Close");
    EXPECT_TRUE(h.Button1->isDefault());
    EXPECT_TRUE(h.windowFlags() & Qt::Tool);
}

TEST_F(HintTest, FirstRunShowsTipZeroCheckedAndClosingWritesBothKeys)
{
    ASSERT_FALSE(std::filesystem::exists(config.ini()));
    auto h = open();
    EXPECT_EQ(shown(*h), tip(0));
    EXPECT_TRUE(h->cbStartup->isChecked());
    h->Button1->click();
    EXPECT_FALSE(h->isVisible());
    EXPECT_EQ(config.read(), "[Tips]\r\nIndex=0\r\nStartup=1\r\n");
}

TEST_F(HintTest, EveryWayOfClosingStoresTheStateOnce)
{
    {
        auto h = open();
        h->BitBtn2->click();
        h->close(); // the close box
    }
    EXPECT_EQ(readProgramIniString("Tips", "Index", "?"), "1");
    {
        auto h = open();
        EXPECT_EQ(shown(*h), tip(1)); // the stored tip, not the next one
        h->BitBtn2->click();
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(h.get(), &esc);
        EXPECT_FALSE(h->isVisible());
    }
    EXPECT_EQ(readProgramIniString("Tips", "Index", "?"), "2");
    {
        auto h = open();
        h->BitBtn2->click();
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(h.get(), &enter); // Enter presses Close
        EXPECT_FALSE(h->isVisible());
    }
    EXPECT_EQ(readProgramIniString("Tips", "Index", "?"), "3");
}

TEST_F(HintTest, NextAndPreviousWrapOverTheThirteenTips)
{
    auto h = open();
    for (int i = 1; i <= 13; ++i) {
        h->BitBtn2->click();
        EXPECT_EQ(shown(*h), tip(i % 13)) << i;
    }
    EXPECT_EQ(TipIndex, 0);
    h->BitBtn1->click();
    EXPECT_EQ(TipIndex, 12);
    EXPECT_EQ(shown(*h), tip(12));
    h->BitBtn1->click();
    EXPECT_EQ(shown(*h), tip(11));
    h->close();
    EXPECT_EQ(readProgramIniString("Tips", "Index", "?"), "11");
}

TEST_F(HintTest, UncheckedStopsTheStartUpTipButF2StillShowsIt)
{
    {
        auto h = open();
        h->cbStartup->setChecked(false);
        h->Button1->click();
    }
    EXPECT_EQ(config.read(), "[Tips]\r\nIndex=0\r\nStartup=0\r\n");

    TfrmMain w(VELMORA_BIN_DIR "/", "/tmp/");
    std::vector<QWidget*> modal;
    test::WhileModal(
        [&] {
            w.show();
            for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
        },
        [&](QWidget* m) { modal.push_back(m); });
    EXPECT_TRUE(modal.empty()) << "no tip window at start-up";

    bool checked = true;
    std::string text;
    test::WhileModal([&] { w.TipOfTheDay1->trigger(); },
                     [&](QWidget* m) {
                         auto* h = dynamic_cast<TfrmHint*>(m);
                         ASSERT_NE(h, nullptr);
                         checked = h->cbStartup->isChecked();
                         text = shown(*h);
                     });
    EXPECT_FALSE(checked);
    EXPECT_EQ(text, tip(0));
    EXPECT_EQ(w.TipOfTheDay1->shortcut(), QKeySequence(Qt::Key_F2));
    w.hide();
}

TEST_F(HintTest, StartupThatIsNoIntegerMeansTrue)
{
    for (const char* value : {"yes", "", "1.5", "true"}) {
        config.write(std::string("[Tips]\nStartup=") + value + "\n");
        EXPECT_TRUE(readProgramIniBool("Tips", "Startup", true)) << value;
        auto h = open();
        EXPECT_TRUE(h->cbStartup->isChecked()) << value;
        h->close();
    }
    config.write("[Tips]\nStartup=0\n");
    EXPECT_FALSE(readProgramIniBool("Tips", "Startup", true));
    config.write("[Tips]\nStartup=-7\n");
    EXPECT_TRUE(readProgramIniBool("Tips", "Startup", false));
}

TEST_F(HintTest, DamagedIndexStartsOverAtTheFirstTipAndIsCorrectedOnClose)
{
    for (const char* value : {"abc", "13", "-1", "99999999999", "", "7x", "2147483647"}) {
        config.write(std::string("[Tips]\nIndex=") + value + "\nStartup=1\n");
        TipIndex = 5; // whatever an earlier showing left
        auto h = open();
        EXPECT_EQ(shown(*h), tip(0)) << value;
        EXPECT_EQ(TipIndex, 0) << value;
        h->BitBtn1->click(); // the usual rules from there on
        EXPECT_EQ(shown(*h), tip(12)) << value;
        h->BitBtn2->click();
        h->close();
        EXPECT_EQ(readProgramIniString("Tips", "Index", "?"), "0") << value;
    }
    config.write("[Tips]\nIndex=12\n");
    auto h = open();
    EXPECT_EQ(shown(*h), tip(12));
    h->close();
}

TEST_F(HintTest, OtherSectionsOfTheFileAreKept)
{
    config.write("[Other]\nKey=Value\n\n[Tips]\nIndex=4\nStartup=1\n");
    auto h = open();
    EXPECT_EQ(shown(*h), tip(4));
    h->BitBtn2->click();
    h->close();
    EXPECT_EQ(config.read(), "[Other]\r\nKey=Value\r\n\r\n[Tips]\r\nIndex=5\r\nStartup=1\r\n");
}

TEST_F(HintTest, BadSettingsFilesGiveTheDefaultsAndNeverFail)
{
    // Not INI text at all.
    config.write(std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe[Tips\nIndex", 30));
    {
        auto h = open();
        EXPECT_EQ(shown(*h), tip(0));
        EXPECT_TRUE(h->cbStartup->isChecked());
        h->close();
    }
    EXPECT_EQ(readProgramIniString("Tips", "Index", "?"), "0");

    // Far too large to be ours: read as empty, replaced on the next write.
    config.write("[Tips]\nIndex=3\nStartup=0\n" + std::string(2 << 20, ';'));
    EXPECT_TRUE(readProgramIniBool("Tips", "Startup", true));
    EXPECT_EQ(readProgramIniString("Tips", "Index", "0"), "0");

    // The settings file is a folder.
    std::filesystem::remove(config.ini());
    std::filesystem::create_directories(config.ini());
    {
        auto h = open();
        EXPECT_EQ(shown(*h), tip(0));
        h->BitBtn2->click();
        h->close(); // cannot be written; nothing is reported
    }
    EXPECT_FALSE(writeProgramIniString("Tips", "Index", "1"));
    std::filesystem::remove_all(config.ini());

    // The configuration folder cannot be made: a file stands in its place.
    std::filesystem::remove_all(config.folder());
    std::ofstream(config.folder()) << "not a folder";
    {
        auto h = open();
        EXPECT_TRUE(h->cbStartup->isChecked());
        h->close();
    }
    EXPECT_FALSE(writeProgramIniBool("Tips", "Startup", false));
    EXPECT_TRUE(std::filesystem::is_regular_file(config.folder()));
}

TEST_F(HintTest, ConfigurationFolderFollowsXdgRules)
{
    EXPECT_EQ(programIniPath(), config.Root / "Velmora" / "Velmora.INI");
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("XDG_CONFIG_HOME", "relative/folder", 1); // only absolute paths count
    if (!home.empty()) EXPECT_EQ(programIniPath(), std::filesystem::path(home) / ".config/Velmora/Velmora.INI");
    unsetenv("XDG_CONFIG_HOME");
    if (!home.empty()) EXPECT_EQ(programIniPath(), std::filesystem::path(home) / ".config/Velmora/Velmora.INI");
    unsetenv("HOME");
    EXPECT_TRUE(programIniPath().empty());
    EXPECT_TRUE(readProgramIniBool("Tips", "Startup", true));
    EXPECT_FALSE(writeProgramIniBool("Tips", "Startup", false));
    if (!home.empty()) setenv("HOME", home.c_str(), 1);
}

TEST_F(HintTest, StartUpTipAppearsOverTheMainWindowBeforeTheCommandLineScene)
{
    config.write("[Tips]\nStartup=1\n");
    TfrmMain w(VELMORA_BIN_DIR "/", "/tmp/");
    std::vector<std::string> order;
    w.model().OpenScene = [&](const std::string&, int) { order.push_back("open"); };
    w.setStartupScene("/tmp/start.vlm");
    QWidget* parent = nullptr;
    QPoint centre;
    test::WhileModal(
        [&] {
            w.show();
            for (int i = 0; i < 20 && order.size() < 2; ++i) QCoreApplication::processEvents();
        },
        [&](QWidget* m) {
            if (dynamic_cast<TfrmHint*>(m)) {
                order.push_back("tip");
                parent = m->parentWidget();
                centre = m->frameGeometry().center();
            }
        });
    ASSERT_EQ(order, (std::vector<std::string>{"tip", "open"}));
    EXPECT_EQ(parent, &w);
    EXPECT_LE((centre - w.frameGeometry().center()).manhattanLength(), 2);
    // Closing it wrote the settings; a second showing of the window asks nothing.
    EXPECT_EQ(readProgramIniString("Tips", "Startup", "?"), "1");
    int more = 0;
    test::WhileModal(
        [&] {
            w.hide();
            w.show();
            for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
        },
        [&](QWidget*) { ++more; });
    EXPECT_EQ(more, 0);
    w.hide();
}

TEST_F(HintTest, NoStartUpTipWhenSwitchedOff)
{
    config.write("[Tips]\nIndex=3\nStartup=0\n");
    TfrmMain w(VELMORA_BIN_DIR "/", "/tmp/");
    int modal = 0;
    test::WhileModal(
        [&] {
            w.show();
            for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
        },
        [&](QWidget*) { ++modal; });
    EXPECT_EQ(modal, 0);
    EXPECT_EQ(config.read(), "[Tips]\nIndex=3\nStartup=0\n"); // reading never writes
    w.hide();
}

} // namespace
} // namespace velmora
