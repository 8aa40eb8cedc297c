#pragma once
// The program's small pictures, drawn once at start-up so they stay crisp and
// need no files: the 16 x 16 image list of menus and tool bar, and the two
// 121 x 121 pictures of the start panel.

#include <QIcon>
#include <QPixmap>

namespace velmora {

// Images of the main window's image list by index: 0 new, 2 open, 4 save,
// 6 render, 8 help, 14 web page, 15 mail. Other indexes give an empty icon.
QIcon imageListIcon(int index);

// Start panel pictures: row 1 a new box, row 2 an opened box.
QPixmap startPanelPicture(int row);

} // namespace velmora
