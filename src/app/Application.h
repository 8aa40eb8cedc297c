#pragma once
// The application object: its default error handler shows the text of any
// exception that escapes a command in a message box, and the program goes on.

#include <QApplication>
#include <QString>
#include <QWheelEvent>

#include <exception>
#include <functional>

namespace velmora {

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Told about every wheel event once, before the widget it goes to (and
    // the widgets it may be passed on to) sees it. Ends with `owner`.
    using TWheelObserver = std::function<void(QWidget* receiver, QWheelEvent* event)>;
    static void addWheelObserver(QObject* owner, TWheelObserver observer);

    // Shows an error text as the application does for an uncaught command error.
    static void showException(const std::exception& e);
    static void showError(const QString& text);
};

// Runs a command so that its errors go to the application's error handler
// without unwinding through the toolkit's own frames. Returns false on error.
bool runCommand(const std::function<void()>& command);

} // namespace velmora
