#include "app/Platform.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <filesystem>
#include <fstream>

namespace velmora {
namespace {

TEST(Platform, ProgramFolderIsTheExecutablesFolder)
{
    const std::string folder = programFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(folder + "tests_app"));
}

TEST(Platform, WorkingFoldersArePrivateAndRemovedWithTheirContent)
{
    std::string kept;
    {
        TWorkingFolder a, b;
        EXPECT_NE(a.path(), b.path());
        EXPECT_EQ(a.path().back(), '/');
        EXPECT_TRUE(std::filesystem::is_directory(a.path()));
        std::filesystem::create_directory(a.path() + "sub");
        std::ofstream(a.path() + "sub/Scene.gls") << "x";
        kept = a.path();
    }
    EXPECT_FALSE(std::filesystem::exists(kept));
}

TEST(Platform, FloatingPointRoundsToEvenAndDoesNotTrap)
{
    std::fesetround(FE_UPWARD);
    initFloatingPoint();
    EXPECT_EQ(std::fegetround(), FE_TONEAREST);
    EXPECT_EQ(std::nearbyint(2.5), 2.0);
    EXPECT_EQ(std::nearbyint(3.5), 4.0);
    volatile double zero = 0.0;
    EXPECT_TRUE(std::isinf(1.0 / zero));
}

} // namespace
} // namespace velmora
