#pragma once
// The face editor's picture open dialog: every registered picture format,
// one "All" entry first.

#include <QString>

#include <string>

class QWidget;

namespace velmora {

// "All (*.bmp *.jpg ...);;Bitmaps (*.bmp);;...": each extension once, with the
// description of its latest registration, in the order formats were first
// registered.
QString pictureDialogFilter();

// The chosen file, or an empty string when the user cancels.
QString runOpenPictureDialog(QWidget* parent, const QString& title = "Open");

} // namespace velmora
