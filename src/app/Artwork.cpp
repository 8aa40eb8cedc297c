#include "app/Artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>

#include <algorithm>

namespace velmora {

namespace {

const QColor kDeep(0x1d, 0x2b, 0x45);
const QColor kMid(0x2f, 0x4f, 0x78);
const QColor kAccent(0xf2, 0xa5, 0x41);
const QColor kBoxBlue(0x2f, 0x6f, 0xc8);

struct BoxFaces {
    QPolygonF front, side, top;
};

BoxFaces boxFaces(const QRectF& r, double sideDepth, double topDepth)
{
    const double w = r.width(), h = r.height();
    const double dx = w * sideDepth, dy = h * topDepth;
    BoxFaces f;
    f.front = QPolygonF{
        {r.left(), r.top() + dy}, {r.right() - dx, r.top() + dy}, {r.right() - dx, r.bottom()}, {r.left(), r.bottom()}};
    f.side = QPolygonF{{r.right() - dx, r.top() + dy},
                       {r.right(), r.top()},
                       {r.right(), r.bottom() - dy},
                       {r.right() - dx, r.bottom()}};
    f.top = QPolygonF{
        {r.left(), r.top() + dy}, {r.left() + dx, r.top()}, {r.right(), r.top()}, {r.right() - dx, r.top() + dy}};
    return f;
}

} // namespace

void drawShadedBox(QPainter& p, const QRectF& r, const QColor& colour, const BoxShading& look)
{
    const BoxFaces f = boxFaces(r, look.sideDepth, look.topDepth);
    QPen edge(colour.darker(look.edgeDarker), std::max(1.0, r.width() / look.edgeDivisor));
    edge.setJoinStyle(Qt::RoundJoin);
    p.setPen(edge);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, colour.lighter(look.frontLighter));
    g.setColorAt(1, colour);
    p.setBrush(g);
    p.drawPolygon(f.front);
    p.setBrush(colour.darker(look.sideDarker));
    p.drawPolygon(f.side);
    p.setBrush(colour.lighter(look.topLighter));
    p.drawPolygon(f.top);
}

namespace {

void drawBox(QPainter& p, const QRectF& r, QColor colour, bool withBand)
{
    const BoxShading look;
    drawShadedBox(p, r, colour, look);
    const double line = std::max(1.0, r.width() / look.edgeDivisor);
    if (withBand && r.width() >= 20) {
        // The accent band of a printed cover, running on round the spine.
        const double y0 = r.top() + r.height() * 0.66, bh = std::max(1.5, r.height() * 0.08);
        const double frontRight = r.right() - r.width() * look.sideDepth;
        const double lift = r.height() * 0.20;
        p.setPen(Qt::NoPen);
        p.setBrush(kAccent);
        p.drawPolygon(QPolygonF{
            {r.left() + line / 2, y0}, {frontRight, y0}, {frontRight, y0 + bh}, {r.left() + line / 2, y0 + bh}});
        p.setBrush(kAccent.darker(140));
        p.drawPolygon(QPolygonF{{frontRight, y0},
                                {r.right() - line / 2, y0 - lift},
                                {r.right() - line / 2, y0 - lift + bh},
                                {frontRight, y0 + bh}});
    }
}

// The box mirrored below its foot, fading out as a floor reflection does.
void drawReflection(QPainter& p, const QRectF& r, QColor colour, QColor floor)
{
    QImage layer(p.device()->width(), p.device()->height(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter q(&layer);
        q.setRenderHint(QPainter::Antialiasing);
        q.translate(0, 2 * r.bottom());
        q.scale(1, -1);
        drawBox(q, r, colour, true);
        // Fade towards the floor colour away from the foot.
        q.resetTransform();
        QLinearGradient fade(0, r.bottom(), 0, r.bottom() + r.height() * 0.8);
        QColor near = floor, far = floor;
        near.setAlpha(150);
        far.setAlpha(255);
        fade.setColorAt(0, near);
        fade.setColorAt(1, far);
        q.setCompositionMode(QPainter::CompositionMode_SourceAtop);
        q.fillRect(layer.rect(), fade);
    }
    p.drawImage(0, 0, layer);
}

QImage canvas(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

QFont sans(double pixels, bool bold = false)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(std::max(1, int(pixels)));
    f.setBold(bold);
    return f;
}

// A light bulb: the "did you know" of the tip window.
void drawBulb(QPainter& p, QPointF c, double r)
{
    QRadialGradient glow(c, r * 2.2);
    glow.setColorAt(0, QColor(255, 214, 120, 150));
    glow.setColorAt(1, QColor(255, 214, 120, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(c, r * 2.2, r * 2.2);
    QRadialGradient glass(c - QPointF(r * 0.35, r * 0.4), r * 1.2);
    glass.setColorAt(0, QColor(255, 250, 220));
    glass.setColorAt(1, kAccent);
    p.setBrush(glass);
    p.setPen(QPen(kAccent.darker(160), std::max(1.0, r / 12)));
    QPainterPath bulb;
    bulb.moveTo(c.x() - r * 0.45, c.y() + r * 0.85);
    bulb.cubicTo(c.x() - r * 0.5, c.y() + r * 0.4, c.x() - r * 1.05, c.y() + r * 0.15, c.x() - r, c.y() - r * 0.15);
    bulb.arcTo(QRectF(c.x() - r, c.y() - r * 1.15, 2 * r, 2 * r), 180, -180);
    bulb.cubicTo(c.x() + r * 1.05, c.y() + r * 0.15, c.x() + r * 0.5, c.y() + r * 0.4, c.x() + r * 0.45,
                 c.y() + r * 0.85);
    bulb.closeSubpath();
    p.drawPath(bulb);
    p.setBrush(QColor(120, 126, 138));
    p.setPen(QPen(QColor(70, 74, 82), std::max(1.0, r / 12)));
    for (int i = 0; i < 3; ++i)
        p.drawRoundedRect(QRectF(c.x() - r * 0.45, c.y() + r * (0.9 + 0.22 * i), r * 0.9, r * 0.2), r * 0.08, r * 0.08);
}

} // namespace

QImage aboutPicture()
{
    QImage img = canvas(kAboutPictureWidth, kAboutPictureHeight);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF all(0, 0, kAboutPictureWidth, kAboutPictureHeight);

    QLinearGradient sky(all.topLeft(), all.bottomLeft());
    sky.setColorAt(0, kMid);
    sky.setColorAt(1, kDeep);
    p.fillRect(all, sky);

    // The left band: a box shot in miniature, box on a reflecting floor.
    const QColor floor = kDeep.darker(115);
    p.fillRect(QRectF(0, 150, 157, 108), floor);
    const QRectF box(28, 52, 100, 98);
    drawReflection(p, box, kBoxBlue, floor);
    drawBox(p, box, kBoxBlue, true);
    p.setPen(QColor(255, 255, 255, 235));
    p.setFont(sans(21, true));
    p.drawText(QRectF(0, 204, 157, 28), Qt::AlignCenter, QStringLiteral("Velmora"));
    p.setPen(QColor(255, 255, 255, 150));
    p.setFont(sans(10));
    p.drawText(QRectF(0, 230, 157, 16), Qt::AlignCenter, QStringLiteral("product box shots"));

    // The card: the About texts lie on it, and it is the tip window's background.
    // It reaches past the tip window's part on every side, so that window is all card.
    const QRectF card(kTipPictureLeft - 7, kTipPictureTop - 5, kAboutPictureWidth - kTipPictureLeft + 5, 190);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawRoundedRect(card.translated(2, 3), 8, 8);
    p.setBrush(Qt::white);
    p.drawRoundedRect(card, 8, 8);
    p.setBrush(kAccent);
    p.drawRoundedRect(QRectF(card.left() + 8, card.top() + 5, card.width() - 16, 4), 2, 2);
    drawBulb(p, QPointF(card.right() - 62, card.top() + 62), 22);

    // Under the card: a thin floor line with the small boxes of a catalogue.
    for (int i = 0; i < 4; ++i) {
        const QRectF small(card.left() + 14 + i * 36, 214, 26, 26);
        const QColor c = QColor::fromHsv((215 + i * 40) % 360, 150, 210);
        drawBox(p, small, c, false);
    }
    p.setPen(QColor(255, 255, 255, 170));
    p.setFont(sans(10));
    p.drawText(QRectF(card.left() + 160, 214, card.width() - 170, 26), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Box shots in 3D, ready to publish"));
    return img;
}

QImage applicationIcon(int size)
{
    QImage img = canvas(size, size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    if (size >= 32) {
        // A rounded tile with a floor; small sizes drop the tile to stay legible.
        const QRectF tile(s * 0.03, s * 0.03, s * 0.94, s * 0.94);
        QLinearGradient g(tile.topLeft(), tile.bottomLeft());
        g.setColorAt(0, kMid.lighter(125));
        g.setColorAt(1, kDeep);
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawRoundedRect(tile, s * 0.16, s * 0.16);
        const QColor floor = kDeep.darker(110);
        p.save();
        QPainterPath clip;
        clip.addRoundedRect(tile, s * 0.16, s * 0.16);
        p.setClipPath(clip);
        p.fillRect(QRectF(tile.left(), s * 0.70, tile.width(), tile.bottom() - s * 0.70), floor);
        const QRectF box(s * 0.22, s * 0.18, s * 0.56, s * 0.52);
        drawReflection(p, box, kBoxBlue, floor);
        p.restore();
        drawBox(p, box, kBoxBlue, true);
    } else {
        drawBox(p, QRectF(s * 0.06, s * 0.08, s * 0.88, s * 0.84), kBoxBlue, size >= 22);
    }
    return img;
}

QImage documentIcon(int size, bool legacyStream)
{
    QImage img = canvas(size, size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    const double line = std::max(1.0, s / 48.0);
    const QRectF page(s * 0.16 + line / 2, s * 0.04 + line / 2, s * 0.68 - line, s * 0.92 - line);
    const double fold = s * 0.20;
    QPolygonF sheet{{page.left(), page.top()},
                    {page.right() - fold, page.top()},
                    {page.right(), page.top() + fold},
                    {page.right(), page.bottom()},
                    {page.left(), page.bottom()}};
    p.setPen(QPen(QColor(110, 110, 110), line));
    p.setBrush(QColor(252, 252, 250));
    p.drawPolygon(sheet);
    p.setBrush(QColor(222, 222, 218));
    p.drawPolygon(QPolygonF{{page.right() - fold, page.top()},
                            {page.right() - fold, page.top() + fold},
                            {page.right(), page.top() + fold}});
    const QColor colour = legacyStream ? QColor(128, 134, 146) : kBoxBlue;
    drawBox(p, QRectF(page.left() + s * 0.08, page.top() + s * 0.34, page.width() - s * 0.16, s * 0.44), colour,
            size >= 32);
    return img;
}

} // namespace velmora
