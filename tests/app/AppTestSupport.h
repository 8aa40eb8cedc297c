#pragma once
// Shared helpers of the widget tests: one application object for the whole
// test program, and a watcher that answers message boxes as a user would.

#include "app/Application.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace velmora::test {

// Widget tests run with a configuration folder of their own in which the tip
// window is switched off, so a shown main window never waits for it. Tests of
// the tip window point XDG_CONFIG_HOME elsewhere themselves.
inline void useQuietConfigFolder()
{
    static const bool done = [] {
        char templ[] = "/tmp/velmora-test-config-XXXXXX";
        if (!mkdtemp(templ)) return false;
        const std::string folder = std::string(templ) + "/Velmora";
        mkdir(folder.c_str(), 0700);
        if (FILE* f = std::fopen((folder + "/Velmora.INI").c_str(), "w")) {
            std::fputs("[Tips]\nStartup=0\n", f);
            std::fclose(f);
        }
        setenv("XDG_CONFIG_HOME", templ, 1);
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

} // namespace velmora::test
