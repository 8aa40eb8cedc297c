// The main window's side of rendering to a file: the picture save dialog,
// the progress bar, the key filter and entry handlers of the size edits.

#include "app/Application.h"
#include "app/Unit1.h"
#include "app/viewer/GLSceneViewer.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>

namespace velmora {

namespace {

// Hands typed characters of a size edit to the model's key filter and tells
// it when the edit receives the focus.
class TSizeEditFilter : public QObject {
public:
    TSizeEditFilter(QObject* parent, std::function<bool(char32_t&)> keyPress, std::function<void()> enter)
        : QObject(parent),
          KeyPress(std::move(keyPress)),
          Enter(std::move(enter))
    {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const QString text = static_cast<QKeyEvent*>(event)->text();
            // Only characters reach the filter; navigation and editing keys
            // (arrows, Tab, Delete) are not characters.
            if (!text.isEmpty()) {
                const char32_t c = text.toUcs4().value(0);
                if (c == 8 || (c >= 0x20 && c != 0x7F)) {
                    char32_t key = c;
                    if (!KeyPress(key)) return true; // discarded
                }
            }
        } else if (event->type() == QEvent::FocusIn) {
            runCommand(Enter);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool(char32_t&)> KeyPress;
    std::function<void()> Enter;
};

} // namespace

void TfrmMain::installRendering()
{
    TfrmMainModel& m = *Model;
    // The hidden New Size labels keep their room, so switching them on does
    // not move the controls below under the pointer.
    for (QWidget* w : {static_cast<QWidget*>(lblCaptionNewSize), static_cast<QWidget*>(lblNewSize)}) {
        QSizePolicy p = w->sizePolicy();
        p.setRetainSizeWhenHidden(true);
        w->setSizePolicy(p);
    }
    m.SetProgress = [this](int position) {
        if (pb->value() == position) return;
        pb->setValue(position);
        // The bar moves while the window is otherwise busy: repaint it now
        // and let the overlay and the rest of the window repaint too.
        pb->repaint();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    m.ShowMessage = [this](const std::string& text) {
        QMessageBox::information(this, QStringLiteral("Velmora"), QString::fromStdString(text));
    };
    m.ViewerBuffer = [this]() -> TGLSceneBuffer* {
        auto* viewer = dynamic_cast<TGLSceneViewer*>(GLSceneViewer1);
        return viewer && viewer->HasContext() ? &viewer->Buffer() : nullptr;
    };
    RunSavePictureDialog = [this] { return runSavePictureDialogDefault(); };
    m.RunSavePictureDialog = [this]() -> std::optional<std::pair<std::string, int>> {
        return RunSavePictureDialog ? RunSavePictureDialog() : std::nullopt;
    };
    txtNewWidth->installEventFilter(new TSizeEditFilter(
        txtNewWidth, [&m](char32_t& k) { return m.txtNewWidthKeyPress(k); }, [&m] { m.txtNewWidthEnter(); }));
    txtNewHeight->installEventFilter(new TSizeEditFilter(
        txtNewHeight, [&m](char32_t& k) { return m.txtNewHeightKeyPress(k); }, [&m] { m.txtNewHeightEnter(); }));
}

void TfrmMain::SaveToFile1Click()
{
    runCommand([&] { Model->SaveToFile1Click(); });
}

void TfrmMain::btnRenderClick()
{
    runCommand([&] { Model->btnRender.click(); });
}

TfrmMain::OpenDialogResult TfrmMain::runSavePictureDialogDefault()
{
    // SavePictureDialog1: JPEG first, then BMP; the last name is offered again.
    const QStringList filters{QStringLiteral("JPEG Image File (*.jpg)"), QStringLiteral("Bitmaps (*.bmp)")};
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(QStringLiteral("jpg"));
    // A name typed without extension gets the chosen format's.
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, filters](const QString& f) {
        dialog.setDefaultSuffix(f == filters[1] ? QStringLiteral("bmp") : QStringLiteral("jpg"));
    });
    if (!Model->SavePictureDialog1FileName.empty())
        dialog.selectFile(QString::fromStdString(Model->SavePictureDialog1FileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    const int index = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
    return std::make_pair(dialog.selectedFiles().first().toStdString(), index < 1 ? 1 : index);
}

} // namespace velmora
