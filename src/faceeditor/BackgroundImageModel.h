#pragma once
// The rows of the background picture browser without any widget: the roots,
// folders listed when first opened, picture rows with their thumbnail and
// properties text, the sort order and header-click state, and the choice.
// The window (BackgroundImage.h) mirrors this model; thumbnails are made by
// readThumbnail, which is safe to run on any thread.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

struct TDecodedImage;
class TGraphic;

// What the file system tells about a path: folder, subfolders, compressed, link.
struct TShellFlags {
    bool Exists = false;
    bool Folder = false;
    bool Compressed = false;
    bool Shared = false; // no such notion on Linux; kept for the icon overlay rule
    bool Link = false;   // a symbolic link: drawn as a shortcut
};

TShellFlags shellFlagsOf(const std::string& path);

// A reduced picture, opaque B,G,R,A rows top row first.
struct TThumbnail {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Pixels;
};

// The outcome of reading one picture for its row.
struct TThumbnailResult {
    bool Ok = false;
    int Width = 0; // of the picture
    int Height = 0;
    std::string DepthText; // ", 16M colors" and the like, or empty
    std::shared_ptr<const TThumbnail> Thumbnail;
    std::string Error; // the reader's message when !Ok
};

constexpr int DefaultThumbnailSize = 200;
constexpr int DefaultRowHeight = 38;

// The 200-pixel rule: a copy when both sides fit, else the longer side
// becomes `size` and the other is rounded (halves to even).
void thumbnailSizeFor(int width, int height, int size, int& thumbWidth, int& thumbHeight);

// Reduces by area averaging (every source pixel weighs by the part of it a
// thumbnail pixel covers). Transparent graphics are drawn over white first.
TThumbnail makeThumbnail(const TGraphic& graphic, int size);
TThumbnail makeThumbnail(const TDecodedImage& image, int size, bool overWhite = false);

std::string colorDepthText(const TDecodedImage& image);

// Reads the picture by its extension and reduces it. Never throws.
TThumbnailResult readThumbnail(const std::string& path, int size = DefaultThumbnailSize);

// Separators of the user's number format. The default is the C locale's:
// a point and no grouping.
struct TNumberFormat {
    std::string DecimalPoint = ".";
    std::string GroupSeparator;
};

// "%n KB, ": bytes / 1024 with two decimals and thousands grouping.
std::string formatKilobytes(std::uint64_t bytes, const TNumberFormat& format);

// Extensions of the image-format readers with a leading dot, sorted.
const std::vector<std::string>& ImageExtensions();
// Whether the file's extension is one of ImageExtensions (case ignored).
bool isImageFileName(const std::string& name);

struct TShellObjectData {
    std::string PathName;
    std::string ShownName;
    TShellFlags ShellFlags;
    std::shared_ptr<const TThumbnail> Thumbnail;
    std::string Details;

    TShellObjectData* Parent = nullptr;
    std::vector<std::unique_ptr<TShellObjectData>> Children;
    int Row = 0;            // index among its parent's children (or the roots)
    bool CanExpand = false; // a folder with something in it
    bool ChildrenListed = false;
    bool ThumbnailRequested = false;
    bool ThumbnailDone = false;
    int RowHeight = DefaultRowHeight;

    bool IsFolder() const { return ShellFlags.Folder; }
    bool IsPicture() const { return !ShellFlags.Folder && Parent; }
};

class TBackgroundImageModel {
public:
    // Roots as the window shows them: the program's "Templates" folder, the
    // documents folder, the home folder and the file system root. Paths equal
    // to an earlier root are left out.
    static std::vector<std::string> defaultRootPaths(const std::string& programFolder,
                                                     const std::string& documentsFolder, const std::string& homeFolder);

    // `shortNamedRoots`: how many leading roots show only their last path
    // component (the templates and documents folders); the others show the
    // whole path.
    explicit TBackgroundImageModel(std::vector<std::string> rootPaths, int shortNamedRoots = 2,
                                   TNumberFormat numberFormat = {});

    const std::vector<std::string>& RootPaths() const { return rootPaths_; }
    const std::vector<std::unique_ptr<TShellObjectData>>& roots() const { return roots_; }
    int ThumbnailSize = DefaultThumbnailSize;

    bool NoChoice = true;
    std::string ChosenFile;

    // Header sort state: column -1 means no sort column (no arrow).
    int SortColumn = -1;
    bool SortDescending = false;

    // Lists a folder the first time it is opened: folders and pictures only,
    // sorted by the current direction. Returns the rows added (empty for a
    // folder that cannot be read or is empty). Nothing is attached yet: the
    // caller announces the rows, then calls adoptChildren.
    std::vector<std::unique_ptr<TShellObjectData>> VDT1InitChildren(TShellObjectData& node) const;
    void adoptChildren(TShellObjectData& node, std::vector<std::unique_ptr<TShellObjectData>> children);
    // Lists and adopts at once (for callers that announce nothing).
    void expandNow(TShellObjectData& node);

    // Puts a picture's reading into its row: thumbnail, size and depth text,
    // row height. A failed read leaves the row without thumbnail.
    void applyThumbnail(TShellObjectData& node, const TThumbnailResult& result);
    // Reads the picture on the calling thread and applies it.
    void initThumbnailNow(TShellObjectData& node);

    // Folders before files, then full paths with ASCII letters compared
    // without regard to case; a descending sort reverses the whole result.
    static int VDT1CompareNodes(const TShellObjectData& a, const TShellObjectData& b, bool descending);
    // Left click on a header column. Returns true when the tree was re-sorted.
    bool VDT1HeaderClick(int column);
    void sortTree();

    // Text of a cell: the name, nothing, or the properties of a row that has
    // a thumbnail.
    std::string cellText(const TShellObjectData& node, int column) const;

    // Returns true when the window closes.
    bool VDT1DblClick(const TShellObjectData* row);
    void btnOkClick(const TShellObjectData* current);
    void btnCancelClick();

private:
    void sortChildren(std::vector<std::unique_ptr<TShellObjectData>>& rows) const;

    std::vector<std::string> rootPaths_;
    std::vector<std::unique_ptr<TShellObjectData>> roots_;
    TNumberFormat numberFormat_;
};

} // namespace velmora
