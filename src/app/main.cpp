#include "app/About.h"
#include "app/Application.h"
#include "app/Artwork.h"
#include "app/CommandLine.h"
#include "app/Platform.h"
#include "app/Unit1.h"

#include <QIcon>
#include <QPixmap>

#include <iostream>
#include <string>
#include <vector>

using namespace velmora;

int main(int argc, char** argv)
{
    initFloatingPoint();
    std::vector<std::string> args(argv + 1, argv + argc);
    TCommandLine cl = runCommandLine(args, std::cout, std::cerr, VELMORA_VERSION);
    if (!cl.GuiScene) return cl.ExitCode;

    try {
        TWorkingFolder working;
        TApplication app(argc, argv);
        initFloatingPoint(); // the toolkit's start-up must not leave a different mode behind
        app.setDesktopFileName(QStringLiteral("velmora")); // matches velmora.desktop
        app.setWindowIcon(QIcon(QPixmap::fromImage(applicationIcon(64))));
        TfrmMain window(programFolder(), working.path());
        // Lives for the whole run; About only shows and hides it.
        TAboutBox about(&window);
        AboutBox = &about;
        window.setStartupScene(*cl.GuiScene);
        window.show();
        return app.exec();
    } catch (const std::exception& e) {
        std::cerr << "velmora: " << e.what() << "\n";
        return 1;
    }
}
