// Kodak Photo-CD image packs: only the 768 x 512 base image is read. It is
// stored as luma at full size and two chroma planes at half size in both
// directions, in pairs of lines: Y, Y, C1, C2.
#include <algorithm>
#include <cmath>

#include "pictures/DecoderSupport.h"
#include "pictures/Decoders.h"

namespace velmora {

namespace {
constexpr int BaseWidth = 768, BaseHeight = 512;
constexpr std::size_t BaseOffset = 0x30000;
} // namespace

void decodePcd(const std::uint8_t* data, std::size_t size, TDecodedImage& out)
{
    decoders::ByteReader r(data, size, "PCD");
    r.need(0x808);
    if (!decoders::startsWith(r.at(0x800, 7), "PCD_IPI")) r.fail("missing PCD_IPI signature");
    const std::size_t pairBytes = BaseWidth * 3; // two luma lines and two half chroma lines
    r.seek(BaseOffset);
    const auto base = r.take(pairBytes * (BaseHeight / 2));

    TDecodedImage img;
    img.allocate(BaseWidth, BaseHeight, TPixelFormat::pf24bit);
    auto clamp = [](double v) { return std::uint8_t(std::clamp(std::nearbyint(v), 0.0, 255.0)); };
    for (int pair = 0; pair < BaseHeight / 2; ++pair) {
        const auto p = base.subspan(pairBytes * pair, pairBytes);
        const auto c1 = p.subspan(2 * BaseWidth, BaseWidth / 2);
        const auto c2 = p.subspan(2 * BaseWidth + BaseWidth / 2, BaseWidth / 2);
        for (int line = 0; line < 2; ++line) {
            const auto luma = p.subspan(std::size_t(line) * BaseWidth, BaseWidth);
            std::uint8_t* row = img.row(pair * 2 + line);
            for (int x = 0; x < BaseWidth; ++x) {
                // Kodak's YCC: luma scaled by 1.3584, chroma centred on 156 and 137.
                const double y = 1.3584 * luma[x];
                const double b = 2.2179 * (c1[x / 2] - 156.0);
                const double rr = 1.8215 * (c2[x / 2] - 137.0);
                row[x * 3] = clamp(y + b);
                row[x * 3 + 1] = clamp(y - 0.194 * b - 0.509 * rr);
                row[x * 3 + 2] = clamp(y + rr);
            }
        }
    }
    out = std::move(img);
}

} // namespace velmora
