#pragma once
// A configuration folder of one test: XDG_CONFIG_HOME points into a fresh
// temporary folder while the object lives, and the tip window starts the run
// over at tip 0.

#include "AppTestSupport.h"

#include "app/Hint.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <unistd.h>

namespace velmora::test {

class TTempConfig {
public:
    TTempConfig()
    {
        testApp(); // first, so its own quiet folder does not replace this one
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) Previous = old, HadPrevious = true;
        char templ[] = "/tmp/velmora-config-XXXXXX";
        Root = mkdtemp(templ);
        setenv("XDG_CONFIG_HOME", Root.c_str(), 1);
        TipIndex = 0;
    }
    ~TTempConfig()
    {
        if (HadPrevious)
            setenv("XDG_CONFIG_HOME", Previous.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        std::error_code ec;
        std::filesystem::permissions(Root, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(Root, ec);
    }

    std::filesystem::path folder() const { return Root / "Velmora"; }
    std::filesystem::path ini() const { return folder() / "Velmora.INI"; }

    void write(const std::string& text) const
    {
        std::filesystem::create_directories(folder());
        std::ofstream(ini(), std::ios::binary) << text;
    }
    std::string read() const
    {
        std::ifstream in(ini(), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::filesystem::path Root;

private:
    std::string Previous;
    bool HadPrevious = false;
};

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

} // namespace velmora::test
