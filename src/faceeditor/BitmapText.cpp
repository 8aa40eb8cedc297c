// Text on the 32-bit raster through the toolkit's font services: a QImage
// shares the bitmap's pixel store (its ARGB32 layout is the pixel layout).

#include "faceeditor/Bitmap32.h"
#include "faceeditor/FontServices.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>

namespace velmora {

namespace {

constexpr std::int64_t MaxGlyphSurfacePixels = std::int64_t(1) << 26;

std::mutex& workSurfaceLock()
{
    static std::mutex m;
    return m;
}

QFont realise(const TFont32& f, int height, bool smooth)
{
    QFont q(QString::fromStdString(f.Name));
    q.setPixelSize(std::max(1, height));
    q.setBold(f.Styles & TFont32::fsBold);
    q.setItalic(f.Styles & TFont32::fsItalic);
    q.setUnderline(f.Styles & TFont32::fsUnderline);
    q.setStrikeOut(f.Styles & TFont32::fsStrikeOut);
    q.setStyleStrategy(smooth ? QFont::PreferDefault : QFont::NoAntialias);
    if (!smooth) q.setHintingPreference(QFont::PreferFullHinting);
    return q;
}

QColor windowColor(std::uint32_t c)
{
    return QColor(int(c & 255), int(c >> 8 & 255), int(c >> 16 & 255));
}

TBitmap32::TSize measure(const QFont& font, const QString& text)
{
    const QFontMetrics fm(font);
    return {fm.horizontalAdvance(text), fm.height()};
}

void drawText(TBitmap32& b, const QFont& font, std::uint32_t color, int x, int y, const QString& text)
{
    if (b.Empty()) return;
    QImage surface(reinterpret_cast<uchar*>(b.Bits()), b.Width(), b.Height(), b.Width() * 4, QImage::Format_ARGB32);
    QPainter p(&surface);
    p.setFont(font);
    p.setPen(windowColor(color));
    const TRect clip = b.ClipRect();
    if (!(clip == b.BoundsRect())) p.setClipRect(clip.Left, clip.Top, clip.Width(), clip.Height());
    p.drawText(x, y + QFontMetrics(font).ascent(), text);
    p.end();
    b.Changed();
}

} // namespace

void ensureFontServices()
{
    if (QCoreApplication::instance()) return;
    // Text needs the toolkit's font services even without a display; a full
    // application, so the editor's widgets can follow in the same process.
    static int argc = 3;
    static char arg0[] = "velmora", arg1[] = "-platform", arg2[] = "offscreen";
    static char* argv[] = {arg0, arg1, arg2, nullptr};
    // Start-up notes of the display-less platform (no runtime folder and the
    // like) are of no use on a command line.
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    static std::unique_ptr<QApplication> app(new QApplication(argc, argv));
    qInstallMessageHandler(previous);
}

void TBitmap32::DrawTextPlain(int x, int y, const std::string& text)
{
    ensureFontServices();
    drawText(*this, realise(font_, font_.Height, true), font_.Color, x, y, QString::fromStdString(text));
}

TBitmap32::TSize TBitmap32::MeasureText(const std::string& text) const
{
    ensureFontServices();
    return measure(realise(font_, font_.Height, true), QString::fromStdString(text));
}

void renderSmoothGlyphs(TBitmap32& glyphs, const TFont32& font, const std::string& text, int level, TColor32 color)
{
    ensureFontServices();
    level = std::clamp(level, 0, 4);
    const TColor32 rgb = color & 0xFFFFFF;
    const QString t = QString::fromStdString(text);
    const QString padded = t + QLatin1Char(' ');
    if (level > 0) {
        const int n = 1 << level;
        TBitmap32 big;
        TFont32 bigFont = font;
        bigFont.Height = font.Height * n;
        const QFont q = realise(bigFont, bigFont.Height, false);
        TBitmap32::TSize sz;
        {
            std::lock_guard<std::mutex> lock(workSurfaceLock());
            sz = measure(q, padded);
        }
        const int w = ((sz.Width >> level) + 1) << level;
        const int h = ((sz.Height >> level) + 1) << level;
        // The glyphs are drawn at up to 16 times the size; beyond this the
        // work surface alone would take gigabytes.
        if (std::int64_t(w) * h > MaxGlyphSurfacePixels)
            throw EBitmapError("The text is too large to draw (" + std::to_string(w >> level) + " x " +
                               std::to_string(h >> level) + " pixels at " + std::to_string(n) + " times the size)");
        big.SetDimensions(w, h);
        drawText(big, q, 0xFFFFFF, 0, 0, t);
        glyphs.SetDimensions(w >> level, h >> level);
        for (int v = 0; v < h >> level; ++v) {
            TColor32* out = glyphs.Row(v);
            for (int u = 0; u < w >> level; ++u) {
                unsigned s = 0;
                for (int by = 0; by < n; ++by) {
                    const TColor32* in = big.Row(v * n + by) + u * n;
                    for (int bx = 0; bx < n; ++bx) s += in[bx] & 255;
                }
                out[u] = rgb | TColor32(s >> level >> level) << 24;
            }
        }
    } else {
        const QFont q = realise(font, font.Height, false);
        const TBitmap32::TSize sz = measure(q, padded);
        glyphs.SetDimensions(sz.Width, sz.Height);
        drawText(glyphs, q, 0xFFFFFF, 0, 0, t);
        const std::size_t count = std::size_t(glyphs.Width()) * glyphs.Height();
        TColor32* px = glyphs.Bits();
        for (std::size_t i = 0; i < count; ++i)
            if (px[i] != 0) px[i] = rgb | (px[i] & 255) << 24;
    }
}

void TBitmap32::DrawTextSmooth(int x, int y, const std::string& text, int level, TColor32 color)
{
    if (Empty()) return;
    TBitmap32 glyphs;
    renderSmoothGlyphs(glyphs, font_, text, level, color);
    glyphs.SetDrawMode(dmBlend);
    glyphs.SetMasterAlpha(int(color >> 24));
    glyphs.SetCombineMode(combineMode_);
    glyphs.DrawAt(*this, x, y);
}

} // namespace velmora
