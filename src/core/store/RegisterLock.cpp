#include "RegisterLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QThread>

namespace {

// The process's lock on one register: one descriptor, the holds that share it.
struct Held {
    int fd = -1;
    int shared = 0;
    bool alone = false;
};

QMutex& mutex() {
    static QMutex m;
    return m;
}

QHash<QString, Held>& holds() {
    static QHash<QString, Held> map;
    return map;
}

constexpr int kSharedWaitMs = 5000;
constexpr int kStepMs = 50;

// Tries a shared lock for a few seconds: long enough for another program's restore to swap.
bool lockShared(int fd) {
    for (int waited = 0;; waited += kStepMs) {
        if (::flock(fd, LOCK_SH | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK || waited >= kSharedWaitMs) return false;
        QThread::msleep(kStepMs);
    }
}

int openLock(const QString& file) {
    return ::open(QFile::encodeName(file).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
}

}  // namespace

QString RegisterLock::lockFile(const QString& databaseFile) {
    const QFileInfo info(databaseFile);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".lock");
}

RegisterLock::RegisterLock(const QString& databaseFile, Mode mode) : m_key(lockFile(databaseFile)), m_mode(mode) {
    QMutexLocker guard(&mutex());
    auto it = holds().find(m_key);
    if (it == holds().end()) {
        const int fd = openLock(m_key);
        if (fd < 0) {
            m_held = true;  // no lock file can be made here: nobody holds one
            return;
        }
        const bool ok = mode == Mode::Shared ? lockShared(fd) : ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (!ok) {
            ::close(fd);
            return;
        }
        it = holds().insert(m_key, Held{fd, 0, false});
    } else if (mode == Mode::Alone) {
        if (it->alone) return;  // one restore at a time
        // Converting drops the shared lock first when the exclusive one cannot be had: take it
        // back at once.
        if (::flock(it->fd, LOCK_EX | LOCK_NB) != 0) {
            lockShared(it->fd);
            return;
        }
    }
    if (mode == Mode::Shared)
        ++it->shared;
    else
        it->alone = true;
    m_held = m_counted = true;
}

RegisterLock::~RegisterLock() {
    if (!m_counted) return;
    QMutexLocker guard(&mutex());
    auto it = holds().find(m_key);
    if (it == holds().end()) return;
    if (m_mode == Mode::Shared)
        --it->shared;
    else
        it->alone = false;
    if (it->shared > 0 || it->alone) {
        if (m_mode == Mode::Alone) lockShared(it->fd);  // back to what the other holds need
        return;
    }
    ::close(it->fd);
    holds().erase(it);
}
