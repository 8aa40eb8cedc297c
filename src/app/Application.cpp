#include "app/Application.h"

#include "engine/ScopeGuard.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <vector>

namespace velmora {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    // The application title. Only the name is set: an explicit display name
    // would be appended to every window caption ("Velmora Professional — Velmora").
    setApplicationName("Velmora");
}

namespace {

struct WheelObserverEntry {
    QPointer<QObject> owner;
    TApplication::TWheelObserver observer;
};

std::vector<WheelObserverEntry>& wheelObservers()
{
    static std::vector<WheelObserverEntry> list;
    return list;
}

// Wheel events a widget sends on while handling one (a scroll bar passing
// it to its scroll area) are not new turns of the wheel.
int wheelDepth = 0;

} // namespace

void TApplication::addWheelObserver(QObject* owner, TWheelObserver observer)
{
    wheelObservers().push_back({owner, std::move(observer)});
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        if (event->type() == QEvent::Wheel && receiver->isWidgetType()) {
            TScopedValue depth(wheelDepth, wheelDepth + 1);
            if (wheelDepth == 1) {
                auto& list = wheelObservers();
                std::erase_if(list, [](const WheelObserverEntry& e) { return e.owner.isNull(); });
                const auto observers = list; // an observer may add another
                for (const WheelObserverEntry& e : observers)
                    if (!e.owner.isNull())
                        e.observer(static_cast<QWidget*>(receiver), static_cast<QWheelEvent*>(event));
            }
            return QApplication::notify(receiver, event);
        }
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        showException(e);
    } catch (...) {
        showError(QStringLiteral("Unknown error."));
    }
    return false;
}

void TApplication::showException(const std::exception& e)
{
    showError(QString::fromUtf8(e.what()));
}

void TApplication::showError(const QString& text)
{
    // A busy cursor left by the failed command must not hide the message box.
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Velmora"), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

bool runCommand(const std::function<void()>& command)
{
    try {
        command();
        return true;
    } catch (const std::exception& e) {
        TApplication::showException(e);
    } catch (...) {
        TApplication::showError(QStringLiteral("Unknown error."));
    }
    return false;
}

} // namespace velmora
