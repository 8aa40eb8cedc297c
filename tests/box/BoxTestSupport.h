#pragma once
// Helpers shared by the box tests: a main window model over the real box
// scene with its shipped pictures, in the scene-open state, with the
// window's services answered by the test, and a working folder of its own.

#include "TestSupport.h"
#include "box/BoxScene.h"
#include "box/MainModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace velmora::test {

struct BoxModelTest : ::testing::Test {
    explicit BoxModelTest(std::string programFolder = resourcesFolder())
        : m(std::move(programFolder), work.path.string() + "/")
    {
        m.ProcessMessages = [this] { ++messageRuns; };
        m.Sleep = [this](int ms) { sleeps.push_back(ms); };
        m.ShowMessage = [this](const std::string& text) { messages.push_back(text); };
        m.RunOpenPictureDialog = [this] {
            ++pictureDialogRuns;
            return pictureAnswer;
        };
        m.RunColorDialog = [this](std::uint32_t initial) {
            colorDialogOpenedWith.push_back(initial);
            return colorAnswer;
        };
        m.New1Click();
        box = m.boxScene();
    }

    TBoxScene& scene() { return *box; }

    ScratchDir work{"velmora-work"}; // the program's working folder; made before the model
    TfrmMainModel m;
    TBoxScene* box = nullptr;
    int messageRuns = 0;
    std::vector<int> sleeps;
    std::vector<std::string> messages;
    int pictureDialogRuns = 0;
    std::optional<std::string> pictureAnswer;
    std::vector<std::uint32_t> colorDialogOpenedWith;
    std::optional<std::uint32_t> colorAnswer;
};

inline double distance(const TVector& a, const TVector& b)
{
    return std::sqrt(double(a.X - b.X) * (a.X - b.X) + double(a.Y - b.Y) * (a.Y - b.Y) +
                     double(a.Z - b.Z) * (a.Z - b.Z));
}

} // namespace velmora::test
