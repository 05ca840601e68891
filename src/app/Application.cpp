#include "Application.h"

#include <exception>

#include "app/FormRunner.h"

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        formrunner::reportCurrentException(activeModalWidget() ? activeModalWidget() : activeWindow());
    }
    return false;
}
