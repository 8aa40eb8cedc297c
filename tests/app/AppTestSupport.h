#pragma once
// Shared helpers of the widget tests: one application object for the whole
// test program, and a watcher that answers message boxes as a user would.

#include "app/Application.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <string>
#include <vector>

namespace velmora::test {

inline TApplication& testApp()
{
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
