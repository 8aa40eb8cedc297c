// Opening a folder of 50 photos of 4000 x 3000 in "Select Background Image":
// how soon the rows show, how long until every thumbnail is there, and the
// longest time the window's event loop went without running (the input lag a
// user would feel). Side by side with reading every thumbnail on the window's
// own thread, which is what the window must not do. Rounds are interleaved;
// minimum and median are reported. The two ways must give the same pixels.
//
//   nice build/bin/bench_browser_bench [rounds]

#include "BenchTiming.h"
#include "faceeditor/BackgroundImage.h"
#include "faceeditor/BackgroundImageModel.h"
#include "output/JpegWriter.h"
#include "pictures/Picture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;
using namespace velmora;

namespace {

constexpr int Pictures = 50;
constexpr int PW = 4000, PH = 3000;

fs::path makeFolder()
{
    const fs::path dir = fs::temp_directory_path() / ("velmora-browser-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    // One photo-like picture, copied: every file costs a full decode all the same.
    std::vector<std::uint8_t> rgb(std::size_t(PW) * PH * 3);
    for (int y = 0; y < PH; ++y)
        for (int x = 0; x < PW; ++x) {
            std::uint8_t* p = &rgb[(std::size_t(y) * PW + x) * 3];
            p[0] = std::uint8_t((x >> 4) + ((x * y) >> 14 & 15));
            p[1] = std::uint8_t((y >> 4) ^ (x >> 7));
            p[2] = std::uint8_t(((x + y) >> 5) + ((x ^ y) & 7));
        }
    const fs::path first = dir / "photo00.jpg";
    saveJpegFile(first.string(), TRgbRows{rgb.data(), PW, PH, PW * 3, false}, 90);
    for (int i = 1; i < Pictures; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "photo%02d.jpg", i);
        fs::copy_file(first, dir / name, fs::copy_options::overwrite_existing);
    }
    return dir;
}

struct Round {
    double rowsMs = 0;     // until the rows are in the tree
    double allMs = 0;      // until every thumbnail is in its row
    double maxStallMs = 0; // longest gap between two turns of the event loop
};

double ms(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

// The window as the user has it: rows at once, thumbnails from worker threads.
Round windowRound(const fs::path& dir, std::vector<std::shared_ptr<const TThumbnail>>& out)
{
    TfrmBackgroundImage w(nullptr, {dir.string()});
    w.show();
    QCoreApplication::processEvents();
    Round r;
    QElapsedTimer t;
    t.start();
    w.expandRow(w.VDT1->model()->index(0, 0));
    r.rowsMs = ms(t);
    double last = ms(t);
    // A 1 ms tick measures how long the loop goes without running, without
    // spinning a core the readers need.
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const double now = ms(t);
        r.maxStallMs = std::max(r.maxStallMs, now - last);
        last = now;
    });
    tick.start();
    while (w.pendingThumbnails() > 0) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    r.allMs = ms(t);
    r.maxStallMs = std::max(r.maxStallMs, r.allMs - last);
    out.clear();
    for (auto& c : w.model().roots()[0]->Children) out.push_back(c->Thumbnail);
    return r;
}

// Every picture read on the calling thread, one after the other.
Round serialRound(const fs::path& dir, std::vector<std::shared_ptr<const TThumbnail>>& out)
{
    TBackgroundImageModel m({dir.string()});
    Round r;
    QElapsedTimer t;
    t.start();
    m.expandNow(*m.roots()[0]);
    r.rowsMs = ms(t);
    double last = r.rowsMs;
    for (auto& c : m.roots()[0]->Children) {
        m.initThumbnailNow(*c);
        const double now = ms(t);
        r.maxStallMs = std::max(r.maxStallMs, now - last);
        last = now;
    }
    r.allMs = ms(t);
    // The window would have been blocked from the listing to the last picture.
    r.maxStallMs = r.allMs;
    out.clear();
    for (auto& c : m.roots()[0]->Children) out.push_back(c->Thumbnail);
    return r;
}

// Where one picture's time goes: reading and decoding, then the reduction.
void splitOne(const fs::path& file)
{
    std::vector<double> dec, red;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        TPicture p;
        p.LoadFromFile(file.string());
        const TDecodedImage& img = p.Graphic()->Raster();
        dec.push_back(ms(t));
        t.restart();
        const TThumbnail th = makeThumbnail(img, DefaultThumbnailSize);
        red.push_back(ms(t));
    }
    std::printf("one picture: read+decode min %.1f ms, reduce to %dx%d min %.1f ms\n",
                *std::min_element(dec.begin(), dec.end()), 200, 150, *std::min_element(red.begin(), red.end()));
}

void report(const char* name, const std::vector<Round>& rounds)
{
    std::vector<double> rows, all, stall;
    for (const Round& r : rounds) rows.push_back(r.rowsMs), all.push_back(r.allMs), stall.push_back(r.maxStallMs);
    std::printf("%-28s rows shown  min %8.1f ms  median %8.1f ms\n", name, *std::min_element(rows.begin(), rows.end()),
                median(rows));
    std::printf("%-28s all thumbs  min %8.1f ms  median %8.1f ms\n", "", *std::min_element(all.begin(), all.end()),
                median(all));
    std::printf("%-28s max stall   min %8.1f ms  median %8.1f ms\n", "", *std::min_element(stall.begin(), stall.end()),
                median(stall));
}

bool samePixels(const std::vector<std::shared_ptr<const TThumbnail>>& a,
                const std::vector<std::shared_ptr<const TThumbnail>>& b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!a[i] || !b[i] || a[i]->Width != b[i]->Width || a[i]->Height != b[i]->Height ||
            a[i]->Pixels != b[i]->Pixels)
            return false;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::printf("Writing %d JPEG pictures of %d x %d...\n", Pictures, PW, PH);
    const fs::path dir = makeFolder();
    std::printf("%s, %d worker threads\n\n", dir.c_str(), QThread::idealThreadCount());

    std::vector<Round> threaded, serial;
    std::vector<std::shared_ptr<const TThumbnail>> a, b;
    bool same = true;
    for (int i = 0; i < rounds; ++i) {
        threaded.push_back(windowRound(dir, a));
        serial.push_back(serialRound(dir, b));
        same = same && samePixels(a, b);
    }
    report("window (worker threads)", threaded);
    report("on the window's thread", serial);
    splitOne(dir / "photo00.jpg");
    std::printf("\nthumbnails identical both ways: %s\n", same ? "yes" : "NO");
    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}
