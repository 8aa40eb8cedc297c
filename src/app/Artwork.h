#pragma once
// Velmora's own artwork, drawn in code so it stays sharp at every size: the
// picture of the About box (whose part from (157, 13) is the tip window's
// background), the application icon and the document icons of scene files.
// tools/make_icons writes the installed icon files from the same drawings.

#include <QColor>
#include <QImage>
#include <QRectF>

class QPainter;

namespace velmora {

inline constexpr int kAboutPictureWidth = 498;
inline constexpr int kAboutPictureHeight = 258;
// Where the tip window's client area lies in the About picture.
inline constexpr int kTipPictureLeft = 157;
inline constexpr int kTipPictureTop = 13;

QImage aboutPicture();

// A square ARGB icon of the given size in pixels.
QImage applicationIcon(int size);

// A page with a folded corner and the box: scene archives (.vlm) show a blue
// box, legacy scene streams (.gls) a grey one.
QImage documentIcon(int size, bool legacyStream);

// How a shaded box is drawn: the depth of its side and top as fractions of
// the box's width and height, its edge line as the width divided by edgeDivisor (at
// least 1 pixel), and the QColor darker/lighter factors of its edge and faces
// (the front runs from lighter at the top to the plain colour at the foot).
struct BoxShading {
    double sideDepth = 0.30, topDepth = 0.20, edgeDivisor = 48;
    int edgeDarker = 220, frontLighter = 135, sideDarker = 150, topLighter = 170;
};

// A box in three-quarter view inside r: the front face on the left, the side
// going back to the right, the top above.
void drawShadedBox(QPainter& p, const QRectF& r, const QColor& colour, const BoxShading& look = {});

} // namespace velmora
