#include "KeyPreview.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

KeyPreview::KeyPreview(QWidget* form) : QObject(form), m_form(form) { qApp->installEventFilter(this); }

bool KeyPreview::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
    auto* w = static_cast<QWidget*>(watched);
    if (w->window() != m_form) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    // A key reaches the filter once per object it is offered to, and again for each parent when
    // the control ignores it: act only where it first arrives (the form itself when nothing has focus).
    QWidget* focus = QApplication::focusWidget();
    if (w != (focus ? focus : m_form)) return false;
    emit keyDown(key->key());
    if (key->key() == Qt::Key_Escape) return true;
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        if (QWidget* focus = QApplication::focusWidget()) {
            QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
            QCoreApplication::sendEvent(focus, &tab);
        }
    }
    return false;
}
