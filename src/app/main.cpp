#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/Platform.h"
#include "app/Unit1.h"

#include <iostream>
#include <string>
#include <vector>

using namespace velmora;

int main(int argc, char** argv)
{
    InitFloatingPoint();
    std::vector<std::string> args(argv + 1, argv + argc);
    TCommandLine cl = RunCommandLine(args, std::cout, std::cerr, VELMORA_VERSION);
    if (!cl.GuiScene) return cl.ExitCode;

    try {
        TWorkingFolder working;
        TApplication app(argc, argv);
        InitFloatingPoint(); // the toolkit's start-up must not leave a different mode behind
        TfrmMain window(ProgramFolder(), working.path());
        window.setStartupScene(*cl.GuiScene);
        window.show();
        return app.exec();
    } catch (const std::exception& e) {
        std::cerr << "velmora: " << e.what() << "\n";
        return 1;
    }
}
