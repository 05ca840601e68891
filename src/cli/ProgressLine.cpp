#include "ProgressLine.h"

#include <unistd.h>

#include <QElapsedTimer>
#include <cstdio>

#include "cli/Console.h"

namespace cli {

namespace {

volatile sig_atomic_t interrupted = 0;

void onInterrupt(int) { interrupted = 1; }

qint64 monotonicMs() {
    static QElapsedTimer t;
    if (!t.isValid()) t.start();
    return t.elapsed();
}

}  // namespace

ProgressLine::ProgressLine(QString what) : m_what(std::move(what)), m_tty(::isatty(STDERR_FILENO) == 1) {
    interrupted = 0;
    struct sigaction action {};
    action.sa_handler = &onInterrupt;
    sigemptyset(&action.sa_mask);
    // The second Ctrl+C finds the default action again: a work that does not stop is ended.
    action.sa_flags = SA_RESETHAND;
    ::sigaction(SIGINT, &action, &m_previous);
}

ProgressLine::~ProgressLine() {
    finish();
    ::sigaction(SIGINT, &m_previous, nullptr);
}

void ProgressLine::update(qint64 done, qint64 total) {
    if (!m_tty) return;
    const qint64 now = monotonicMs();
    if (m_open && now - m_lastMs < 100 && done != total) return;  // at most ten redraws a second
    m_lastMs = now;
    const QString line = total > 0 ? QStringLiteral("%1：%2 / %3（%4%）")
                                         .arg(m_what)
                                         .arg(done)
                                         .arg(total)
                                         .arg(done * 100 / total)
                                   : QStringLiteral("%1：%2").arg(m_what).arg(done);
    say(QStringLiteral("\r") + line + QStringLiteral("\033[K"));
    m_open = true;
}

void ProgressLine::finish() {
    if (!m_open) return;
    say(QStringLiteral("\n"));
    m_open = false;
}

ProgressFn ProgressLine::fn() {
    return [this](qint64 done, qint64 total) {
        update(done, total);
        return interrupted == 0;
    };
}

}  // namespace cli
