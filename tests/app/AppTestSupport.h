#pragma once
// Shared helpers of the window and command-line tests: one application object
// for the whole test program, a configuration folder per test, a watcher that
// answers message boxes as a user would, answering any modal window, clicks,
// and running the command line in-process.

#include "TestSupport.h"
#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/Hint.h"

#include <QApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace velmora::test {

// Widget tests run with a configuration folder of their own in which the tip
// window is switched off, so a shown main window never waits for it. Tests of
// the tip window point XDG_CONFIG_HOME elsewhere themselves.
inline void useQuietConfigFolder()
{
    static const ScratchDir root("velmora-test-config");
    static const bool done = [] {
        std::filesystem::create_directories(root.path / "Velmora");
        writeFile(root.path / "Velmora" / "Velmora.INI", "[Tips]\nStartup=0\n");
        setenv("XDG_CONFIG_HOME", root.path.c_str(), 1);
        return true;
    }();
    (void)done;
}

inline TApplication& testApp()
{
    useQuietConfigFolder();
    static int argc = 1;
    static char name[] = "tests_app";
    static char* argv[] = {name, nullptr};
    static TApplication* app = new TApplication(argc, argv);
    return *app;
}

// Closes every message box that opens while it lives, remembering title and text.
class TMessageBoxWatcher {
public:
    struct Seen {
        std::string title, text;
    };

    TMessageBoxWatcher()
    {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            seen.push_back({box->windowTitle().toStdString(), box->text().toStdString()});
            box->done(QMessageBox::Ok);
        });
        timer.start();
    }

    std::vector<Seen> seen;

private:
    QTimer timer;
};

// A configuration folder of one test: XDG_CONFIG_HOME points into a fresh
// temporary folder while the object lives, and the tip window starts the run
// over at tip 0.
class TTempConfig {
public:
    TTempConfig()
    {
        testApp(); // first, so its own quiet folder does not replace this one
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) Previous = old, HadPrevious = true;
        setenv("XDG_CONFIG_HOME", Root.c_str(), 1);
        TipIndex = 0;
    }
    ~TTempConfig()
    {
        if (HadPrevious)
            setenv("XDG_CONFIG_HOME", Previous.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }

    std::filesystem::path folder() const { return Root / "Velmora"; }
    std::filesystem::path ini() const { return folder() / "Velmora.INI"; }

    void write(const std::string& text) const
    {
        std::filesystem::create_directories(folder());
        writeFile(ini(), text);
    }
    std::string read() const { return readText(ini()); }

    ScratchDir Scratch{"velmora-config"};
    const std::filesystem::path& Root = Scratch.path;

private:
    std::string Previous;
    bool HadPrevious = false;
};

// One run of the command line in this process, with what it printed.
struct CliRun {
    TCommandLine result;
    std::string out, err;
};

inline CliRun runCli(const std::vector<std::string>& args, const std::string& version = "test")
{
    std::ostringstream out, err;
    CliRun r{runCommandLine(args, out, err, version), "", ""};
    r.out = out.str();
    r.err = err.str();
    return r;
}

// Runs `inspect` on every modal window that opens while `trigger` runs, then
// closes it, so a modal exec returns. Gives up after timeoutMs.
inline void WhileModal(const std::function<void()>& trigger, const std::function<void(QWidget*)>& inspect,
                       int timeoutMs = 5000)
{
    QTimer poll;
    QWidget* lastSeen = nullptr;
    int waited = 0;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        waited += 5;
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && waited > timeoutMs) poll.stop();
        if (!modal || modal == lastSeen) return;
        lastSeen = modal;
        inspect(modal);
        modal->close();
    });
    poll.start();
    trigger();
}

// A left click at `at` in the widget (its middle by default), as the toolkit
// delivers it.
inline void click(QWidget* target, std::optional<QPointF> at = std::nullopt)
{
    const QPointF p = at ? *at : QPointF(target->width() / 2.0, target->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, p, target->mapToGlobal(p), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, p, target->mapToGlobal(p), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    QCoreApplication::sendEvent(target, &release);
}

} // namespace velmora::test
