#include "faceeditor/BackgroundImageModel.h"

#include "pictures/Picture.h"
#include "pictures/PictureClasses.h"
#include "pictures/Rasters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <new>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>

namespace velmora {

namespace fs = std::filesystem;

namespace {

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

int compareAsciiNoCase(const std::string& a, const std::string& b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = static_cast<unsigned char>(asciiLower(a[i]));
        const unsigned char y = static_cast<unsigned char>(asciiLower(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string withoutTrailingSlash(std::string p)
{
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

std::string lastComponent(const std::string& path)
{
    const std::string p = withoutTrailingSlash(path);
    if (p == "/") return p;
    const std::size_t slash = p.find_last_of('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string joinPath(const std::string& folder, const std::string& name)
{
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// Whether a folder holds anything worth opening; hidden entries do not count.
bool folderHasEntries(const std::string& path)
{
    std::error_code ec;
    fs::directory_iterator it(path, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!name.empty() && name[0] != '.') return true;
    }
    return false;
}

// Area-averaging reduction with integer weights. Source column i covers
// [i*w, (i+1)*w) and destination column x covers [x*W, (x+1)*W) on a common
// scale, so each destination pixel is the exact weighted mean of W*H units.
struct AxisWeights {
    std::vector<int> First;            // first destination index a source index feeds
    std::vector<std::uint32_t> Weight; // its weight there; the rest goes to First+1
    std::uint32_t Total = 1;

    AxisWeights(int src, int dst)
    {
        First.resize(src);
        Weight.resize(src);
        Total = std::uint32_t(src);
        for (int i = 0; i < src; ++i) {
            const std::int64_t start = std::int64_t(i) * dst, end = start + dst;
            const int x = int(start / src);
            First[i] = x;
            Weight[i] = std::uint32_t(std::min<std::int64_t>(end, std::int64_t(x + 1) * src) - start);
        }
    }
};

} // namespace

TShellFlags shellFlagsOf(const std::string& path)
{
    TShellFlags f;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return f;
    f.Link = S_ISLNK(st.st_mode);
    if (f.Link && ::stat(path.c_str(), &st) != 0) return f; // a dangling link
    f.Exists = true;
    f.Folder = S_ISDIR(st.st_mode);
#ifdef STATX_ATTR_COMPRESSED
    struct statx sx {};
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS, &sx) == 0)
        f.Compressed = (sx.stx_attributes_mask & STATX_ATTR_COMPRESSED) && (sx.stx_attributes & STATX_ATTR_COMPRESSED);
#endif
    return f;
}

void thumbnailSizeFor(int width, int height, int size, int& thumbWidth, int& thumbHeight)
{
    if (width <= size && height <= size) {
        thumbWidth = width;
        thumbHeight = height;
    } else if (height < width) {
        thumbWidth = size;
        thumbHeight = int(std::nearbyint(double(height) * size / width));
    } else {
        thumbHeight = size;
        thumbWidth = int(std::nearbyint(double(width) * size / height));
    }
    // A sliver still shows as one pixel.
    thumbWidth = std::max(thumbWidth, width > 0 ? 1 : 0);
    thumbHeight = std::max(thumbHeight, height > 0 ? 1 : 0);
}

TThumbnail makeThumbnail(const TDecodedImage& image, int size, bool overWhite)
{
    TThumbnail t;
    if (image.Width <= 0 || image.Height <= 0) return t;
    thumbnailSizeFor(image.Width, image.Height, size, t.Width, t.Height);
    const int W = image.Width, H = image.Height, w = t.Width, h = t.Height;
    t.Pixels.assign(std::size_t(w) * h * 4, 255);

    // Most source columns lie wholly inside one thumbnail column and weigh w:
    // those are summed plainly and multiplied once; only the columns cut by a
    // thumbnail column's edge carry two weights.
    const AxisWeights xs(W, w), ys(H, h);
    std::vector<int> fullStart(w, 0), fullEnd(w, 0);
    std::vector<int> split;
    for (int i = 0; i < W; ++i) {
        if (xs.Weight[i] == std::uint32_t(w)) {
            const int x = xs.First[i];
            if (fullEnd[x] == fullStart[x]) fullStart[x] = i;
            fullEnd[x] = i + 1;
        } else {
            split.push_back(i);
        }
    }

    std::vector<std::uint8_t> converted(image.Format == TPixelFormat::pf24bit ? 0 : std::size_t(W) * 3);
    std::vector<std::uint32_t> hsum(std::size_t(w) * 3);
    std::vector<std::uint64_t> vsum(std::size_t(w) * h * 3, 0);
    for (int y = 0; y < H; ++y) {
        const std::uint8_t* bgr;
        if (image.Format == TPixelFormat::pf24bit) {
            bgr = image.row(y);
        } else {
            rowToBgr(image, y, TFiveBits::Replicate, overWhite, converted.data());
            bgr = converted.data();
        }
        for (int x = 0; x < w; ++x) {
            std::uint32_t s0 = 0, s1 = 0, s2 = 0;
            for (const std::uint8_t *p = bgr + std::size_t(fullStart[x]) * 3, *e = bgr + std::size_t(fullEnd[x]) * 3;
                 p < e; p += 3)
                s0 += p[0], s1 += p[1], s2 += p[2];
            std::uint32_t* d = &hsum[std::size_t(x) * 3];
            d[0] = s0 * std::uint32_t(w), d[1] = s1 * std::uint32_t(w), d[2] = s2 * std::uint32_t(w);
        }
        for (int i : split) {
            const std::uint8_t* p = bgr + std::size_t(i) * 3;
            const std::uint32_t a = xs.Weight[i], b = std::uint32_t(w) - a;
            std::uint32_t* d = &hsum[std::size_t(xs.First[i]) * 3];
            d[0] += p[0] * a, d[1] += p[1] * a, d[2] += p[2] * a;
            if (b) d[3] += p[0] * b, d[4] += p[1] * b, d[5] += p[2] * b;
        }
        const int row = ys.First[y];
        const std::uint64_t a = ys.Weight[y], b = std::uint64_t(h) - a;
        std::uint64_t* d0 = &vsum[std::size_t(row) * w * 3];
        for (std::size_t k = 0; k < hsum.size(); ++k) d0[k] += hsum[k] * a;
        if (b) {
            std::uint64_t* d1 = d0 + std::size_t(w) * 3;
            for (std::size_t k = 0; k < hsum.size(); ++k) d1[k] += hsum[k] * b;
        }
    }
    const std::uint64_t total = std::uint64_t(W) * H;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                t.Pixels[(std::size_t(y) * w + x) * 4 + c] =
                    std::uint8_t((vsum[(std::size_t(y) * w + x) * 3 + c] + total / 2) / total);
    return t;
}

TThumbnail makeThumbnail(const TGraphic& graphic, int size)
{
    return makeThumbnail(graphic.Raster(), size, graphic.DrawsTransparent());
}

std::string colorDepthText(const TDecodedImage& image)
{
    switch (image.Format) {
    case TPixelFormat::pf8bit:
        // 1- and 4-bit files arrive as 8-bit rows with their short palette.
        if (image.Palette.size() <= 2) return ", 2 colors";
        if (image.Palette.size() <= 16) return ", 16 colors";
        return ", 256 colors";
    case TPixelFormat::pf15bit: return ", 32K colors";
    case TPixelFormat::pf24bit: return ", 16M colors";
    case TPixelFormat::pf32bit: return ", 16M+ colors";
    }
    return {};
}

TThumbnailResult readThumbnail(const std::string& path, int size)
{
    TThumbnailResult r;
    try {
        TPicture picture;
        picture.LoadFromFile(path);
        const TGraphic* g = picture.Graphic();
        if (!g || g->Empty()) throw EPictureError("Picture is empty");
        const TDecodedImage& raster = g->Raster();
        if (raster.Width <= 0 || raster.Height <= 0) throw EPictureError("Picture is empty");
        r.Width = g->Width();
        r.Height = g->Height();
        r.DepthText = colorDepthText(raster);
        r.Thumbnail = std::make_shared<TThumbnail>(makeThumbnail(*g, size));
        r.Ok = true;
    } catch (const std::bad_alloc&) {
        r = {};
        r.Error = "Out of memory reading the picture";
    } catch (const std::exception& e) {
        r = {};
        r.Error = e.what();
    }
    return r;
}

std::string formatKilobytes(std::uint64_t bytes, const TNumberFormat& format)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", double(bytes) / 1024.0);
    std::string s(buf);
    const std::size_t dot = s.find('.');
    std::string whole = s.substr(0, dot), fraction = s.substr(dot + 1);
    std::string grouped;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0) grouped += format.GroupSeparator;
        grouped += whole[i];
    }
    return grouped + format.DecimalPoint + fraction + " KB, ";
}

const std::vector<std::string>& ImageExtensions()
{
    static const std::vector<std::string> list = [] {
        TPictureFormats readers;
        registerReaderFormats(readers);
        std::vector<std::string> v;
        for (const TPictureFormat& f : readers.Entries()) v.push_back("." + f.Extension);
        std::sort(v.begin(), v.end());
        v.erase(std::unique(v.begin(), v.end()), v.end());
        return v;
    }();
    return list;
}

bool isImageFileName(const std::string& name)
{
    const std::size_t slash = name.find_last_of('/');
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    std::string ext = name.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), asciiLower);
    const auto& list = ImageExtensions();
    return std::binary_search(list.begin(), list.end(), ext);
}

// --- The model ----------------------------------------------------------------

std::vector<std::string> TBackgroundImageModel::defaultRootPaths(const std::string& programFolder,
                                                                 const std::string& documentsFolder,
                                                                 const std::string& homeFolder)
{
    std::vector<std::string> candidates = {joinPath(programFolder, "Templates"), documentsFolder, homeFolder, "/"};
    std::vector<std::string> roots;
    for (const std::string& c : candidates) {
        if (c.empty()) continue;
        const std::string p = withoutTrailingSlash(c);
        if (std::find(roots.begin(), roots.end(), p) == roots.end()) roots.push_back(p);
    }
    return roots;
}

TBackgroundImageModel::TBackgroundImageModel(std::vector<std::string> rootPaths, int shortNamedRoots,
                                             TNumberFormat numberFormat)
    : rootPaths_(std::move(rootPaths)),
      numberFormat_(std::move(numberFormat))
{
    for (std::size_t k = 0; k < rootPaths_.size(); ++k) {
        auto n = std::make_unique<TShellObjectData>();
        n->PathName = rootPaths_[k];
        n->ShownName = int(k) < shortNamedRoots ? lastComponent(n->PathName) : n->PathName;
        n->ShellFlags = shellFlagsOf(n->PathName);
        n->CanExpand = n->ShellFlags.Folder && folderHasEntries(n->PathName);
        n->Row = int(k);
        roots_.push_back(std::move(n));
    }
}

std::vector<std::unique_ptr<TShellObjectData>> TBackgroundImageModel::VDT1InitChildren(TShellObjectData& node) const
{
    std::vector<std::unique_ptr<TShellObjectData>> rows;
    if (node.ChildrenListed || !node.ShellFlags.Folder) return rows;
    std::error_code ec;
    fs::directory_iterator it(node.PathName, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        // Hidden entries (configuration folders of the home folder) are noise here.
        if (name.empty() || name[0] == '.') continue;
        const std::string path = joinPath(node.PathName, name);
        const TShellFlags flags = shellFlagsOf(path);
        if (!flags.Exists || (!flags.Folder && !isImageFileName(name))) continue;
        auto n = std::make_unique<TShellObjectData>();
        n->PathName = path;
        n->ShownName = name;
        n->ShellFlags = flags;
        n->Parent = &node;
        if (flags.Folder) {
            n->CanExpand = folderHasEntries(path);
        } else {
            std::error_code sizeError;
            const std::uintmax_t bytes = fs::file_size(path, sizeError);
            n->Details = formatKilobytes(sizeError ? 0 : std::uint64_t(bytes), numberFormat_);
        }
        rows.push_back(std::move(n));
    }
    sortChildren(rows);
    return rows;
}

void TBackgroundImageModel::adoptChildren(TShellObjectData& node,
                                          std::vector<std::unique_ptr<TShellObjectData>> children)
{
    node.ChildrenListed = true;
    node.Children = std::move(children);
    for (std::size_t i = 0; i < node.Children.size(); ++i) {
        node.Children[i]->Parent = &node;
        node.Children[i]->Row = int(i);
    }
    node.CanExpand = !node.Children.empty();
}

void TBackgroundImageModel::expandNow(TShellObjectData& node)
{
    if (!node.ChildrenListed) adoptChildren(node, VDT1InitChildren(node));
}

void TBackgroundImageModel::applyThumbnail(TShellObjectData& node, const TThumbnailResult& result)
{
    node.ThumbnailDone = true;
    if (!result.Ok || !result.Thumbnail) return;
    node.Thumbnail = result.Thumbnail;
    node.Details += std::to_string(result.Width) + " x " + std::to_string(result.Height) + " pixels" + result.DepthText;
    if (node.Thumbnail->Height + 4 > DefaultRowHeight) node.RowHeight = node.Thumbnail->Height + 4;
}

void TBackgroundImageModel::initThumbnailNow(TShellObjectData& node)
{
    node.ThumbnailRequested = true;
    applyThumbnail(node, readThumbnail(node.PathName, ThumbnailSize));
}

int TBackgroundImageModel::VDT1CompareNodes(const TShellObjectData& a, const TShellObjectData& b, bool descending)
{
    int r;
    if (a.IsFolder() != b.IsFolder())
        r = a.IsFolder() ? -1 : 1;
    else
        r = compareAsciiNoCase(a.PathName, b.PathName);
    return descending ? -r : r;
}

void TBackgroundImageModel::sortChildren(std::vector<std::unique_ptr<TShellObjectData>>& rows) const
{
    const bool desc = SortDescending;
    std::stable_sort(rows.begin(), rows.end(),
                     [desc](const auto& a, const auto& b) { return VDT1CompareNodes(*a, *b, desc) < 0; });
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i]->Row = int(i);
}

void TBackgroundImageModel::sortTree()
{
    sortChildren(roots_);
    std::vector<TShellObjectData*> stack;
    for (auto& r : roots_) stack.push_back(r.get());
    while (!stack.empty()) {
        TShellObjectData* n = stack.back();
        stack.pop_back();
        sortChildren(n->Children);
        for (auto& c : n->Children) stack.push_back(c.get());
    }
}

bool TBackgroundImageModel::VDT1HeaderClick(int column)
{
    if (column != 0) {
        SortColumn = -1;
        return false;
    }
    if (SortColumn < 0) {
        SortColumn = 0;
        SortDescending = false;
    } else {
        SortDescending = !SortDescending;
    }
    sortTree();
    return true;
}

std::string TBackgroundImageModel::cellText(const TShellObjectData& node, int column) const
{
    switch (column) {
    case 0: return node.ShownName;
    case 2: return node.Thumbnail ? node.Details : std::string();
    default: return {};
    }
}

bool TBackgroundImageModel::VDT1DblClick(const TShellObjectData* row)
{
    if (!row || !row->IsPicture()) return false;
    NoChoice = false;
    ChosenFile = row->PathName;
    return true;
}

void TBackgroundImageModel::btnOkClick(const TShellObjectData* current)
{
    if (current && current->IsPicture()) {
        NoChoice = false;
        ChosenFile = current->PathName;
    }
}

void TBackgroundImageModel::btnCancelClick()
{
    NoChoice = true;
    ChosenFile.clear();
}

} // namespace velmora
