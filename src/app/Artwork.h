#pragma once
// Velmora's own artwork, drawn in code so it stays sharp at every size: the
// picture of the About box (whose part from (157, 13) is the tip window's
// background), the application icon and the document icons of scene files.
// tools/make_icons writes the installed icon files from the same drawings.

#include <QImage>

namespace velmora {

inline constexpr int kAboutPictureWidth = 498;
inline constexpr int kAboutPictureHeight = 258;
// Where the tip window's client area lies in the About picture.
inline constexpr int kTipPictureLeft = 157;
inline constexpr int kTipPictureTop = 13;

QImage AboutPicture();

// A square ARGB icon of the given size in pixels.
QImage ApplicationIcon(int size);

// A page with a folded corner and the box: scene archives (.vlm) show a blue
// box, legacy scene streams (.gls) a grey one.
QImage DocumentIcon(int size, bool legacyStream);

} // namespace velmora
