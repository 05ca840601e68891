#pragma once

#include <QApplication>

/// The desktop program's application object. An exception that escapes an event handler is
/// caught here, before it can cross Qt's event loop, and reported in the standard error box;
/// the program carries on.
class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};
