#include <gtest/gtest.h>

#include "pictures/Picture.h"
#include "pictures/Rasters.h"

#include <cstdint>
#include <random>
#include <vector>

using namespace velmora;

namespace {

// A raster graphic that is not a bitmap, or one drawn with transparency.
class PlainGraphic : public TRasterGraphic {
public:
    explicit PlainGraphic(TDecodedImage image, bool transparent) : transparent_(transparent)
    {
        image_ = std::move(image);
    }
    const char* ClassName() const override { return "PlainGraphic"; }
    void LoadFromBytes(const std::uint8_t*, std::size_t) override {}
    void SaveToStream(std::ostream&) const override {}
    std::size_t ReadData(const std::uint8_t*, std::size_t) override { return 0; }
    std::vector<std::uint8_t> WriteData() const override { return {}; }
    bool DrawsTransparent() const override { return transparent_; }

private:
    bool transparent_;
};

class IconBitmap : public TBitmap {
public:
    bool DrawsTransparent() const override { return true; }
};

// The face editor's own conversion before it moved here, written pixel by
// pixel, as 0xAARRGGBB values.
std::vector<std::uint32_t> drawnPixelByPixel(const TGraphic& graphic)
{
    const TDecodedImage& img = graphic.Raster();
    auto pixel = [&](int x, int y, int bgra[4]) {
        const std::uint8_t* row = img.row(y);
        switch (img.Format) {
        case TPixelFormat::pf8bit:
            for (int c = 0; c < 3; ++c) bgra[c] = row[x] < img.Palette.size() ? img.Palette[row[x]][c] : 0;
            bgra[3] = 255;
            break;
        case TPixelFormat::pf15bit: {
            const int w = row[2 * x] | row[2 * x + 1] << 8;
            for (int c = 0; c < 3; ++c) bgra[c] = (w >> (5 * c) & 31) << 3;
            bgra[3] = 255;
            break;
        }
        case TPixelFormat::pf24bit:
            for (int c = 0; c < 3; ++c) bgra[c] = row[3 * x + c];
            bgra[3] = 255;
            break;
        case TPixelFormat::pf32bit:
            for (int c = 0; c < 4; ++c) bgra[c] = row[4 * x + c];
            break;
        }
    };
    auto over = [](int c, int a, int bg) { return (c * a + bg * (255 - a) + 127) / 255; };
    const bool keepAlpha = dynamic_cast<const TBitmap*>(&graphic) && img.Format == TPixelFormat::pf32bit;
    std::vector<std::uint32_t> out;
    for (int y = 0; y < img.Height; ++y)
        for (int x = 0; x < img.Width; ++x) {
            int p[4];
            pixel(x, y, p);
            int b = p[0], g = p[1], r = p[2], a = p[3];
            if (graphic.DrawsTransparent()) {
                // Onto white and onto red: blue and green tell what shows through.
                const bool same = over(b, a, 255) == over(b, a, 0) && over(g, a, 255) == over(g, a, 0);
                b = over(b, a, 255), g = over(g, a, 255), r = over(r, a, 255);
                a = same ? 255 : 0;
            } else if (!keepAlpha) {
                a = 255;
            }
            out.push_back(std::uint32_t(a) << 24 | std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | std::uint32_t(b));
        }
    return out;
}

TDecodedImage randomImage(TPixelFormat format, int w, int h, std::mt19937& rng)
{
    TDecodedImage img;
    img.allocate(w, h, format);
    for (auto& byte : img.Pixels) byte = std::uint8_t(rng());
    if (format == TPixelFormat::pf8bit) {
        img.Palette.resize(200); // indices past it draw black
        for (auto& e : img.Palette) e = {std::uint8_t(rng()), std::uint8_t(rng()), std::uint8_t(rng()), 0};
    }
    if (format == TPixelFormat::pf32bit) {
        // Alphas at the ends, where rounding decides what shows through.
        const std::uint8_t edges[] = {0, 1, 2, 127, 128, 253, 254, 255};
        for (std::size_t i = 3; i < img.Pixels.size(); i += 4)
            if (rng() % 2) img.Pixels[i] = edges[rng() % 8];
    }
    return img;
}

std::vector<std::uint32_t> drawn(const TGraphic& graphic)
{
    const TDecodedImage& img = graphic.Raster();
    std::vector<std::uint8_t> bytes(std::size_t(img.Width) * img.Height * 4, 0xCD);
    drawToBgra(graphic, bytes.data());
    std::vector<std::uint32_t> out;
    for (std::size_t i = 0; i < bytes.size(); i += 4)
        out.push_back(std::uint32_t(bytes[i + 3]) << 24 | std::uint32_t(bytes[i + 2]) << 16 |
                      std::uint32_t(bytes[i + 1]) << 8 | bytes[i]);
    return out;
}

} // namespace

TEST(RastersTest, DrawToBgraMatchesPixelByPixelForEveryFormatAndKindOfGraphic)
{
    std::mt19937 rng(7);
    for (TPixelFormat format :
         {TPixelFormat::pf8bit, TPixelFormat::pf15bit, TPixelFormat::pf24bit, TPixelFormat::pf32bit}) {
        for (int w : {1, 3, 17}) {
            SCOPED_TRACE(testing::Message() << "format " << int(format) << ", width " << w);
            const TDecodedImage img = randomImage(format, w, 5, rng);
            TBitmap bitmap;
            bitmap.Assign(img);
            IconBitmap icon;
            icon.Assign(img);
            const PlainGraphic plain(img, false), plainTransparent(img, true);
            EXPECT_EQ(drawn(bitmap), drawnPixelByPixel(bitmap));
            EXPECT_EQ(drawn(icon), drawnPixelByPixel(icon));
            EXPECT_EQ(drawn(plain), drawnPixelByPixel(plain));
            EXPECT_EQ(drawn(plainTransparent), drawnPixelByPixel(plainTransparent));
        }
    }
}

TEST(RastersTest, OwningBitmapViewsItsRowsAndTreatsNegativeSizesAsEmpty)
{
    TGLBitmap24 bitmap(5, 3);
    bitmap.pixel(4, 2)[2] = 9;
    const TRgb24Rows<std::uint8_t> rows = bitmap.view();
    EXPECT_EQ(rows.Stride, 15);
    EXPECT_TRUE(rows.Bgr);
    EXPECT_EQ(rows.pixel(4, 2)[2], 9);

    const TGLBitmap24 negative(-4, 3);
    EXPECT_EQ(negative.Width, 0);
    EXPECT_EQ(negative.dataSize(), 0u);
    EXPECT_EQ(TGLBitmap32(7, -1).dataSize(), 0u);
}
