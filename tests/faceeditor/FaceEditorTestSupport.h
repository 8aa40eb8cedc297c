#pragma once
// Helpers of the face editor's window and dialog tests: one application object
// shared by every test of the program, hand-written picture files, answering
// modal dialogs, and waiting on the event loop (scratch folders and files come
// from TestSupport.h).

#include "TestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace velmora::test {

inline QApplication& dialogTestApp()
{
    static int argc = 1;
    static char name[] = "tests_faceeditor";
    static char* argv[] = {name, nullptr};
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return *existing;
    // Listing the tests happens without the test environment, and maybe without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// Widgets need a QApplication, and other tests of this program may start a
// plain QGuiApplication for fonts on first use; making ours before any test
// runs keeps the program to one application object of the right kind.
inline const bool DialogTestAppReady = (dialogTestApp(), true);

// Runs the event loop until `done` holds or the time is up.
inline bool waitUntil(const std::function<bool()>& done, int milliseconds = 20000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > milliseconds) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Accepts the message box that shows on the event loop's next turn (inside a
// modal exec the box starts), noting that there was one.
inline void acceptMessageBoxSoon(bool& reported)
{
    QTimer::singleShot(0, [&reported] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            reported = true;
            box->accept();
        }
    });
}

// Answers the next modal dialog of type D with `answer` once it shows.
template <class D> void answerNextDialog(const std::function<void(D&)>& answer)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (auto* d = qobject_cast<D*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            answer(*d);
        }
    });
    timer->start();
}

// A key press (no release) sent straight to the widget.
inline void pressKey(QWidget* w, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
}

// A 24-bit bottom-up BMP whose pixel (x, y) has the colour of `rgb`.
inline void writeBmp24(const std::string& file, int w, int h, const std::function<std::uint32_t(int, int)>& rgb = {})
{
    const int stride = (w * 3 + 3) & ~3;
    std::vector<std::uint8_t> b(54 + std::size_t(stride) * h, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = std::uint8_t(v >> (8 * i));
    };
    b[0] = 'B', b[1] = 'M';
    put32(2, std::uint32_t(b.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, std::uint32_t(w));
    put32(22, std::uint32_t(h));
    b[26] = 1;
    b[28] = 24;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = rgb ? rgb(x, y) : 0x336699u;
            std::uint8_t* p = &b[54 + std::size_t(h - 1 - y) * stride + std::size_t(x) * 3];
            p[0] = std::uint8_t(c), p[1] = std::uint8_t(c >> 8), p[2] = std::uint8_t(c >> 16);
        }
    writeFile(file, b);
}

// Saves a picture of the widget when VELMORA_SCREENSHOTS names a folder.
inline void saveScreenshot(QWidget& w, const char* name)
{
    const char* dir = std::getenv("VELMORA_SCREENSHOTS");
    if (!dir || !*dir) return;
    w.grab().save(QString::fromStdString((std::filesystem::path(dir) / name).string()));
    // Keeps the window on screen a while, for a picture of the whole display.
    if (const char* hold = std::getenv("VELMORA_SCREENSHOT_HOLD_MS")) waitUntil([] { return false; }, std::atoi(hold));
}

} // namespace velmora::test
