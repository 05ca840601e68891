#pragma once

#include <QApplication>

/// The hourglass for as long as the object lives, however the scope is left; `restore()`
/// ends it early.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { restore(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

    void restore() {
        if (m_active) QApplication::restoreOverrideCursor();
        m_active = false;
    }

private:
    bool m_active = true;
};
