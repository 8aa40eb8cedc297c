#pragma once
// The GUI tests run the real window with its OpenGL viewer on an X server
// of their own: Xvfb picks a free display itself (-displayfd), so test
// programs running side by side never share or race for one.

#include "TestSupport.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora::test {

class VirtualDisplay : public ::testing::Environment {
public:
    static bool available() { return Available; }

    void SetUp() override
    {
        int fds[2];
        if (::pipe(fds) != 0) return;
        Pid = ::fork();
        if (Pid == 0) {
            ::close(fds[0]);
            // The server goes with the test program, and keeps none of its output pipes open.
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
            const std::string fd = std::to_string(fds[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x900x24", "-nolisten", "tcp",
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c;
        while (Pid > 0 && ::poll(&p, 1, 15000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        ::close(fds[0]);
        if (number.empty()) return;
        ::setenv("DISPLAY", (":" + number).c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        Available = true;
    }

    void TearDown() override
    {
        if (Pid > 0) {
            ::kill(Pid, SIGTERM);
            ::waitpid(Pid, nullptr, 0);
        }
    }

private:
    pid_t Pid = -1;
    static inline bool Available = false;
};

// Lets the toolkit and the X server catch up: `rounds` turns of the event
// loop, 10 ms apart.
inline void settle(int rounds = 10)
{
    for (int i = 0; i < rounds; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
}

// Saves a picture of the whole display as <VELMORA_SCREENSHOTS>/<name>.png
// when that names a folder; `settle` runs first, so the latest frame shows.
inline void displayScreenshot(const char* name, const std::function<void()>& settle)
{
    const char* dir = std::getenv("VELMORA_SCREENSHOTS");
    if (!dir) return;
    settle();
    const std::string command = std::string("import -window root ") + dir + "/" + name + ".png";
    EXPECT_TRUE(run(command)) << command;
}

// Skips (or, under CI, fails) a test when no virtual display could be started.
#define VELMORA_REQUIRE_DISPLAY()                                                                                      \
    VELMORA_REQUIRE(::velmora::test::VirtualDisplay::available(), "Xvfb could not be started")

} // namespace velmora::test
