// Writes the pictures a new scene starts with: the placeholder box faces and
// the drop-shadow texture. Run it from the source tree's root (or give the
// resources folder as the argument) after changing the design:
//   build/bin/make_default_pictures resources

#include "output/JpegWriter.h"

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

const QColor deep(0x1d, 0x2b, 0x45);
const QColor mid(0x2f, 0x4f, 0x78);
const QColor accent(0xf2, 0xa5, 0x41);
const QColor paper(0xf4, 0xf1, 0xea);

void fillBackground(QPainter& p, const QRectF& r, bool vertical)
{
    QLinearGradient g(r.topLeft(), vertical ? r.bottomLeft() : r.topRight());
    g.setColorAt(0, mid);
    g.setColorAt(1, deep);
    p.fillRect(r, g);
}

QFont font(double pixels, int weight = QFont::Normal)
{
    QFont f("DejaVu Sans");
    f.setPixelSize(int(pixels));
    f.setWeight(QFont::Weight(weight));
    return f;
}

void drawFront(QImage& img)
{
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF r(0, 0, img.width(), img.height());
    fillBackground(p, r, true);

    // Inner frame and an accent band, as a real cover would have.
    p.setPen(QPen(QColor(255, 255, 255, 70), 3));
    p.drawRect(r.adjusted(36, 36, -36, -36));
    p.fillRect(QRectF(0, 690, r.width(), 10), accent); // runs on round the spine

    // An emblem: an open box outline in a circle.
    const QPointF c(r.center().x(), 300);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 28));
    p.drawEllipse(c, 170, 170);
    QPen line(paper, 10, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(line);
    p.setBrush(Qt::NoBrush);
    QPainterPath box;
    box.moveTo(c + QPointF(-90, -30));
    box.lineTo(c + QPointF(0, -75));
    box.lineTo(c + QPointF(90, -30));
    box.lineTo(c + QPointF(0, 15));
    box.closeSubpath();
    box.moveTo(c + QPointF(-90, -30));
    box.lineTo(c + QPointF(-90, 70));
    box.lineTo(c + QPointF(0, 115));
    box.lineTo(c + QPointF(90, 70));
    box.lineTo(c + QPointF(90, -30));
    box.moveTo(c + QPointF(0, 15));
    box.lineTo(c + QPointF(0, 115));
    p.drawPath(box);

    p.setPen(paper);
    p.setFont(font(92, QFont::Bold));
    p.drawText(QRectF(0, 520, r.width(), 120), Qt::AlignCenter, "Your Product");
    p.setFont(font(30));
    p.setPen(QColor(255, 255, 255, 200));
    p.drawText(QRectF(0, 620, r.width(), 50), Qt::AlignCenter, "Placeholder box design");
    p.setFont(font(34));
    p.setPen(paper);
    p.drawText(QRectF(60, 740, r.width() - 120, 120), Qt::AlignCenter | Qt::TextWordWrap,
               "Load a picture for each face");
    p.setFont(font(22));
    p.setPen(QColor(255, 255, 255, 150));
    p.drawText(QRectF(60, 880, r.width() - 120, 60), Qt::AlignCenter,
               "Box Settings \u2192 Load, or New for the face editor");
}

void drawSide(QImage& img)
{
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF r(0, 0, img.width(), img.height());
    fillBackground(p, r, true);
    p.fillRect(QRectF(0, 690, r.width(), 10), accent);
    p.setPen(QPen(QColor(255, 255, 255, 70), 3));
    p.drawRect(r.adjusted(18, 36, -18, -36));
    // Spine text reads bottom to top.
    p.save();
    p.translate(r.center().x(), 360);
    p.rotate(-90);
    p.setPen(paper);
    p.setFont(font(56, QFont::Bold));
    p.drawText(QRectF(-300, -45, 600, 90), Qt::AlignCenter, "Your Product");
    p.restore();
    p.save();
    p.translate(r.center().x(), 850);
    p.rotate(-90);
    p.setPen(QColor(255, 255, 255, 170));
    p.setFont(font(22));
    p.drawText(QRectF(-150, -20, 300, 40), Qt::AlignCenter, "Placeholder");
    p.restore();
}

void drawTop(QImage& img)
{
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF r(0, 0, img.width(), img.height());
    fillBackground(p, r, false);
    p.fillRect(QRectF(0, r.height() - 14, r.width(), 6), accent);
    p.setPen(paper);
    p.setFont(font(48, QFont::Bold));
    p.drawText(r.adjusted(0, -6, 0, -6), Qt::AlignCenter, "Your Product");
}

void saveJpeg(const QImage& drawn, const std::filesystem::path& file)
{
    const QImage rgb = drawn.convertToFormat(QImage::Format_RGB888);
    velmora::TRgbRows rows{rgb.constBits(), rgb.width(), rgb.height(), rgb.bytesPerLine(), false};
    velmora::saveJpegFile(file.string(), rows, 90);
}

// 256 x 256, 32 bits, black; alpha 255 inside, easing down to about 5 at the
// border over the outer 60 pixels, with rounded corners.
void saveShadow(const std::filesystem::path& file)
{
    const int size = 256;
    const double band = 60;
    std::vector<std::uint8_t> tga(18, 0);
    tga[2] = 2;
    tga[12] = size & 0xFF;
    tga[13] = size >> 8;
    tga[14] = size & 0xFF;
    tga[15] = size >> 8;
    tga[16] = 32;
    tga[17] = 8; // eight alpha bits, rows bottom-up
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            // Distance inside the band, measured from the rounded inner square.
            const double dx = std::max(0.0, band - std::min(x + 0.5, size - x - 0.5));
            const double dy = std::max(0.0, band - std::min(y + 0.5, size - y - 0.5));
            const double t = std::clamp(1.0 - std::hypot(dx, dy) / band, 0.0, 1.0);
            const double ease = t * t * (3 - 2 * t);
            const double a = 5 + 250 * ease;
            tga.insert(tga.end(), {0, 0, 0, std::uint8_t(std::nearbyint(a))});
        }
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(tga.data()), std::streamsize(tga.size()));
    if (!out) throw std::runtime_error("Cannot write " + file.string());
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const std::filesystem::path root = argc > 1 ? argv[1] : "resources";
    try {
        std::filesystem::create_directories(root / "Faces");
        std::filesystem::create_directories(root / "Media");
        QImage front(800, 1010, QImage::Format_RGB32);
        drawFront(front);
        saveJpeg(front, root / "Faces" / "Front.jpg");
        QImage side(166, 1010, QImage::Format_RGB32);
        drawSide(side);
        saveJpeg(side, root / "Faces" / "Side.jpg");
        QImage top(800, 120, QImage::Format_RGB32);
        drawTop(top);
        saveJpeg(top, root / "Faces" / "Top.jpg");
        saveShadow(root / "Media" / "Shadow.tga");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_default_pictures: %s\n", e.what());
        return 1;
    }
    return 0;
}
