#include "app/Application.h"

#include <QMessageBox>
#include <QWidget>

namespace velmora {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    // The application title. Only the name is set: an explicit display name
    // would be appended to every window caption ("Velmora Professional — Velmora").
    setApplicationName("Velmora");
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowException(e);
    } catch (...) {
        ShowError(QStringLiteral("Unknown error."));
    }
    return false;
}

void TApplication::ShowException(const std::exception& e)
{
    ShowError(QString::fromUtf8(e.what()));
}

void TApplication::ShowError(const QString& text)
{
    // A busy cursor left by the failed command must not hide the message box.
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Velmora"), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

bool RunCommand(const std::function<void()>& command)
{
    try {
        command();
        return true;
    } catch (const std::exception& e) {
        TApplication::ShowException(e);
    } catch (...) {
        TApplication::ShowError(QStringLiteral("Unknown error."));
    }
    return false;
}

} // namespace velmora
