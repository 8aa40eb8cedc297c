#include "app/Icons.h"

#include "app/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace velmora {

namespace {

// A box seen from above-left, a little deeper and less shaded than the
// application's own artwork.
void drawBox(QPainter& p, QRectF r, QColor front)
{
    const BoxShading look{.sideDepth = 0.28,
                          .topDepth = 0.22,
                          .edgeDivisor = 60,
                          .edgeDarker = 200,
                          .frontLighter = 130,
                          .sideDarker = 140,
                          .topLighter = 160};
    drawShadedBox(p, r, front, look);
}

QPixmap canvas(int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    return pm;
}

QPixmap drawIcon(int index)
{
    QPixmap pm = canvas(16);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
    case 0: { // new: a sheet with a folded corner
        p.setPen(QPen(QColor(90, 90, 90), 1));
        p.setBrush(Qt::white);
        QPolygonF sheet{{3.5, 1.5}, {10.5, 1.5}, {13.5, 4.5}, {13.5, 14.5}, {3.5, 14.5}};
        p.drawPolygon(sheet);
        p.setBrush(QColor(220, 220, 220));
        p.drawPolygon(QPolygonF{{10.5, 1.5}, {10.5, 4.5}, {13.5, 4.5}});
        p.setPen(QPen(QColor(60, 110, 200), 1));
        p.drawLine(QPointF(5.5, 8.5), QPointF(11.5, 8.5));
        p.drawLine(QPointF(5.5, 11), QPointF(10, 11));
        break;
    }
    case 2: { // open: a folder
        p.setPen(QPen(QColor(150, 110, 20), 1));
        p.setBrush(QColor(240, 200, 80));
        p.drawPolygon(QPolygonF{{1.5, 3.5}, {6, 3.5}, {7.5, 5}, {13.5, 5}, {13.5, 13.5}, {1.5, 13.5}});
        p.setBrush(QColor(255, 225, 120));
        p.drawPolygon(QPolygonF{{1.5, 13.5}, {4, 7.5}, {15, 7.5}, {13.5, 13.5}});
        break;
    }
    case 4: { // save: a disk
        p.setPen(QPen(QColor(30, 50, 110), 1));
        p.setBrush(QColor(60, 100, 190));
        p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.5, 1.5);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4, 1.5, 8, 5));
        p.setBrush(QColor(200, 200, 210));
        p.drawRect(QRectF(4.5, 9.5, 7, 5));
        break;
    }
    case 6: { // render: a camera
        p.setPen(QPen(QColor(40, 40, 40), 1));
        p.setBrush(QColor(90, 90, 100));
        p.drawRoundedRect(QRectF(1.5, 4.5, 13, 9), 1.5, 1.5);
        p.drawRect(QRectF(5, 2.5, 5, 2));
        p.setBrush(QColor(150, 200, 255));
        p.drawEllipse(QPointF(8, 9), 3, 3);
        p.setBrush(QColor(255, 220, 80));
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(11.5, 5.5, 2, 1.5));
        break;
    }
    case 8: { // help: a question mark in a circle
        p.setPen(QPen(QColor(20, 70, 160), 1));
        p.setBrush(QColor(70, 130, 220));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        QFont f;
        f.setPixelSize(11);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    case 14: { // web page: a globe
        p.setPen(QPen(QColor(20, 100, 60), 1));
        p.setBrush(QColor(90, 170, 230));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(5, 1.5, 6, 13));
        p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
        p.drawLine(QPointF(8, 1.5), QPointF(8, 14.5));
        break;
    }
    case 15: { // mail: an envelope
        p.setPen(QPen(QColor(110, 90, 50), 1));
        p.setBrush(QColor(250, 240, 210));
        p.drawRect(QRectF(1.5, 3.5, 13, 9));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF{{1.5, 3.5}, {8, 9}, {14.5, 3.5}});
        break;
    }
    default: return QPixmap();
    }
    return pm;
}

} // namespace

QIcon imageListIcon(int index)
{
    QPixmap pm = drawIcon(index);
    if (pm.isNull()) return QIcon();
    return QIcon(pm);
}

QPixmap startPanelPicture(int row)
{
    QPixmap pm = canvas(121);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // Soft rounded tile behind the picture.
    QLinearGradient bg(0, 0, 0, 121);
    bg.setColorAt(0, QColor(246, 248, 252));
    bg.setColorAt(1, QColor(214, 222, 236));
    p.setPen(QPen(QColor(160, 172, 196), 1));
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(1.5, 1.5, 118, 118), 10, 10);

    if (row == 1) {
        // A new, plain box with a sparkle: start from scratch.
        drawBox(p, QRectF(20, 26, 72, 78), QColor(70, 130, 210));
        p.setPen(QPen(QColor(255, 190, 40), 3, Qt::SolidLine, Qt::RoundCap));
        const QPointF c(96, 28);
        for (int i = 0; i < 4; ++i) {
            QPointF d(i % 2 ? 0 : 11, i % 2 ? 11 : 0);
            if (i >= 2) d = -d;
            p.drawLine(c, c + d);
        }
        p.drawLine(c + QPointF(-6, -6), c + QPointF(6, 6));
        p.drawLine(c + QPointF(-6, 6), c + QPointF(6, -6));
    } else {
        // An open folder holding a box: continue a saved project.
        p.setPen(QPen(QColor(150, 110, 20), 2));
        p.setBrush(QColor(232, 190, 70));
        p.drawPolygon(QPolygonF{{14, 34}, {44, 34}, {52, 42}, {106, 42}, {106, 104}, {14, 104}});
        drawBox(p, QRectF(36, 24, 50, 56), QColor(200, 80, 60));
        p.setPen(QPen(QColor(150, 110, 20), 2));
        QLinearGradient g(0, 60, 0, 104);
        g.setColorAt(0, QColor(255, 226, 120));
        g.setColorAt(1, QColor(240, 196, 80));
        p.setBrush(g);
        p.drawPolygon(QPolygonF{{14, 104}, {26, 62}, {114, 62}, {106, 104}});
    }
    return pm;
}

} // namespace velmora
