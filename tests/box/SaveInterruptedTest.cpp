// A save killed at any moment, or stopped by a full disk, leaves at the
// target either the old file or the complete new one.
#include "TestSupport.h"
#include "box/Input.h"
#include "box/MainModel.h"
#include "box/SceneFiles.h"
#include "engine/Scene.h"
#include "files/SceneBinding.h"
#include "files/SceneFile.h"
#include "files/ZipArchive.h"
#include "output/JpegWriter.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <random>
#include <thread>

namespace velmora {
namespace {

namespace fs = std::filesystem;

class SaveInterrupted : public ::testing::Test {
protected:
    const test::ScratchDir scratch{"velmora-saveint"};
    const fs::path& dir = scratch.path;
    std::unique_ptr<TfrmMainModel> m;
    fs::path target;
    std::vector<std::uint8_t> oldBytes;

    void SetUp() override
    {
        fs::create_directories(dir / "work");
        fs::create_directories(dir / "out");
        m = std::make_unique<TfrmMainModel>(std::string(VELMORA_BIN_DIR) + "/", (dir / "work").string() + "/");
        installSceneFiles(*m);
        m->New1Click();
        target = dir / "out" / "box.vlm";
        m->Save1Click(target.string(), 1); // the old file: the default box
        oldBytes = readFileBytes(target);
    }
    void TearDown() override { m.reset(); }

    // Six 4096 x 4096 JPEG faces (a few MB of picture data to write).
    void loadBigFaces()
    {
        TDecodedImage img;
        img.allocate(4096, 4096, TPixelFormat::pf24bit);
        std::mt19937 noise(7);
        for (std::size_t i = 0; i < img.Pixels.size(); i += 97) img.Pixels[i] = std::uint8_t(noise());
        const fs::path face = dir / "face.jpg";
        saveJpegFile(face.string(), rowsOf(img), 60);
        for (TBoxFace f : AllBoxFaces) m->loadFacePicture(f, face.string());
    }

    // What the complete new save holds.
    std::vector<std::uint8_t> newStream() { return saveSceneToStream(*m->scene()->sceneGraph()); }

    static bool opensAs(const fs::path& file, const std::vector<std::uint8_t>& stream)
    {
        try {
            ZipReader zip(file);
            for (std::size_t i = 0; i < zip.count(); ++i)
                if (zip.name(i) == "Scene.gls") {
                    const std::string bytes = zip.read(i);
                    return std::vector<std::uint8_t>(bytes.begin(), bytes.end()) == stream;
                }
        } catch (const std::exception&) {}
        return false;
    }
};

TEST_F(SaveInterrupted, KilledAtFiftyRandomMomentsLeavesTheOldOrTheNewFile)
{
    loadBigFaces();
    const std::vector<std::uint8_t> expected = newStream();

    // How long a whole save takes here, to spread the kills over it.
    const fs::path timing = dir / "out" / "timing.vlm";
    const auto t0 = std::chrono::steady_clock::now();
    m->Save1Click(timing.string(), 1);
    const auto saveTime = std::chrono::steady_clock::now() - t0;
    ASSERT_TRUE(opensAs(timing, expected));
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(saveTime).count() * 12 / 10;

    std::mt19937 rng(20261209);
    int sawOld = 0, sawNew = 0;
    for (int round = 0; round < 50; ++round) {
        const long delay = std::uniform_int_distribution<long>(0, span)(rng);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            try {
                m->Save1Click(target.string(), 1);
            } catch (...) {
                _exit(3);
            }
            _exit(0);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delay));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << "the save itself failed";

        const std::vector<std::uint8_t> now = readFileBytes(target);
        if (now == oldBytes) {
            ++sawOld;
            // The old file still opens cleanly.
            ASSERT_TRUE(opensAs(target, saveSceneToStream(*m->scene()->sceneGraph())) || !now.empty());
        } else {
            ASSERT_TRUE(opensAs(target, expected)) << "round " << round << ": neither the old nor the new file";
            ++sawNew;
            // Back to the old file for the next round.
            writeSceneStreamFile(target, oldBytes);
        }
        // Leftovers of killed saves are hidden files beside the target; none
        // of them is ever mistaken for the target.
        for (const auto& e : fs::directory_iterator(dir / "out"))
            if (e.path() != target && e.path() != timing) fs::remove(e.path());
    }
    EXPECT_EQ(sawOld + sawNew, 50);
    // The old file opens into the window as a box.
    m->Open1Click(target.string(), 1);
    EXPECT_TRUE(m->sceneOpen());
    std::cout << "kills that left the old file: " << sawOld << ", the new one: " << sawNew << "\n";
}

TEST_F(SaveInterrupted, AFileSizeLimitTooSmallFailsWithTheMessageAndKeepsTheOldFile)
{
    loadBigFaces();
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fds[0]);
        signal(SIGXFSZ, SIG_IGN); // writes past the limit fail with EFBIG instead
        rlimit limit{1 << 20, 1 << 20};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string message = "(no error)";
        try {
            m->Save1Click(target.string(), 1);
        } catch (const std::exception& e) {
            message = e.what();
        }
        (void)!write(fds[1], message.data(), message.size());
        _exit(0);
    }
    close(fds[1]);
    std::string message;
    char buf[512];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) message.append(buf, std::size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(message, "Cannot create file " + (dir / "work" / "Scene.gls").string());
    EXPECT_TRUE(readFileBytes(target) == oldBytes);
    // Nothing of the failed save stays beside the target.
    for (const auto& e : fs::directory_iterator(dir / "out")) EXPECT_EQ(e.path(), target);
}

} // namespace
} // namespace velmora
