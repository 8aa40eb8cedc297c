#include "FaceEditorDriver.h"
#include "GuiTestSupport.h"

#include "faceeditor/FaceDocument.h"
#include "faceeditor/FaceEditor.h"
#include "faceeditor/ImgView32.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolButton>

#include <algorithm>

namespace velmora {

namespace {

using test::settle;

void mouseOn(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent e(type, QPointF(at), target->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &e);
}

} // namespace

TEditorRoad driveEditorRoad(TfrmFaceEditor& editor, const std::string& picture, const std::function<void()>& screenshot)
{
    TEditorRoad r;
    editor.show();
    settle(20);
    r.BaseWidth = editor.Document().Base().Width();
    r.BaseHeight = editor.Document().Base().Height();
    editor.OpenPictureDialog1 = [&] { return QString::fromStdString(picture); };
    editor.btnGraphic->click();
    r.LayersAfterPicture = editor.ImgView->Layers().Count();
    editor.btnText->click();
    editor.txtCaption->setText(QStringLiteral("VELMORA"));
    auto* text = dynamic_cast<TBitmapTextLayer*>(editor.Document().SelectedLayer());
    r.TextSelected = text != nullptr;
    if (!text) return r;
    r.PlacedLeft = text->Placement().Left;
    r.PlacedTop = text->Placement().Top;
    const TRect area = editor.ImgView->Model().ViewArea();
    // Inside the text, left of the middle handles of the thin frame.
    const int quarter = int(float(text->Bitmap().Width()) * editor.ImgView->Scale() / 4);
    const QPoint from((area.Left + area.Right) / 2 - quarter, (area.Top + area.Bottom) / 2);
    const QPoint to = from + QPoint(60, 140);
    mouseOn(editor.ImgView, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    for (int i = 1; i <= 5; ++i)
        mouseOn(editor.ImgView, QEvent::MouseMove, from + (to - from) * i / 5, Qt::NoButton, Qt::LeftButton);
    mouseOn(editor.ImgView, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    settle(5);
    const TFloatRect dragged = text->Placement();
    r.DraggedLeft = dragged.Left;
    r.DraggedTop = dragged.Top;
    if (screenshot) screenshot();
    editor.btnDone->click();
    if (!editor.FaceBitmap) return r;
    r.Accepted = !editor.Cancelled;
    const TBitmap32& face = *editor.FaceBitmap;
    const int y = std::clamp(int((dragged.Top + dragged.Bottom) / 2), 0, face.Height() - 1);
    for (int x = std::max(0, int(dragged.Left)); x < std::min(face.Width(), int(dragged.Right)); ++x)
        r.DarkestInText = std::min<unsigned>(r.DarkestInText, face.Pixel(x, y) & 0xFFu);
    return r;
}

} // namespace velmora
