// The main window's share of looking at the box: pointer, wheel and keys
// go to the model's navigation handlers; the picture and colour dialogs;
// files dropped from a file manager.

#include "app/Application.h"
#include "app/Unit1.h"

#include <QApplication>
#include <QColorDialog>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>

#include <cmath>

namespace velmora {

namespace {

TShiftState shiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons)
{
    TShiftState s = 0;
    if (modifiers & Qt::ShiftModifier) s |= ssShift;
    if (modifiers & Qt::ControlModifier) s |= ssCtrl;
    if (modifiers & Qt::AltModifier) s |= ssAlt;
    if (buttons & Qt::LeftButton) s |= ssLeft;
    if (buttons & Qt::RightButton) s |= ssRight;
    if (buttons & Qt::MiddleButton) s |= ssMiddle;
    return s;
}

unsigned short virtualKeyOf(int key)
{
    switch (key) {
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Left: return 0x25;
    case Qt::Key_Right: return 0x27;
    default: return 0;
    }
}

// "Description (*.a;*.b)|*.a;*.b|..." as the toolkit's name filters
// ("Description (*.a *.b)").
QStringList nameFiltersOf(const std::string& filter)
{
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        const qsizetype open = description.lastIndexOf(QLatin1Char('('));
        if (open > 0) description = description.left(open).trimmed();
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        out << QStringLiteral("%1 (%2)").arg(description, patterns);
    }
    return out;
}

// Pointer events of the viewer, as the viewer's mouse handlers get them.
class TViewerMouse : public QObject {
public:
    TViewerMouse(QWidget* viewer, TfrmMainModel& model) : QObject(viewer), Model(model)
    {
        viewer->setMouseTracking(true); // moves without a button keep the last position
        viewer->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            auto* e = static_cast<QMouseEvent*>(event);
            const TMouseButton button = e->button() == Qt::RightButton ? mbRight
                : e->button() == Qt::MiddleButton                      ? mbMiddle
                                                                       : mbLeft;
            const QPoint p = e->position().toPoint();
            runCommand([&] {
                Model.GLSceneViewer1MouseDown(button, shiftStateOf(e->modifiers(), e->buttons()), p.x(), p.y());
            });
            break;
        }
        case QEvent::MouseMove: {
            auto* e = static_cast<QMouseEvent*>(event);
            const QPoint p = e->position().toPoint();
            runCommand(
                [&] { Model.GLSceneViewer1MouseMove(shiftStateOf(e->modifiers(), e->buttons()), p.x(), p.y()); });
            break;
        }
        default: break;
        }
        return false;
    }

private:
    TfrmMainModel& Model;
};

} // namespace

void TfrmMain::installInteraction()
{
    TfrmMainModel& m = *Model;
    new TViewerMouse(GLSceneViewer1, m);
    // The wheel zooms wherever the window gets it; the control under the
    // pointer still gets the turn too (the handler leaves it unhandled).
    TApplication::addWheelObserver(this, [this](QWidget* receiver, QWheelEvent* e) {
        // Only while the scene is shown: a turn over the start panel must not
        // leave the next scene zoomed.
        if (!receiver || receiver->window() != this || QApplication::activeModalWidget() || !Model->sceneOpen()) return;
        const QPoint at = e->globalPosition().toPoint();
        bool handled = false;
        // The window system turns a vertical wheel held with Alt into a
        // horizontal one; the zoom ignores modifiers, so it takes that turn back.
        int delta = e->angleDelta().y();
        if (delta == 0 && (e->modifiers() & Qt::AltModifier)) delta = e->angleDelta().x();
        Model->FormMouseWheel(shiftStateOf(e->modifiers(), e->buttons()), delta, at.x(), at.y(), handled);
    });
    m.RunOpenPictureDialog = [this] { return runOpenPictureDialogDefault(); };
    m.RunColorDialog = [this](std::uint32_t initial) { return runColorDialogDefault(initial); };
    setAcceptDrops(true);
}

std::optional<std::string> TfrmMain::runOpenPictureDialogDefault()
{
    QFileDialog dialog(this, QStringLiteral("Open"));
    dialog.setObjectName(QStringLiteral("OpenPictureDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(nameFiltersOf(TfrmMainModel::OpenPictureDialog1Filter));
    dialog.setDefaultSuffix(
        QString::fromUtf8(TfrmMainModel::OpenPictureDialog1DefaultExt).remove(QStringLiteral("*.")));
    dialog.selectFile(QString()); // no file preselected, every time
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
}

std::optional<std::uint32_t> TfrmMain::runColorDialogDefault(std::uint32_t initial)
{
    // The toolkit's own dialog always shows its custom colours.
    QColorDialog dialog(QColor(int(initial & 0xFF), int((initial >> 8) & 0xFF), int((initial >> 16) & 0xFF)), this);
    dialog.setObjectName(QStringLiteral("ColorDialog1"));
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QColor c = dialog.selectedColor();
    return std::uint32_t(c.red()) | std::uint32_t(c.green()) << 8 | std::uint32_t(c.blue()) << 16;
}

void TfrmMain::keyPressEvent(QKeyEvent* event)
{
    // Only while no control of the window holds the keyboard focus; the
    // viewer is the window's own surface and does not count.
    QWidget* focus = QApplication::focusWidget();
    const bool controlHasFocus = focus && focus != this && focus != GLSceneViewer1 && isAncestorOf(focus);
    if (!controlHasFocus && Model->sceneOpen()) {
        unsigned short key = virtualKeyOf(event->key());
        const TShiftState shift = shiftStateOf(event->modifiers(), Qt::NoButton);
        runCommand([&] { Model->FormKeyDown(key, shift); });
    }
    QMainWindow::keyPressEvent(event); // the key is not consumed
}

std::optional<TfrmMain::DropTarget> TfrmMain::dropTargetOf(const QMimeData* data, const QPointF& position)
{
    if (!data || !data->hasUrls()) return std::nullopt;
    const QList<QUrl> urls = data->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) return std::nullopt;
    DropTarget t;
    t.file = urls.first().toLocalFile().toStdString();
    if (GLSceneViewer1->isVisible()) {
        const QPointF p = GLSceneViewer1->mapFrom(this, position);
        if (GLSceneViewer1->rect().contains(p.toPoint())) {
            // The projection works in the viewer's device pixels.
            const double ratio = GLSceneViewer1->devicePixelRatioF();
            t.onViewer = true;
            t.x = p.x() * ratio;
            t.y = p.y() * ratio;
            t.width = int(std::lround(GLSceneViewer1->width() * ratio));
            t.height = int(std::lround(GLSceneViewer1->height() * ratio));
        }
    }
    return t;
}

void TfrmMain::dragEnterEvent(QDragEnterEvent* event)
{
    // Taken in; whether it may land here is decided per position below.
    if (dropTargetOf(event->mimeData(), event->position()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TfrmMain::dragMoveEvent(QDragMoveEvent* event)
{
    const std::optional<DropTarget> t = dropTargetOf(event->mimeData(), event->position());
    bool ok = false;
    if (t && TfrmMainModel::isSceneFileName(t->file))
        ok = true; // a scene opens wherever it lands
    else if (t && t->onViewer && Model->BoxType == 1)
        ok = Model->faceAtViewerPoint(t->x, t->y, t->width, t->height).has_value();
    if (ok)
        event->acceptProposedAction();
    else
        event->ignore();
}

void TfrmMain::dropEvent(QDropEvent* event)
{
    const std::optional<DropTarget> t = dropTargetOf(event->mimeData(), event->position());
    if (!t) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // Opened or loaded once the drag is over, so the file manager is not
    // kept waiting while a scene is read.
    QTimer::singleShot(0, this, [this, target = *t] {
        runCommand([&] {
            Model->formDropFile(target.file, target.onViewer, target.x, target.y, target.width, target.height);
        });
    });
}

} // namespace velmora
