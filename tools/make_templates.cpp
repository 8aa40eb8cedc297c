// Writes the face backgrounds of the "Templates" folder, sized for the front
// and back of a standard box (919 x 1124). Every picture is computed here, so
// the output is the same on every run. From the source tree's root:
//   build/bin/make_templates resources

#include "output/JpegWriter.h"

#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <utility>

namespace {

constexpr int W = 919;
constexpr int H = 1124;
constexpr double Pi = 3.14159265358979323846;

// Lattice value noise from an integer hash: smooth, repeatable, no tables.
double hashUnit(int x, int y, int seed)
{
    std::uint32_t h = std::uint32_t(x) * 374761393u + std::uint32_t(y) * 668265263u + std::uint32_t(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return double(h & 0xFFFFFF) / double(0xFFFFFF);
}

double smooth(double t)
{
    return t * t * (3 - 2 * t);
}

double valueNoise(double x, double y, int seed)
{
    const int xi = int(std::floor(x)), yi = int(std::floor(y));
    const double fx = smooth(x - xi), fy = smooth(y - yi);
    const double a = hashUnit(xi, yi, seed), b = hashUnit(xi + 1, yi, seed);
    const double c = hashUnit(xi, yi + 1, seed), d = hashUnit(xi + 1, yi + 1, seed);
    return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fy;
}

// Fractal sum of octaves, 0..1.
double fbm(double x, double y, int octaves, int seed)
{
    double sum = 0, amp = 0.5, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * valueNoise(x, y, seed + o * 101);
        norm += amp;
        x *= 2.03;
        y *= 2.03;
        amp *= 0.5;
    }
    return sum / norm;
}

int clamp255(double v)
{
    return std::clamp(int(std::lround(v)), 0, 255);
}

QColor mix(const QColor& a, const QColor& b, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return QColor(clamp255(a.red() + (b.red() - a.red()) * t), clamp255(a.green() + (b.green() - a.green()) * t),
                  clamp255(a.blue() + (b.blue() - a.blue()) * t));
}

void perPixel(QImage& img, const std::function<QColor(double x, double y)>& f)
{
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) row[x] = f(x, y).rgb();
    }
}

// A picture whose every pixel is colour(x, y).
QImage field(const std::function<QColor(double x, double y)>& colour)
{
    QImage img(W, H, QImage::Format_RGB32);
    perPixel(img, colour);
    return img;
}

// A picture between two colours, amount(x, y) of the way from a to b.
QImage twoTone(const QColor& a, const QColor& b, const std::function<double(double x, double y)>& amount)
{
    return field([&](double x, double y) { return mix(a, b, amount(x, y)); });
}

// A picture filled with a gradient through the given stops.
QImage gradientFill(QGradient g, std::initializer_list<std::pair<double, QColor>> stops)
{
    QImage img(W, H, QImage::Format_RGB32);
    for (const auto& [at, colour] : stops) g.setColorAt(at, colour);
    QPainter(&img).fillRect(img.rect(), g);
    return img;
}

// Dot k of a scattering: a circle of radius r at a place hashed from k.
void scatteredDot(QPainter& p, int k, int seed, int xHash, int yHash, double r, const QColor& colour)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QPointF(W * hashUnit(k, xHash, seed), H * hashUnit(k, yHash, seed)), r, r);
}

void vignette(QImage& img, double strength)
{
    QPainter p(&img);
    QRadialGradient g(QPointF(W / 2.0, H / 2.0), std::hypot(W, H) * 0.55);
    g.setColorAt(0.55, QColor(0, 0, 0, 0));
    g.setColorAt(1.0, QColor(0, 0, 0, int(255 * strength)));
    p.fillRect(img.rect(), g);
}

void glow(QPainter& p, QPointF c, double r, QColor col)
{
    QRadialGradient g(c, r);
    QColor edge = col;
    edge.setAlpha(0);
    g.setColorAt(0, col);
    g.setColorAt(1, edge);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(c, r, r);
}

// --- Gradients ------------------------------------------------------------------

QImage oceanBlue()
{
    QImage img =
        gradientFill(QLinearGradient(0, 0, 0, H),
                     {{0, QColor(0x0b, 0x3d, 0x6e)}, {0.6, QColor(0x13, 0x7c, 0xa8)}, {1, QColor(0x4c, 0xc3, 0xc9)}});
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    glow(p, QPointF(W * 0.25, H * 0.2), 520, QColor(255, 255, 255, 60));
    // Soft swells across the lower half.
    for (int k = 0; k < 5; ++k) {
        QPainterPath wave;
        const double base = H * (0.62 + 0.08 * k);
        wave.moveTo(0, base);
        for (int x = 0; x <= W; x += 8) wave.lineTo(x, base + 22 * std::sin(x / 140.0 + k * 1.3));
        wave.lineTo(W, H);
        wave.lineTo(0, H);
        wave.closeSubpath();
        p.fillPath(wave, QColor(255, 255, 255, 14));
    }
    return img;
}

QImage sunsetGlow()
{
    QImage img = gradientFill(QLinearGradient(0, 0, 0, H),
                              {{0, QColor(0x2a, 0x10, 0x4f)},
                               {0.45, QColor(0xb8, 0x3b, 0x6c)},
                               {0.75, QColor(0xf2, 0x7a, 0x45)},
                               {1, QColor(0xfb, 0xc8, 0x6a)}});
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    glow(p, QPointF(W / 2.0, H * 0.78), 420, QColor(255, 230, 170, 150));
    return img;
}

QImage morningMint()
{
    QImage img =
        gradientFill(QRadialGradient(QPointF(W * 0.3, H * 0.25), H * 1.1),
                     {{0, QColor(0xfa, 0xff, 0xfb)}, {0.5, QColor(0xc9, 0xef, 0xdc)}, {1, QColor(0x7f, 0xc8, 0xaf)}});
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    for (int k = 0; k < 7; ++k) scatteredDot(p, k, 5, 2, 3, 60 + 40 * hashUnit(k, 1, 5), QColor(255, 255, 255, 40));
    return img;
}

QImage graphite()
{
    QImage img = twoTone(QColor(0x5a, 0x60, 0x68), QColor(0x24, 0x27, 0x2c),
                         [](double x, double y) { return y / H + 0.04 * (fbm(x / 90, y / 90, 3, 7) - 0.5); });
    vignette(img, 0.45);
    return img;
}

QImage aurora()
{
    QImage img(W, H, QImage::Format_RGB32);
    img.fill(QColor(0x05, 0x0b, 0x1c));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setCompositionMode(QPainter::CompositionMode_Plus);
    glow(p, QPointF(W * 0.2, H * 0.3), 480, QColor(30, 200, 140, 150));
    glow(p, QPointF(W * 0.75, H * 0.45), 520, QColor(60, 90, 230, 150));
    glow(p, QPointF(W * 0.45, H * 0.75), 460, QColor(170, 50, 200, 120));
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    // A few faint stars.
    for (int k = 0; k < 120; ++k)
        scatteredDot(p, k, 2, 6, 7, 0.6 + 1.2 * hashUnit(k, 9, 2),
                     QColor(255, 255, 255, 60 + int(120 * hashUnit(k, 8, 2))));
    return img;
}

// --- Papers and textures --------------------------------------------------------------

QImage recycledPaper()
{
    return twoTone(QColor(0xe9, 0xe0, 0xcc), QColor(0xc9, 0xbb, 0x9c), [](double x, double y) {
        const double cloud = fbm(x / 160, y / 160, 4, 11);
        const double fibre = valueNoise(x / 1.5, y / 9.0, 12) * valueNoise(x / 7.0, y / 1.2, 13);
        return 0.55 * cloud + 0.35 * fibre;
    });
}

QImage linen()
{
    return twoTone(QColor(0xf3, 0xee, 0xe4), QColor(0xd3, 0xc8, 0xb5), [](double x, double y) {
        const double warp = 0.5 + 0.5 * std::sin(x * Pi / 2.0 + 2.0 * valueNoise(x / 30, y / 4, 21));
        const double weft = 0.5 + 0.5 * std::sin(y * Pi / 2.0 + 2.0 * valueNoise(x / 4, y / 30, 22));
        const double slub = fbm(x / 60, y / 60, 3, 23);
        return 0.25 * warp + 0.25 * weft + 0.3 * slub;
    });
}

QImage brushedSteel()
{
    return twoTone(QColor(0x8f, 0x96, 0x9e), QColor(0xd9, 0xdd, 0xe2), [](double x, double y) {
        const double streak = fbm(x / 400.0, y / 1.3, 3, 31);
        const double sheen = 0.5 + 0.5 * std::cos((x / W - 0.35) * Pi * 1.6);
        return 0.55 * sheen + 0.45 * streak;
    });
}

QImage oakWood()
{
    return twoTone(QColor(0xcf, 0x9c, 0x64), QColor(0x93, 0x5c, 0x30), [](double x, double y) {
        // Growth rings cut lengthwise: long, gently wandering stripes.
        const double bend = 55.0 * fbm(x / 500.0, y / 700.0, 3, 41) + 12.0 * std::sin(y / 260.0);
        const double ring = (x + bend) / 44.0 + 1.5 * fbm(x / 120.0, y / 900.0, 2, 43);
        const double t = 0.5 + 0.5 * std::sin(ring * 2 * Pi);
        const double fine = valueNoise(x / 1.7, y / 70.0, 42);
        return 0.6 * std::pow(t, 4) + 0.25 * fine + 0.1 * fbm(x / 80, y / 80, 2, 44);
    });
}

QImage whiteMarble()
{
    const QColor white(0xf5, 0xf4, 0xf1), vein(0x8c, 0x8f, 0x96);
    return field([&](double x, double y) {
        const double turb = fbm(x / 260, y / 260, 5, 51);
        const double v = std::abs(std::sin((x * 0.6 + y * 0.9) / 140.0 + turb * 6.0));
        const double veins = std::pow(1.0 - v, 6) + 0.35 * std::pow(1.0 - v, 2) * fbm(x / 40, y / 40, 2, 52);
        return mix(mix(white, QColor(0xe2, 0xe0, 0xda), turb), vein, std::min(1.0, veins * 0.7));
    });
}

// --- Dark techno ------------------------------------------------------------------

QImage circuitBoard()
{
    QImage img =
        gradientFill(QLinearGradient(0, 0, W, H), {{0, QColor(0x06, 0x14, 0x24)}, {1, QColor(0x02, 0x06, 0x0e)}});
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const int step = 46;
    const int cols = W / step + 1, rows = H / step + 1;
    for (int k = 0; k < 150; ++k) {
        // A trace walks the grid with right-angle and diagonal turns.
        int cx = int(hashUnit(k, 1, 61) * cols), cy = int(hashUnit(k, 2, 61) * rows);
        QPainterPath path;
        path.moveTo(cx * step, cy * step);
        const int segs = 2 + int(hashUnit(k, 3, 61) * 4);
        for (int s = 0; s < segs; ++s) {
            const int dir = int(hashUnit(k, 10 + s, 61) * 6);
            const int len = 1 + int(hashUnit(k, 20 + s, 61) * 4);
            const int dx[] = {1, -1, 0, 0, 1, -1}, dy[] = {0, 0, 1, -1, 1, 1};
            cx += dx[dir] * len;
            cy += dy[dir] * len;
            path.lineTo(cx * step, cy * step);
        }
        const int a = 70 + int(hashUnit(k, 4, 61) * 120);
        p.setPen(QPen(QColor(0, 200, 255, a / 4), 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
        p.setPen(QPen(QColor(60, 220, 255, a), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
        p.setBrush(QColor(6, 20, 36));
        p.drawEllipse(QPointF(cx * step, cy * step), 5, 5);
    }
    glow(p, QPointF(W * 0.5, H * 0.35), 420, QColor(0, 150, 255, 50));
    return img;
}

QImage neonGrid()
{
    QImage img(W, H, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient sky(0, 0, 0, H * 0.55);
    sky.setColorAt(0, QColor(0x0a, 0x02, 0x1e));
    sky.setColorAt(1, QColor(0x4a, 0x0d, 0x5c));
    p.fillRect(QRectF(0, 0, W, H * 0.55), sky);
    p.fillRect(QRectF(0, H * 0.55, W, H * 0.45), QColor(0x0a, 0x02, 0x18));
    p.setRenderHint(QPainter::Antialiasing);
    const double horizon = H * 0.55;
    glow(p, QPointF(W / 2.0, horizon), 380, QColor(255, 60, 170, 140));
    // The floor grid in perspective.
    for (int i = -14; i <= 14; ++i) {
        p.setPen(QPen(QColor(255, 70, 200, 170), 2));
        p.drawLine(QPointF(W / 2.0 + i * 14, horizon), QPointF(W / 2.0 + i * 190, H));
    }
    for (int j = 1; j < 14; ++j) {
        const double y = horizon + (H - horizon) * std::pow(j / 13.0, 2.2);
        p.setPen(QPen(QColor(120, 80, 255, 200), 2));
        p.drawLine(QPointF(0, y), QPointF(W, y));
    }
    p.setPen(QPen(QColor(255, 150, 230), 3));
    p.drawLine(QPointF(0, horizon), QPointF(W, horizon));
    return img;
}

QImage hexagonMesh()
{
    QImage img(W, H, QImage::Format_RGB32);
    img.fill(QColor(0x0d, 0x11, 0x17));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const double r = 38, dx = r * std::sqrt(3.0), dy = r * 1.5;
    for (int row = -1; row * dy < H + r; ++row)
        for (int col = -1; col * dx < W + r; ++col) {
            const QPointF c(col * dx + (row & 1 ? dx / 2 : 0), row * dy);
            QPainterPath hex;
            for (int k = 0; k < 6; ++k) {
                const double a = Pi / 6 + k * Pi / 3;
                const QPointF v = c + QPointF(std::cos(a) * (r - 3), std::sin(a) * (r - 3));
                k ? hex.lineTo(v) : hex.moveTo(v);
            }
            hex.closeSubpath();
            // Cells light up near a diagonal band.
            const double band = std::exp(-std::pow((c.x() * 0.6 - c.y() + H * 0.25) / 260.0, 2));
            const double lit = band * (0.4 + 0.6 * hashUnit(row, col, 71));
            p.fillPath(hex, mix(QColor(0x16, 0x1c, 0x25), QColor(0x00, 0x9a, 0x8c), lit));
            p.setPen(QPen(QColor(40, 230, 200, 30 + int(170 * band)), 1.5));
            p.drawPath(hex);
        }
    p.end();
    vignette(img, 0.5);
    return img;
}

QImage carbonFibre()
{
    QImage img = field([](double x, double y) {
        const int cell = 14;
        const int cx = int(x) / cell, cy = int(y) / cell;
        const double u = (x - cx * cell) / cell, v = (y - cy * cell) / cell;
        // Twill weave: alternate the direction of the bundles.
        const bool horizontal = ((cx + cy) & 1) == 0;
        const double across = horizontal ? v : u;
        const double along = horizontal ? u : v;
        const double shade = std::sin(across * Pi) * (0.75 + 0.25 * std::sin(along * Pi));
        const double l = 18 + 42 * shade + 6 * valueNoise(x / 3, y / 3, 81);
        return QColor(clamp255(l), clamp255(l + 2), clamp255(l + 5));
    });
    QPainter p(&img);
    QLinearGradient g(0, 0, W, H);
    g.setColorAt(0, QColor(255, 255, 255, 30));
    g.setColorAt(0.5, QColor(255, 255, 255, 0));
    g.setColorAt(1, QColor(0, 0, 0, 80));
    p.fillRect(img.rect(), g);
    return img;
}

QImage lightStreaks()
{
    QImage img(W, H, QImage::Format_RGB32);
    img.fill(QColor(0x03, 0x04, 0x0a));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setCompositionMode(QPainter::CompositionMode_Plus);
    const QColor colours[] = {QColor(255, 120, 40), QColor(40, 160, 255), QColor(255, 40, 120), QColor(120, 255, 200)};
    for (int k = 0; k < 26; ++k) {
        const double y0 = H * (hashUnit(k, 1, 91) * 1.4 - 0.2);
        const double width = 2 + 16 * std::pow(hashUnit(k, 2, 91), 3);
        QColor c = colours[k % 4];
        c.setAlpha(40 + int(80 * hashUnit(k, 3, 91)));
        QLinearGradient fade(0, 0, W, 0);
        QColor clear = c;
        clear.setAlpha(0);
        fade.setColorAt(0, clear);
        fade.setColorAt(0.5, c);
        fade.setColorAt(1, clear);
        p.setPen(QPen(QBrush(fade), width, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(-50, y0 + 300), QPointF(W + 50, y0 - 300));
    }
    return img;
}

void save(const QImage& drawn, const std::filesystem::path& file)
{
    const QImage rgb = drawn.convertToFormat(QImage::Format_RGB888);
    velmora::TRgbRows rows{rgb.constBits(), rgb.width(), rgb.height(), rgb.bytesPerLine(), false};
    std::filesystem::create_directories(file.parent_path());
    velmora::saveJpegFile(file.string(), rows, 85);
    std::printf("%s\n", file.string().c_str());
}

} // namespace

int main(int argc, char** argv)
{
    // Painting text-free pictures needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const std::filesystem::path out = std::filesystem::path(argc > 1 ? argv[1] : "resources") / "Templates";
    struct Entry {
        const char* folder;
        const char* name;
        QImage (*make)();
    } entries[] = {
        {"Gradients", "Ocean Blue", oceanBlue},
        {"Gradients", "Sunset Glow", sunsetGlow},
        {"Gradients", "Morning Mint", morningMint},
        {"Gradients", "Graphite", graphite},
        {"Gradients", "Aurora", aurora},
        {"Papers and Textures", "Recycled Paper", recycledPaper},
        {"Papers and Textures", "Linen", linen},
        {"Papers and Textures", "Brushed Steel", brushedSteel},
        {"Papers and Textures", "Oak Wood", oakWood},
        {"Papers and Textures", "White Marble", whiteMarble},
        {"Dark Techno", "Circuit Board", circuitBoard},
        {"Dark Techno", "Neon Grid", neonGrid},
        {"Dark Techno", "Hexagon Mesh", hexagonMesh},
        {"Dark Techno", "Carbon Fibre", carbonFibre},
        {"Dark Techno", "Light Streaks", lightStreaks},
    };
    try {
        for (const Entry& e : entries) save(e.make(), out / e.folder / (std::string(e.name) + ".jpg"));
    } catch (const std::exception& ex) {
        std::fprintf(stderr, "make_templates: %s\n", ex.what());
        return 1;
    }
    return 0;
}
