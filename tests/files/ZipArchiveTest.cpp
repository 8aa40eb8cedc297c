#include "files/ZipArchive.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>

using namespace velmora;
namespace fs = std::filesystem;

namespace {

using TempDir = test::ScratchDir;
using test::readText;
using test::writeFile;

// Builds an archive with arbitrary member names straight through the library.
void makeZip(const fs::path& p, const std::vector<std::pair<std::string, std::string>>& members)
{
    int err = 0;
    zip_t* z = zip_open(p.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    ASSERT_NE(z, nullptr);
    for (const auto& [name, data] : members) {
        auto* buf = static_cast<char*>(malloc(data.size() + 1));
        memcpy(buf, data.data(), data.size());
        zip_source_t* s = zip_source_buffer(z, buf, data.size(), 1);
        ASSERT_GE(zip_file_add(z, name.c_str(), s, ZIP_FL_OVERWRITE), 0);
    }
    ASSERT_EQ(zip_close(z), 0);
}

} // namespace

TEST(ZipArchive, WritesMatchingFilesUnderBaseNamesDeflatedOrStored)
{
    TempDir d;
    const std::string text(20000, 'a');
    std::string noise(5000, '\0');
    std::mt19937 rng(7);
    for (char& c : noise) c = static_cast<char>(rng());
    writeFile(d.path / "Scene.gls", noise);
    writeFile(d.path / "Scene.ini", text);
    writeFile(d.path / "Other.txt", "x");
    {
        ZipWriter w(d.path / "temp.zip");
        w.addMatching(d.path, "Scene.*");
        w.close();
    }
    int err = 0;
    zip_t* z = zip_open((d.path / "temp.zip").c_str(), ZIP_RDONLY, &err);
    ASSERT_NE(z, nullptr);
    ASSERT_EQ(zip_get_num_entries(z, 0), 2);
    zip_stat_t st;
    ASSERT_EQ(zip_stat(z, "Scene.gls", 0, &st), 0);
    EXPECT_EQ(st.comp_method, ZIP_CM_STORE); // random data would grow when deflated
    ASSERT_EQ(zip_stat(z, "Scene.ini", 0, &st), 0);
    EXPECT_EQ(st.comp_method, ZIP_CM_DEFLATE);
    EXPECT_LT(st.comp_size, 1000u);
    zip_close(z);

    // Version needed to extract, in the local and the central headers: 10 for
    // the stored member, 20 for the deflated one. No data descriptors.
    const std::string bytes = readText(d.path / "temp.zip");
    auto le16 = [&](std::size_t at) {
        return unsigned(std::uint8_t(bytes[at])) | unsigned(std::uint8_t(bytes[at + 1])) << 8;
    };
    auto le32 = [&](std::size_t at) { return le16(at) | le16(at + 2) << 16; };
    ASSERT_GE(bytes.size(), 22u);
    const std::size_t eocd = bytes.size() - 22;
    ASSERT_EQ(bytes.compare(eocd, 4, "PK\5\6"), 0);
    std::size_t central = le32(eocd + 16);
    std::map<std::string, unsigned> needed;
    for (unsigned i = 0; i < le16(eocd + 10); ++i) {
        ASSERT_EQ(bytes.compare(central, 4, "PK\1\2"), 0);
        const std::string name = bytes.substr(central + 46, le16(central + 28));
        const std::size_t local = le32(central + 42);
        ASSERT_EQ(bytes.compare(local, 4, "PK\3\4"), 0);
        EXPECT_EQ(le16(local + 4), le16(central + 6)) << name;
        EXPECT_EQ(le16(local + 6) & 8u, 0u) << name;
        needed[name] = le16(central + 6);
        central += 46 + le16(central + 28) + le16(central + 30) + le16(central + 32);
    }
    EXPECT_EQ(needed, (std::map<std::string, unsigned>{{"Scene.gls", 10}, {"Scene.ini", 20}}));

    ZipReader r(d.path / "temp.zip");
    TempDir out;
    auto names = r.extractAll(out.path);
    EXPECT_EQ(names.size(), 2u);
    EXPECT_EQ(readText(out.path / "Scene.gls"), noise);
    EXPECT_EQ(readText(out.path / "Scene.ini"), text);

    // Another program reads the headers as written.
    VELMORA_REQUIRE_TOOLS("unzip");
    EXPECT_TRUE(test::run("unzip -tq '" + (d.path / "temp.zip").string() + "' >/dev/null"));
}

TEST(ZipArchive, RecognisesMissingAndForeignFiles)
{
    TempDir d;
    try {
        ZipReader r(d.path / "none.zip");
        FAIL();
    } catch (const EArchiveError& e) {
        EXPECT_STREQ(e.what(), "Archive does not exist - Filename is blank");
    }
    writeFile(d.path / "scene.gls", "TPF0\x08TGLScene");
    try {
        ZipReader r(d.path / "scene.gls");
        FAIL();
    } catch (const EArchiveError& e) {
        EXPECT_STREQ(e.what(), "Unhandled Archive Type");
    }
    // A truncated archive fails with a clear error, never a crash.
    makeZip(d.path / "good.zip", {{"Scene.ini", std::string(4000, 'q')}});
    const std::string whole = readText(d.path / "good.zip");
    for (std::size_t cut : {whole.size() - 5, whole.size() / 2, std::size_t(10)}) {
        writeFile(d.path / "cut.zip", whole.substr(0, cut));
        EXPECT_THROW(
            {
                ZipReader r(d.path / "cut.zip");
                r.extractAll(d.path);
            },
            EArchiveError);
    }
}

TEST(ZipArchive, HostileArchivesStayInsideTheFolder)
{
    TempDir d;
    TempDir out;
    makeZip(d.path / "paths.zip",
            {{"../../evil.txt", "a"}, {"/abs/Scene.ini", "b"}, {"dir\\Scene.gls", "c"}, {"folder/", ""}});
    ZipReader r(d.path / "paths.zip");
    r.extractAll(out.path);
    EXPECT_EQ(readText(out.path / "evil.txt"), "a");
    EXPECT_EQ(readText(out.path / "Scene.ini"), "b");
    EXPECT_EQ(readText(out.path / "Scene.gls"), "c");
    EXPECT_FALSE(fs::exists(out.path.parent_path() / "evil.txt"));

    makeZip(d.path / "dots.zip", {{"a/..", "x"}});
    EXPECT_THROW(ZipReader(d.path / "dots.zip").extractAll(out.path), EArchiveError);

    // A link planted in the folder is replaced, never written through.
    writeFile(d.path / "victim", "keep");
    fs::remove(out.path / "Scene.ini");
    fs::create_symlink(d.path / "victim", out.path / "Scene.ini");
    r.extractAll(out.path);
    EXPECT_EQ(readText(d.path / "victim"), "keep");
    EXPECT_FALSE(fs::is_symlink(out.path / "Scene.ini"));
}

TEST(ZipArchive, LimitsRefuseBombsAndMemberFloods)
{
    TempDir d;
    makeZip(d.path / "bomb.zip", {{"Scene.gls", std::string(3 << 20, '\0')}});
    EXPECT_LT(fs::file_size(d.path / "bomb.zip"), 20000u);
    ZipLimits small;
    small.maxMemberSize = 1 << 20;
    try {
        ZipReader(d.path / "bomb.zip", small).extractAll(d.path);
        FAIL();
    } catch (const EArchiveError& e) {
        EXPECT_STREQ(e.what(), "Archive member Scene.gls is too large");
    }
    EXPECT_FALSE(fs::exists(d.path / "Scene.gls"));
    EXPECT_FALSE(fs::exists(d.path / "Scene.gls.part"));

    std::vector<std::pair<std::string, std::string>> many;
    for (int i = 0; i < 1500; ++i) many.emplace_back("m" + std::to_string(i), "");
    makeZip(d.path / "many.zip", many);
    try {
        ZipReader r(d.path / "many.zip");
        FAIL();
    } catch (const EArchiveError& e) {
        EXPECT_STREQ(e.what(), "The archive holds too many members");
    }
    EXPECT_TRUE(wildcardMatch("Scene.*", "scene.GLS"));
    EXPECT_FALSE(wildcardMatch("Scene.*", "Scene"));
    EXPECT_TRUE(wildcardMatch("*.*", "a.b"));
}
