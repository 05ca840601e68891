#pragma once

#include <signal.h>

#include <QString>

#include "core/store/Progress.h"

namespace cli {

/// The progress of long work: a line on stderr, redrawn in place, when stderr is a terminal.
/// While it lives, Ctrl+C asks the work to stop (the work then throws Cancelled and keeps
/// nothing of itself); a second Ctrl+C ends the program at once.
class ProgressLine {
public:
    /// `what` names the work, e.g. "正在备份".
    explicit ProgressLine(QString what);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    /// `done` of `total` (total 0: not known yet).
    void update(qint64 done, qint64 total);
    /// Ends the line (also done by the destructor).
    void finish();
    /// The callback for the work: draws the line, and asks the work to stop after Ctrl+C.
    ProgressFn fn();

private:
    QString m_what;
    bool m_tty;
    bool m_open = false;
    qint64 m_lastMs = -1;
    struct sigaction m_previous {};
};

}  // namespace cli
