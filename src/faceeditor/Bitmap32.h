#pragma once
// The face editor's 32-bit raster: pixels 0xAARRGGBB (bytes B, G, R, A in
// memory, not premultiplied), the blend rules, drawing one bitmap onto another
// at a position or stretched, quarter turns, text and picture files.
// Pixel code is plain C++; only text goes through the toolkit's font services.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora {

using TColor32 = std::uint32_t;
using TArrayOfColor32 = std::vector<TColor32>;

enum TDrawMode { dmOpaque = 0, dmBlend = 1, dmCustom = 2 };
enum TCombineMode { cmBlend = 0, cmMerge = 1 };
enum TStretchFilter {
    sfNearest = 0,
    sfDraft = 1,
    sfLinear = 2,
    sfCosine = 3,
    sfSpline = 4,
    sfLanczos = 5,
    sfMitchell = 6
};

// Integer rectangle, right and bottom exclusive.
struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool empty() const { return Right <= Left || Bottom <= Top; }
    bool operator==(const TRect&) const = default;
};

TRect intersectRect(const TRect& a, const TRect& b); // empty result is all zero

struct TFloatRect {
    float Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool operator==(const TFloatRect&) const = default;
};

// The raster's font description. Height is the character height in pixels.
struct TFont32 {
    enum Style : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
    std::string Name = "DejaVu Sans";
    int Height = 11;
    unsigned Styles = 0;
    std::uint32_t Color = 0; // window colour 0x00BBGGRR
    bool operator==(const TFont32&) const = default;
};

class EBitmapError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr int alphaOf(TColor32 c)
{
    return int(c >> 24);
}
inline constexpr int redOf(TColor32 c)
{
    return int(c >> 16) & 255;
}
inline constexpr int greenOf(TColor32 c)
{
    return int(c >> 8) & 255;
}
inline constexpr int blueOf(TColor32 c)
{
    return int(c) & 255;
}
inline constexpr TColor32 color32(int r, int g, int b, int a = 255)
{
    return TColor32(a) << 24 | TColor32(r) << 16 | TColor32(g) << 8 | TColor32(b);
}

// Window colour (0x00BBGGRR, negative: system colour) to an opaque pixel.
TColor32 ToColor32(std::int32_t windowColor);
// The colour the platform uses for a system colour index (value AND 0xFF).
std::uint32_t systemWindowColor(int index);

inline constexpr int PixelIntensity(TColor32 c)
{
    return (redOf(c) * 61 + greenOf(c) * 174 + blueOf(c) * 21) >> 8;
}
inline constexpr TColor32 GrayPixel(int i, int a)
{
    return TColor32(a) << 24 | TColor32(i) * 0x010101u;
}
inline constexpr TColor32 WithAlpha(TColor32 c, int a)
{
    a = a < 0 ? 0 : a > 255 ? 255 : a;
    return (c & 0x00FFFFFFu) | TColor32(a) << 24;
}

class TBitmap32;
void AlphaFromIntensity(TBitmap32& target, const TBitmap32& source);
void GrayFromColor(TBitmap32& target, const TBitmap32& source, bool keepAlpha);

class TGraphic;
class TPicture;

class TBitmap32 {
public:
    TBitmap32() = default;
    TBitmap32(int width, int height) { SetDimensions(width, height); }
    TBitmap32(const TBitmap32&) = delete;
    TBitmap32& operator=(const TBitmap32&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }
    TRect BoundsRect() const { return {0, 0, width_, height_}; }
    TRect ClipRect() const { return clip_; }

    TColor32* Bits() { return pixels_.data(); }
    const TColor32* Bits() const { return pixels_.data(); }
    TColor32* Row(int y) { return pixels_.data() + std::size_t(y) * width_; }
    const TColor32* Row(int y) const { return pixels_.data() + std::size_t(y) * width_; }
    TColor32& Pixel(int x, int y) { return Row(y)[x]; }
    TColor32 Pixel(int x, int y) const { return Row(y)[x]; }

    // Negative sizes become 0. A new size reallocates (all pixels 0). Sizes
    // beyond what the pixel store can hold fail and leave the bitmap empty.
    void SetDimensions(int width, int height);
    void SetWidth(int width) { SetDimensions(width, height_); }
    void SetHeight(int height) { SetDimensions(width_, height); }
    void FillAll(TColor32 c);
    void MakeOpaque();

    void CopyFrom(const TBitmap32& source);
    void CopyFrom(const TGraphic* graphic); // null: becomes empty
    void CopyFrom(const TPicture& picture);
    void Clear() { SetDimensions(0, 0); }

    TDrawMode DrawMode() const { return drawMode_; }
    void SetDrawMode(TDrawMode m);
    TCombineMode CombineMode() const { return combineMode_; }
    void SetCombineMode(TCombineMode m);
    int MasterAlpha() const { return masterAlpha_; }
    void SetMasterAlpha(int a);
    TStretchFilter StretchFilter() const { return stretchFilter_; }
    void SetStretchFilter(TStretchFilter f);

    const TFont32& Font() const { return font_; }
    void SetFont(const TFont32& f) { font_ = f; }
    TFont32& FontRef() { return font_; }

    // Lays this bitmap onto target by this bitmap's draw mode and master alpha.
    void DrawAt(TBitmap32& target, int x, int y) const;
    void DrawStretched(TBitmap32& target, const TRect& rect) const;
    // As DrawStretched, limited to clip (in target pixels) as well.
    void DrawStretched(TBitmap32& target, const TRect& rect, const TRect& clip) const;

    void RotateQuarterRight();
    void RotateHalf();
    void RotateQuarterLeft();
    void MirrorLeftRight();
    void MirrorTopBottom();

    void DrawTextPlain(int x, int y, const std::string& text);
    struct TSize {
        int Width = 0, Height = 0;
    };
    TSize MeasureText(const std::string& text) const;
    void DrawTextSmooth(int x, int y, const std::string& text, int level, TColor32 color);

    void LoadPicture(const std::string& fileName);
    void SavePicture(const std::string& fileName) const;
    // The bytes SavePicture writes.
    std::vector<std::uint8_t> EncodeBmp32() const;

    std::function<void()> OnChange;
    void BeginUpdate() { ++updateCount_; }
    void EndUpdate()
    {
        if (updateCount_ > 0) --updateCount_;
    }
    void Changed();

private:
    void adopt(int width, int height, std::vector<TColor32>&& pixels);

    int width_ = 0, height_ = 0;
    std::vector<TColor32> pixels_;
    TRect clip_;
    TDrawMode drawMode_ = dmOpaque;
    TCombineMode combineMode_ = cmBlend;
    int masterAlpha_ = 255;
    TStretchFilter stretchFilter_ = sfNearest;
    TFont32 font_;
    int updateCount_ = 0;
};

// The glyph bitmap DrawTextSmooth lays down (colour RGB, coverage in alpha).
void renderSmoothGlyphs(TBitmap32& glyphs, const TFont32& font, const std::string& text, int level, TColor32 color);

// Largest pixel store a bitmap accepts (the picture readers' limit).
constexpr std::int64_t MaxBitmapPixels = std::int64_t(1) << 28;

} // namespace velmora
