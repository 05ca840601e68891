#pragma once

#include <QString>
#include <functional>

#include "core/store/Progress.h"

class QWidget;

/// Long work under the one progress window of the desktop program: modal over `parent`, shown
/// only when the work lasts, with a Cancel button that makes the work's next progress call
/// return false (the work then throws Cancelled or ends early, as it says).
namespace progressrunner {

struct Window {
    QString text;                              ///< what is being done
    QString title = QStringLiteral("请稍候");  ///< the window's caption
    QString objectName = QStringLiteral("Frm_Progress");
};

/// Runs `work` on this thread (it uses the register's own connection); the work's progress
/// calls keep the window painted.
void onThisThread(QWidget* parent, const Window& window, const std::function<void(const ProgressFn&)>& work);

/// Runs `work` in a worker thread (file work that uses no connection of this thread) while the
/// window keeps the program alive; rethrows what the work threw.
void inWorker(QWidget* parent, const Window& window, const std::function<void(const ProgressFn&)>& work);

}  // namespace progressrunner
