#include "Application.h"

#include <exception>

#include "gui/ui/FormRunner.h"

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        formrunner::reportCurrentException(activeModalWidget() ? activeModalWidget() : activeWindow());
    }
    return false;
}
