// The background picture browser: its rows, thumbnails, properties text, order,
// header sorting and choosing, through the model and through the window.

#include "faceeditor/BackgroundImage.h"
#include "faceeditor/BackgroundImageModel.h"

#include "FaceEditorTestSupport.h"

#include "pictures/DecodedImage.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeView>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace velmora;
using velmora::test::ScratchDir;
using velmora::test::writeBmp24;
using velmora::test::writeFile;

namespace {

TShellObjectData* child(TShellObjectData& folder, const std::string& name)
{
    for (auto& c : folder.Children)
        if (c->ShownName == name) return c.get();
    return nullptr;
}

std::vector<std::string> names(const TShellObjectData& folder)
{
    std::vector<std::string> v;
    for (auto& c : folder.Children) v.push_back(c->ShownName);
    return v;
}

// A plain reference for the area-averaging reduction, in doubles.
std::vector<double> referenceReduce(const TDecodedImage& img, int w, int h, int channel)
{
    std::vector<double> out(std::size_t(w) * h, 0.0);
    const double sx = double(img.Width) / w, sy = double(img.Height) / h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double sum = 0, area = 0;
            for (int j = int(y * sy); j < img.Height && j < (y + 1) * sy; ++j)
                for (int i = int(x * sx); i < img.Width && i < (x + 1) * sx; ++i) {
                    const double cover = (std::min((i + 1.0), (x + 1) * sx) - std::max(double(i), x * sx)) *
                        (std::min((j + 1.0), (y + 1) * sy) - std::max(double(j), y * sy));
                    sum += cover * img.row(j)[i * 3 + channel];
                    area += cover;
                }
            out[std::size_t(y) * w + x] = sum / area;
        }
    return out;
}

// The plain integer area average, one weight pair per source pixel and axis:
// the oracle of the reduction's summed-runs version.
TThumbnail plainReduce(const TDecodedImage& img, int size, bool overWhite)
{
    TThumbnail t;
    thumbnailSizeFor(img.Width, img.Height, size, t.Width, t.Height);
    const int W = img.Width, H = img.Height, w = t.Width, h = t.Height;
    auto pixel = [&](int x, int y, int c) -> unsigned {
        const std::uint8_t* r = img.row(y);
        switch (img.Format) {
        case TPixelFormat::pf8bit: {
            const std::size_t k = r[x];
            return k < img.Palette.size() ? img.Palette[k][c] : 0;
        }
        case TPixelFormat::pf15bit: {
            const unsigned v = r[2 * x] | r[2 * x + 1] << 8, q = (v >> (5 * c)) & 31;
            return q << 3 | q >> 2;
        }
        case TPixelFormat::pf24bit: return r[3 * x + c];
        case TPixelFormat::pf32bit:
            return overWhite ? (r[4 * x + c] * r[4 * x + 3] + 255 * (255 - r[4 * x + 3]) + 127) / 255 : r[4 * x + c];
        }
        return 0;
    };
    t.Pixels.assign(std::size_t(w) * h * 4, 255);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                std::uint64_t sum = 0;
                for (int j = 0; j < H; ++j) {
                    const std::int64_t wy = std::max<std::int64_t>(
                        0,
                        std::min<std::int64_t>((j + 1) * std::int64_t(h), (y + 1) * std::int64_t(H)) -
                            std::max<std::int64_t>(j * std::int64_t(h), y * std::int64_t(H)));
                    if (!wy) continue;
                    for (int i = 0; i < W; ++i) {
                        const std::int64_t wx = std::max<std::int64_t>(
                            0,
                            std::min<std::int64_t>((i + 1) * std::int64_t(w), (x + 1) * std::int64_t(W)) -
                                std::max<std::int64_t>(i * std::int64_t(w), x * std::int64_t(W)));
                        sum += std::uint64_t(wx * wy) * pixel(i, j, c);
                    }
                }
                const std::uint64_t total = std::uint64_t(W) * H;
                t.Pixels[(std::size_t(y) * w + x) * 4 + c] = std::uint8_t((sum + total / 2) / total);
            }
    return t;
}

} // namespace

TEST(BackgroundImageRules, ReductionEqualsThePlainAreaAverageBitForBit)
{
    std::mt19937 rng(5);
    struct Case {
        int w, h;
        TPixelFormat f;
        bool overWhite;
    } cases[] = {{401, 203, TPixelFormat::pf24bit, false}, {203, 401, TPixelFormat::pf24bit, false},
                 {250, 250, TPixelFormat::pf32bit, false}, {317, 120, TPixelFormat::pf32bit, true},
                 {230, 77, TPixelFormat::pf8bit, false},   {123, 456, TPixelFormat::pf15bit, false},
                 {1000, 3, TPixelFormat::pf24bit, false},  {201, 200, TPixelFormat::pf24bit, false},
                 {150, 120, TPixelFormat::pf24bit, false}};
    for (const Case& c : cases) {
        TDecodedImage img;
        img.allocate(c.w, c.h, c.f);
        for (auto& b : img.Pixels) b = std::uint8_t(rng());
        if (c.f == TPixelFormat::pf8bit) {
            img.Palette.resize(200); // indices past the palette draw black
            for (auto& e : img.Palette) e = {std::uint8_t(rng()), std::uint8_t(rng()), std::uint8_t(rng()), 0};
        }
        const TThumbnail fast = makeThumbnail(img, 200, c.overWhite);
        const TThumbnail plain = plainReduce(img, 200, c.overWhite);
        ASSERT_EQ(fast.Width, plain.Width);
        ASSERT_EQ(fast.Height, plain.Height);
        EXPECT_EQ(fast.Pixels, plain.Pixels) << c.w << " x " << c.h << " format " << int(c.f);
    }
}

TEST(BackgroundImageRules, ThumbnailSizeAndRowHeightOfEachShape)
{
    ScratchDir dir;
    writeBmp24(dir / "wide.bmp", 1024, 768);
    writeBmp24(dir / "tall.bmp", 100, 300);
    writeBmp24(dir / "small.bmp", 150, 120, [](int x, int y) { return std::uint32_t(x * 65536 + y * 256 + 7); });
    writeBmp24(dir / "icon.bmp", 32, 32);
    TBackgroundImageModel m({dir.path.string()});
    m.expandNow(*m.roots()[0]);
    TShellObjectData& root = *m.roots()[0];
    struct Case {
        const char* name;
        int w, h, row;
    } cases[] = {{"wide.bmp", 200, 150, 154},
                 {"tall.bmp", 67, 200, 204},
                 {"small.bmp", 150, 120, 124},
                 {"icon.bmp", 32, 32, 38}};
    for (const Case& c : cases) {
        TShellObjectData* n = child(root, c.name);
        ASSERT_NE(n, nullptr) << c.name;
        EXPECT_EQ(n->Thumbnail, nullptr) << "thumbnails are made only when asked";
        m.initThumbnailNow(*n);
        ASSERT_NE(n->Thumbnail, nullptr) << c.name;
        EXPECT_EQ(n->Thumbnail->Width, c.w) << c.name;
        EXPECT_EQ(n->Thumbnail->Height, c.h) << c.name;
        EXPECT_EQ(n->RowHeight, c.row) << c.name;
    }
    // A picture that fits is copied pixel for pixel.
    const TThumbnail& copy = *child(root, "small.bmp")->Thumbnail;
    for (int y : {0, 60, 119})
        for (int x : {0, 75, 149}) {
            const std::uint8_t* p = &copy.Pixels[(std::size_t(y) * 150 + x) * 4];
            EXPECT_EQ(p[0], 7);
            EXPECT_EQ(p[1], y);
            EXPECT_EQ(p[2], x);
            EXPECT_EQ(p[3], 255);
        }
}

TEST(BackgroundImageRules, ThumbnailRoundingAndSlivers)
{
    int w, h;
    thumbnailSizeFor(1000, 5, 200, w, h); // 1 exactly
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 1);
    thumbnailSizeFor(10000, 2, 200, w, h); // 0.04 still shows one row
    EXPECT_EQ(h, 1);
    thumbnailSizeFor(400, 500, 200, w, h); // 160 exactly, square-or-taller uses height
    EXPECT_EQ(w, 160);
    EXPECT_EQ(h, 200);
    thumbnailSizeFor(300, 300, 200, w, h);
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 200);
    thumbnailSizeFor(1000, 625, 200, w, h); // 125
    EXPECT_EQ(h, 125);
    thumbnailSizeFor(1600, 500, 200, w, h); // 62.5 rounds to even
    EXPECT_EQ(h, 62);
    thumbnailSizeFor(1600, 540, 200, w, h); // 67.5 rounds to even
    EXPECT_EQ(h, 68);
}

TEST(BackgroundImageRules, ReductionAveragesTheCoveredArea)
{
    std::mt19937 rng(11);
    TDecodedImage img;
    img.allocate(733, 517, TPixelFormat::pf24bit);
    for (auto& b : img.Pixels) b = std::uint8_t(rng());
    const TThumbnail t = makeThumbnail(img, 200);
    ASSERT_EQ(t.Width, 200);
    ASSERT_EQ(t.Height, 141);
    for (int c = 0; c < 3; ++c) {
        const std::vector<double> ref = referenceReduce(img, t.Width, t.Height, c);
        int off = 0;
        for (int i = 0; i < t.Width * t.Height; ++i) {
            const int got = t.Pixels[std::size_t(i) * 4 + c];
            EXPECT_NEAR(got, ref[i], 0.5 + 1e-6);
            off += got != int(std::lround(ref[i]));
        }
        EXPECT_LT(off, 5); // only where the mean lies within rounding noise of .5
    }

    // Exact 2 x 2 blocks: the rounded mean of four pixels, alpha opaque.
    TDecodedImage even;
    even.allocate(400, 300, TPixelFormat::pf32bit);
    for (auto& b : even.Pixels) b = std::uint8_t(rng());
    const TThumbnail e = makeThumbnail(even, 200);
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 200; ++x)
            for (int c = 0; c < 3; ++c) {
                const int s = even.row(2 * y)[8 * x + c] + even.row(2 * y)[8 * x + 4 + c] +
                    even.row(2 * y + 1)[8 * x + c] + even.row(2 * y + 1)[8 * x + 4 + c];
                ASSERT_EQ(e.Pixels[(std::size_t(y) * 200 + x) * 4 + c], (s + 2) / 4);
                ASSERT_EQ(e.Pixels[(std::size_t(y) * 200 + x) * 4 + 3], 255);
            }
}

TEST(BackgroundImageRules, PropertiesTextInTheCLocaleAndGrouped)
{
    ScratchDir dir;
    // A 24-bit 640 x 480 picture of exactly 153 600 bytes: a PNG padded after its end.
    QImage img(640, 480, QImage::Format_RGB888);
    img.fill(QColor(20, 120, 200));
    const std::string png = dir / "photo.png";
    ASSERT_TRUE(img.save(QString::fromStdString(png), "PNG"));
    ASSERT_LT(fs::file_size(png), 153600u);
    fs::resize_file(png, 153600);

    TBackgroundImageModel m({dir.path.string()});
    m.expandNow(*m.roots()[0]);
    TShellObjectData* n = child(*m.roots()[0], "photo.png");
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(m.cellText(*n, 2), "") << "no properties before the thumbnail";
    m.initThumbnailNow(*n);
    EXPECT_EQ(m.cellText(*n, 2), "150.00 KB, 640 x 480 pixels, 16M colors");
    EXPECT_EQ(m.cellText(*n, 1), "");
    EXPECT_EQ(m.cellText(*n, 0), "photo.png");

    EXPECT_EQ(formatKilobytes(1264000, {}), "1234.38 KB, ");
    EXPECT_EQ(formatKilobytes(1264000, {",", "."}), "1.234,38 KB, ");
    EXPECT_EQ(formatKilobytes(1073741824, {".", ","}), "1,048,576.00 KB, ");
    EXPECT_EQ(formatKilobytes(0, {}), "0.00 KB, ");
}

TEST(BackgroundImageRules, ColourDepthTexts)
{
    TDecodedImage img;
    img.allocate(1, 1, TPixelFormat::pf8bit);
    img.Palette.resize(2);
    EXPECT_EQ(colorDepthText(img), ", 2 colors");
    img.Palette.resize(16);
    EXPECT_EQ(colorDepthText(img), ", 16 colors");
    img.Palette.resize(256);
    EXPECT_EQ(colorDepthText(img), ", 256 colors");
    img.allocate(1, 1, TPixelFormat::pf15bit);
    EXPECT_EQ(colorDepthText(img), ", 32K colors");
    img.allocate(1, 1, TPixelFormat::pf24bit);
    EXPECT_EQ(colorDepthText(img), ", 16M colors");
    img.allocate(1, 1, TPixelFormat::pf32bit);
    EXPECT_EQ(colorDepthText(img), ", 16M+ colors");
}

TEST(BackgroundImageRules, ImageExtensionsComeFromTheReaders)
{
    const auto& ext = ImageExtensions();
    EXPECT_TRUE(std::is_sorted(ext.begin(), ext.end()));
    for (const char* e : {".bmp", ".jpg", ".jpeg", ".png", ".tga", ".tif", ".psd", ".gif", ".pcx"})
        EXPECT_TRUE(std::binary_search(ext.begin(), ext.end(), std::string(e))) << e;
    for (const std::string& e : ext) EXPECT_EQ(e[0], '.');
    EXPECT_FALSE(std::binary_search(ext.begin(), ext.end(), std::string(".dds")));
    EXPECT_TRUE(isImageFileName("/a/b/Photo.JPG"));
    EXPECT_TRUE(isImageFileName("x.Png"));
    EXPECT_FALSE(isImageFileName("notes.txt"));
    EXPECT_FALSE(isImageFileName("/a.png/readme"));
    EXPECT_FALSE(isImageFileName("png"));
}

TEST(BackgroundImageListing, FoldersFirstThenPicturesInOrderAndNothingElse)
{
    ScratchDir dir;
    writeBmp24(dir / "b.bmp", 4, 4);
    writeBmp24(dir / "A.bmp", 4, 4);
    writeBmp24(dir / "c.BMP", 4, 4);
    writeFile(dir / "readme.txt", "not a picture");
    writeFile(dir / "noext", "x");
    writeBmp24(dir / ".hidden.bmp", 4, 4);
    fs::create_directory(dir.path / "zeta");
    fs::create_directory(dir.path / "Alpha");
    fs::create_directory(dir.path / "empty");
    writeFile(dir / "zeta/inside.txt", "x");

    TBackgroundImageModel m({dir.path.string()});
    TShellObjectData& root = *m.roots()[0];
    EXPECT_TRUE(root.CanExpand);
    EXPECT_TRUE(root.Children.empty()) << "nothing is read before the folder is opened";
    m.expandNow(root);
    EXPECT_EQ(names(root), (std::vector<std::string>{"Alpha", "empty", "zeta", "A.bmp", "b.bmp", "c.BMP"}));
    for (std::size_t i = 0; i < root.Children.size(); ++i) EXPECT_EQ(root.Children[i]->Row, int(i));
    EXPECT_FALSE(child(root, "empty")->CanExpand);
    EXPECT_TRUE(child(root, "zeta")->CanExpand);
    EXPECT_EQ(child(root, "A.bmp")->PathName, (dir.path / "A.bmp").string());
    EXPECT_EQ(child(root, "A.bmp")->Details, "0.10 KB, ");

    // Opening again lists nothing twice.
    auto again = m.VDT1InitChildren(root);
    EXPECT_TRUE(again.empty());
    EXPECT_EQ(root.Children.size(), 6u);

    // A folder holding only a text file opens to nothing.
    TShellObjectData& zeta = *child(root, "zeta");
    m.expandNow(zeta);
    EXPECT_TRUE(zeta.Children.empty());
    EXPECT_FALSE(zeta.CanExpand);
}

TEST(BackgroundImageListing, LinksAreListedAsWhatTheyPointToAndDanglingOnesNotAtAll)
{
    ScratchDir dir;
    fs::create_directory(dir.path / "real");
    writeBmp24(dir / "real/p.bmp", 3, 3);
    fs::create_directory(dir.path / "list");
    fs::create_symlink(dir.path / "real", dir.path / "list" / "folder-link");
    fs::create_symlink(dir.path / "real" / "p.bmp", dir.path / "list" / "picture-link.bmp");
    fs::create_symlink(dir.path / "nowhere.bmp", dir.path / "list" / "dangling.bmp");
    TBackgroundImageModel m({(dir.path / "list").string()});
    TShellObjectData& root = *m.roots()[0];
    m.expandNow(root);
    EXPECT_EQ(names(root), (std::vector<std::string>{"folder-link", "picture-link.bmp"}));
    TShellObjectData* folder = child(root, "folder-link");
    EXPECT_TRUE(folder->IsFolder());
    EXPECT_TRUE(folder->ShellFlags.Link);
    EXPECT_TRUE(folder->CanExpand);
    m.expandNow(*folder);
    EXPECT_EQ(names(*folder), (std::vector<std::string>{"p.bmp"}));
    TShellObjectData* pic = child(root, "picture-link.bmp");
    EXPECT_TRUE(pic->ShellFlags.Link);
    m.initThumbnailNow(*pic);
    EXPECT_NE(pic->Thumbnail, nullptr);
}

TEST(BackgroundImageListing, CompareOrderAndHeaderClicks)
{
    TShellObjectData folder, a, b;
    folder.ShellFlags.Folder = true;
    folder.PathName = "/z/folder";
    a.PathName = "/z/apple.bmp";
    b.PathName = "/z/Banana.bmp";
    EXPECT_LT(TBackgroundImageModel::VDT1CompareNodes(folder, a, false), 0);
    EXPECT_GT(TBackgroundImageModel::VDT1CompareNodes(folder, a, true), 0) << "descending reverses folders too";
    EXPECT_LT(TBackgroundImageModel::VDT1CompareNodes(a, b, false), 0) << "letters compare without case";
    TShellObjectData under;
    under.PathName = "/z/_x.bmp"; // '_' is 95: after 'A'..'Z' as codes, but letters compare folded to lower case
    EXPECT_LT(TBackgroundImageModel::VDT1CompareNodes(under, b, false), 0);

    ScratchDir dir;
    writeBmp24(dir / "a.bmp", 2, 2);
    writeBmp24(dir / "b.bmp", 2, 2);
    fs::create_directory(dir.path / "sub");
    TBackgroundImageModel m({dir.path.string()});
    TShellObjectData& root = *m.roots()[0];
    m.expandNow(root);
    EXPECT_EQ(m.SortColumn, -1);
    EXPECT_TRUE(m.VDT1HeaderClick(0));
    EXPECT_EQ(m.SortColumn, 0);
    EXPECT_FALSE(m.SortDescending);
    EXPECT_EQ(names(root), (std::vector<std::string>{"sub", "a.bmp", "b.bmp"}));
    EXPECT_TRUE(m.VDT1HeaderClick(0));
    EXPECT_TRUE(m.SortDescending);
    EXPECT_EQ(names(root), (std::vector<std::string>{"b.bmp", "a.bmp", "sub"}));
    EXPECT_FALSE(m.VDT1HeaderClick(2)) << "another column clears the sort without re-sorting";
    EXPECT_EQ(m.SortColumn, -1);
    EXPECT_EQ(names(root), (std::vector<std::string>{"b.bmp", "a.bmp", "sub"}));
    EXPECT_TRUE(m.VDT1HeaderClick(0));
    EXPECT_FALSE(m.SortDescending) << "a fresh sort column starts ascending";
    EXPECT_EQ(names(root), (std::vector<std::string>{"sub", "a.bmp", "b.bmp"}));
}

TEST(BackgroundImageListing, RootsAndTheirNames)
{
    const auto roots = TBackgroundImageModel::defaultRootPaths("/opt/velmora/", "/home/u/Documents", "/home/u");
    EXPECT_EQ(roots, (std::vector<std::string>{"/opt/velmora/Templates", "/home/u/Documents", "/home/u", "/"}));
    // A documents folder that is the home folder is shown once.
    EXPECT_EQ(TBackgroundImageModel::defaultRootPaths("/opt/v", "/home/u/", "/home/u").size(), 3u);

    ScratchDir dir;
    TBackgroundImageModel m(
        {(dir.path / "Templates").string(), (dir.path / "Documents").string(), dir.path.string(), "/"});
    ASSERT_EQ(m.roots().size(), 4u);
    EXPECT_EQ(m.roots()[0]->ShownName, "Templates");
    EXPECT_EQ(m.roots()[1]->ShownName, "Documents");
    EXPECT_EQ(m.roots()[2]->ShownName, dir.path.string());
    EXPECT_EQ(m.roots()[3]->ShownName, "/");
    // A root that does not exist keeps its row and lists nothing.
    TShellObjectData& missing = *m.roots()[0];
    EXPECT_FALSE(missing.ShellFlags.Exists);
    EXPECT_FALSE(missing.CanExpand);
    m.expandNow(missing);
    EXPECT_TRUE(missing.Children.empty());
    EXPECT_TRUE(m.roots()[3]->CanExpand);
}

TEST(BackgroundImageListing, UnreadableFolderAndUnreadablePicture)
{
    ScratchDir dir;
    fs::create_directory(dir.path / "locked");
    writeBmp24(dir / "locked/inside.bmp", 2, 2);
    writeFile(dir / "broken.jpg", "this is no JPEG");
    writeBmp24(dir / "cut.bmp", 64, 64);
    fs::resize_file(dir / "cut.bmp", 100);
    ::chmod((dir / "locked").c_str(), 0);
    const bool rootUser = ::geteuid() == 0;

    TBackgroundImageModel m({dir.path.string()});
    TShellObjectData& root = *m.roots()[0];
    m.expandNow(root);
    TShellObjectData* locked = child(root, "locked");
    ASSERT_NE(locked, nullptr);
    if (!rootUser) {
        m.expandNow(*locked);
        EXPECT_TRUE(locked->Children.empty());
    }
    // A folder gone between listing and opening cannot be searched either.
    fs::create_directory(dir.path / "gone");
    writeBmp24(dir / "gone/x.bmp", 2, 2);
    TBackgroundImageModel again({dir.path.string()});
    again.expandNow(*again.roots()[0]);
    TShellObjectData* gone = child(*again.roots()[0], "gone");
    ASSERT_NE(gone, nullptr);
    EXPECT_TRUE(gone->CanExpand);
    fs::remove_all(dir.path / "gone");
    again.expandNow(*gone);
    EXPECT_TRUE(gone->Children.empty());
    EXPECT_FALSE(gone->CanExpand);
    for (const char* name : {"broken.jpg", "cut.bmp"}) {
        TShellObjectData* n = child(root, name);
        ASSERT_NE(n, nullptr) << name << " stays listed";
        m.initThumbnailNow(*n);
        EXPECT_EQ(n->Thumbnail, nullptr) << name;
        EXPECT_TRUE(n->ThumbnailDone);
        EXPECT_EQ(m.cellText(*n, 2), "") << name;
        EXPECT_EQ(n->RowHeight, 38) << name;
    }
    const TThumbnailResult r = readThumbnail(dir / "broken.jpg");
    EXPECT_FALSE(r.Ok);
    EXPECT_FALSE(r.Error.empty());
    ::chmod((dir / "locked").c_str(), 0755);
}

TEST(BackgroundImageListing, ChoosingPicturesFoldersAndNothing)
{
    ScratchDir dir;
    writeBmp24(dir / "p.bmp", 2, 2);
    fs::create_directory(dir.path / "sub");
    TBackgroundImageModel m({dir.path.string()});
    TShellObjectData& root = *m.roots()[0];
    m.expandNow(root);

    m.btnOkClick(child(root, "sub"));
    EXPECT_TRUE(m.NoChoice) << "\"&Ok\" on a folder chooses nothing";
    m.btnOkClick(nullptr);
    EXPECT_TRUE(m.NoChoice);
    m.btnOkClick(&root);
    EXPECT_TRUE(m.NoChoice) << "a root is a folder";
    EXPECT_FALSE(m.VDT1DblClick(nullptr));
    EXPECT_FALSE(m.VDT1DblClick(child(root, "sub")));
    EXPECT_TRUE(m.NoChoice);
    EXPECT_TRUE(m.VDT1DblClick(child(root, "p.bmp")));
    EXPECT_FALSE(m.NoChoice);
    EXPECT_EQ(m.ChosenFile, dir / "p.bmp");

    TBackgroundImageModel ok({dir.path.string()});
    ok.expandNow(*ok.roots()[0]);
    ok.btnOkClick(child(*ok.roots()[0], "p.bmp"));
    EXPECT_FALSE(ok.NoChoice);
    EXPECT_EQ(ok.ChosenFile, dir / "p.bmp");
    ok.btnCancelClick();
    EXPECT_TRUE(ok.NoChoice);
    EXPECT_EQ(ok.ChosenFile, "");
}

// --- The window ----------------------------------------------------------------

class BackgroundImageWindow : public ::testing::Test {
protected:
    void SetUp() override { velmora::test::dialogTestApp(); }
};

TEST_F(BackgroundImageWindow, LooksAsSpecifiedAndStartsWithTheDefaultRoots)
{
    TfrmBackgroundImage w;
    EXPECT_EQ(w.windowTitle(), "Select Background Image");
    EXPECT_EQ(w.btnOk->text(), "&Ok");
    EXPECT_EQ(w.btnCancel->text(), "&Cancel");
    EXPECT_EQ(w.Label29->text(), "Where can I get more backgrounds?");
    QAbstractItemModel* tm = w.VDT1->model();
    EXPECT_EQ(tm->headerData(0, Qt::Horizontal).toString(), "Image file name");
    EXPECT_EQ(tm->headerData(1, Qt::Horizontal).toString(), "Thumbnail");
    EXPECT_EQ(tm->headerData(2, Qt::Horizontal).toString(), "Properties");
    EXPECT_EQ(w.VDT1->header()->sectionSize(0), 250);
    EXPECT_EQ(w.VDT1->header()->sectionSize(1), 200);
    EXPECT_EQ(w.VDT1->header()->sectionSize(2), 240);
    EXPECT_EQ(w.size(), QSize(700, 575));

    const auto& roots = w.model().RootPaths();
    ASSERT_GE(roots.size(), 3u);
    EXPECT_EQ(roots.front(), (fs::path(QCoreApplication::applicationDirPath().toStdString()) / "Templates").string());
    EXPECT_EQ(roots.back(), "/");
    EXPECT_EQ(tm->rowCount(), int(roots.size()));
    EXPECT_EQ(tm->index(0, 0).data().toString(), "Templates");
    EXPECT_GE(w.VDT1->sizeHintForRow(0), 38);
}

TEST_F(BackgroundImageWindow, RowsAtOnceThumbnailsLaterOkOnAFolderChoosesNothing)
{
    ScratchDir dir;
    for (int i = 0; i < 6; ++i)
        writeBmp24(dir / ("pic" + std::to_string(i) + ".bmp"), 1024, 768,
                   [i](int x, int y) { return std::uint32_t((x * 255 / 1024) << 16 | (y * 255 / 768) << 8 | i * 40); });
    writeFile(dir / "notes.txt", "x");
    fs::create_directory(dir.path / "more");
    writeBmp24(dir / "more/x.bmp", 8, 8);

    // The size text follows the user's number format.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    TfrmBackgroundImage w(nullptr, {dir.path.string()});
    QLocale::setDefault(before);
    w.show();
    QAbstractItemModel* tm = w.VDT1->model();
    const QModelIndex root = tm->index(0, 0);
    w.expandRow(root);
    ASSERT_EQ(tm->rowCount(root), 7) << "a folder and six pictures, no text file";
    EXPECT_EQ(tm->index(0, 0, root).data().toString(), "more");
    EXPECT_GT(w.pendingThumbnails(), 0) << "rows are there before their thumbnails";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the hourglass ends with the listing";
    EXPECT_EQ(w.cursor().shape(), Qt::BusyCursor) << "busy while thumbnails are read, input still taken";
    ASSERT_TRUE(velmora::test::waitUntil([&] { return w.pendingThumbnails() == 0; }));
    EXPECT_EQ(w.cursor().shape(), Qt::ArrowCursor);
    const QModelIndex pic = tm->index(1, 2, root);
    EXPECT_EQ(pic.data().toString(), "2,304.05 KB, 1024 x 768 pixels, 16M colors");
    EXPECT_EQ(w.VDT1->visualRect(pic).height(), 154);
    velmora::test::saveScreenshot(w, "background-browser.png");

    // "&Ok" with the folder row current closes without a choice.
    w.VDT1->setCurrentIndex(tm->index(0, 0, root));
    w.btnOk->click();
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_TRUE(w.NoChoice());
    EXPECT_TRUE(w.ChosenFile().isEmpty());
}

TEST_F(BackgroundImageWindow, ShowsTheShippedTemplatesWithTheirThumbnails)
{
    const fs::path templates =
        (fs::path(VELMORA_TEST_DATA) / ".." / ".." / "resources" / "Templates").lexically_normal();
    TfrmBackgroundImage w(nullptr, {templates.string(), QDir::homePath().toStdString(), "/"});
    w.show();
    QAbstractItemModel* tm = w.VDT1->model();
    const QModelIndex root = tm->index(0, 0);
    w.expandRow(root);
    ASSERT_GE(tm->rowCount(root), 3);
    const QModelIndex dark = w.indexOfPath(QString::fromStdString((templates / "Dark Techno").string()));
    ASSERT_TRUE(dark.isValid());
    w.expandRow(dark);
    EXPECT_GE(tm->rowCount(dark), 4);
    ASSERT_TRUE(velmora::test::waitUntil([&] { return w.pendingThumbnails() == 0; }));
    const QModelIndex first = tm->index(0, 2, dark);
    EXPECT_TRUE(first.data().toString().endsWith("KB, 919 x 1124 pixels, 16M colors"))
        << first.data().toString().toStdString();
    // 919 x 1124 gives a 164 x 200 thumbnail and a 204-pixel row.
    EXPECT_EQ(w.VDT1->visualRect(first).height(), 204);
    w.VDT1->setCurrentIndex(tm->index(1, 0, dark));
    w.VDT1->setFocus();
    velmora::test::saveScreenshot(w, "background-templates.png");
}

TEST_F(BackgroundImageWindow, DoubleClickChoosesAPictureAndHeaderSortsTheRows)
{
    ScratchDir dir;
    writeBmp24(dir / "a.bmp", 3, 3);
    writeBmp24(dir / "b.bmp", 3, 3);
    TfrmBackgroundImage w(nullptr, {dir.path.string()});
    w.show();
    QAbstractItemModel* tm = w.VDT1->model();
    const QModelIndex root = tm->index(0, 0);
    w.expandRow(root);
    EXPECT_TRUE(w.VDT1->isExpanded(root));
    ASSERT_EQ(tm->rowCount(root), 2);

    w.VDT1HeaderClick(0);
    EXPECT_EQ(w.VDT1->header()->sortIndicatorSection(), 0);
    w.VDT1HeaderClick(0);
    EXPECT_EQ(w.VDT1->header()->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(tm->index(0, 0, root).data().toString(), "b.bmp");
    w.VDT1HeaderClick(1);
    EXPECT_EQ(w.VDT1->header()->sortIndicatorSection(), -1);

    w.VDT1DblClick(tm->index(1, 1, root)); // a.bmp, any column
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_FALSE(w.NoChoice());
    EXPECT_EQ(w.ChosenFile().toStdString(), dir / "a.bmp");
    ASSERT_TRUE(velmora::test::waitUntil([&] { return w.pendingThumbnails() == 0; }));
}

namespace {

void doubleClick(QTreeView* view, const QModelIndex& index)
{
    const QPoint at = view->visualRect(index).center();
    QWidget* vp = view->viewport();
    for (QEvent::Type t : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                           QEvent::MouseButtonRelease}) {
        QMouseEvent e(t, QPointF(at), vp->mapToGlobal(QPointF(at)), Qt::LeftButton,
                      t == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(vp, &e);
    }
}

} // namespace

TEST_F(BackgroundImageWindow, MouseAndKeyboardOpenFoldersAndChoose)
{
    ScratchDir dir;
    fs::create_directory(dir.path / "sub");
    writeBmp24(dir / "sub/inner.bmp", 5, 5);
    writeBmp24(dir / "top.bmp", 5, 5);
    TfrmBackgroundImage w(nullptr, {dir.path.string()});
    w.show();
    QAbstractItemModel* tm = w.VDT1->model();
    const QModelIndex root = tm->index(0, 0);
    doubleClick(w.VDT1, root);
    EXPECT_TRUE(w.VDT1->isExpanded(root)) << "a double-click opens a folder";
    ASSERT_EQ(tm->rowCount(root), 2);
    EXPECT_TRUE(w.isVisible());

    // Enter on a folder opens it rather than pressing "&Ok".
    const QModelIndex sub = tm->index(0, 0, root);
    w.VDT1->setFocus();
    w.VDT1->setCurrentIndex(sub);
    test::pressKey(w.VDT1, Qt::Key_Return);
    EXPECT_TRUE(w.VDT1->isExpanded(sub));
    EXPECT_EQ(tm->rowCount(sub), 1);
    EXPECT_TRUE(w.isVisible());
    test::pressKey(w.VDT1, Qt::Key_Left);
    EXPECT_FALSE(w.VDT1->isExpanded(sub)) << "left closes it again";

    // A double-click on a picture chooses it and closes the window.
    ASSERT_TRUE(velmora::test::waitUntil([&] { return w.pendingThumbnails() == 0; }));
    doubleClick(w.VDT1, tm->index(1, 0, root));
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(w.ChosenFile().toStdString(), dir / "top.bmp");
}

class TUrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> Seen;
public slots:
    void open(const QUrl& u) { Seen.push_back(u); }
};

TEST_F(BackgroundImageWindow, CancelAndTheMoreBackgroundsLink)
{
    ScratchDir dir;
    TfrmBackgroundImage w(nullptr, {dir.path.string()});
    TUrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "open");
    w.Label29Click();
    QDesktopServices::unsetUrlHandler("https");
    ASSERT_EQ(catcher.Seen.size(), 1);
    EXPECT_EQ(catcher.Seen[0].host(), "velmora.example");
    EXPECT_EQ(w.Label29->cursor().shape(), Qt::PointingHandCursor);

    w.show();
    w.btnCancel->click();
    EXPECT_EQ(w.result(), QDialog::Rejected);
    EXPECT_TRUE(w.NoChoice());
}

TEST_F(BackgroundImageWindow, ClosingWhileThumbnailsAreReadIsSafe)
{
    ScratchDir dir;
    for (int i = 0; i < 8; ++i) writeBmp24(dir / ("big" + std::to_string(i) + ".bmp"), 1600, 1200);
    for (int round = 0; round < 3; ++round) {
        auto* w = new TfrmBackgroundImage(nullptr, {dir.path.string()});
        w->expandRow(w->VDT1->model()->index(0, 0));
        QCoreApplication::processEvents();
        delete w; // must wait for running readings, drop queued ones, and not crash
    }
    QCoreApplication::processEvents();
}

#include "BackgroundImageTest.moc"

TEST(BackgroundImageTemplates, ShippedBackgroundsAreReadablePicturesForAFace)
{
    const fs::path templates = fs::path(VELMORA_TEST_DATA) / ".." / ".." / "resources" / "Templates";
    TBackgroundImageModel m({templates.lexically_normal().string()});
    TShellObjectData& root = *m.roots()[0];
    m.expandNow(root);
    int folders = 0, pictures = 0;
    for (auto& sub : root.Children) {
        ASSERT_TRUE(sub->IsFolder()) << sub->ShownName;
        ++folders;
        m.expandNow(*sub);
        for (auto& pic : sub->Children) {
            m.initThumbnailNow(*pic);
            ASSERT_NE(pic->Thumbnail, nullptr) << pic->PathName;
            EXPECT_NE(pic->Details.find("919 x 1124 pixels, 16M colors"), std::string::npos) << pic->Details;
            EXPECT_LT(fs::file_size(pic->PathName), 400u * 1024) << pic->PathName;
            ++pictures;
        }
    }
    EXPECT_GE(folders, 3);
    EXPECT_GE(pictures, 12);
}
