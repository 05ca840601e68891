#include "FormRunner.h"

#include <QPointer>
#include <exception>

#include "gui/ui/Prompt.h"

namespace formrunner {

void reportCurrentException(QWidget* parent) {
    QString text;
    try {
        throw;
    } catch (const std::exception& e) {
        text = QString::fromUtf8(e.what());
    } catch (...) {
    }
    if (text.isEmpty()) text = QStringLiteral("发生了未知错误。");
    fail(parent, text);
}

void guarded(QWidget* parent, const std::function<void()>& work) {
    try {
        work();
    } catch (...) {
        reportCurrentException(parent);
    }
}

void run(QWidget* parent, const Factory& make) {
    QPointer<QDialog> form;
    try {
        form = make(parent);
    } catch (...) {
        reportCurrentException(parent);
        return;
    }
    if (!form) return;
    try {
        form->exec();
    } catch (...) {
        reportCurrentException(parent);
    }
    delete form.data();
}

}  // namespace formrunner
