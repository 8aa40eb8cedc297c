// Writes the installed icon files from the program's own drawings: the
// application icon and the two scene document icons at the usual hicolor
// sizes. Run it from the source tree's root (or give the desktop folder as
// the argument) after changing the artwork:
//   build/bin/make_icons resources/desktop

#include "app/Artwork.h"

#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <filesystem>
#include <string>

int main(int argc, char** argv)
{
    // Drawing needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const std::filesystem::path root = argc > 1 ? argv[1] : "resources/desktop";
    const int sizes[] = {16, 22, 24, 32, 48, 64, 128, 256, 512};
    struct Item {
        const char* context;
        const char* name;
        QImage (*draw)(int);
    };
    const Item items[] = {
        {"apps", "velmora", [](int s) { return velmora::applicationIcon(s); }},
        {"mimetypes", "application-x-velmora-scene", [](int s) { return velmora::documentIcon(s, false); }},
        {"mimetypes", "application-x-velmora-scene-stream", [](int s) { return velmora::documentIcon(s, true); }},
    };
    for (int size : sizes) {
        for (const Item& item : items) {
            const std::string dim = std::to_string(size) + "x" + std::to_string(size);
            const std::filesystem::path folder = root / "icons" / "hicolor" / dim / item.context;
            std::filesystem::create_directories(folder);
            const std::filesystem::path file = folder / (std::string(item.name) + ".png");
            if (!item.draw(size).save(QString::fromStdString(file.string()), "PNG")) {
                std::fprintf(stderr, "make_icons: cannot write %s\n", file.c_str());
                return 1;
            }
        }
    }
    std::printf("icons written under %s\n", (root / "icons").c_str());
    return 0;
}
