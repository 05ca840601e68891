#include "PendingWrites.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QUuid>

#include "core/exchange/Temporaries.h"

namespace exchange {

namespace {

bool sameFile(int fd, const QByteArray& path) {
    struct stat a = {}, b = {};
    return ::fstat(fd, &a) == 0 && ::lstat(path.constData(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

}  // namespace

QString PendingWrites::notesFolder() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/quenvale/pending-writes");
}

PendingWrites::PendingWrites(const QString& folder) {
    const QString dir = notesFolder();
    if (!QDir().mkpath(dir)) return;
    // The notes name folders of the user's exports: for the user's eyes only.
    QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QString note =
            dir + u'/' + QUuid::createUuid().toString(QUuid::Id128) + QStringLiteral(".folder");
        const QByteArray native = QFile::encodeName(note);
        const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) return;
        ::flock(fd, LOCK_EX);
        if (!sameFile(fd, native)) {  // a sweep took it before the lock
            ::close(fd);
            continue;
        }
        const QByteArray text = folder.toUtf8();
        if (::write(fd, text.constData(), size_t(text.size())) != text.size()) {
            ::unlink(native.constData());
            ::close(fd);
            return;
        }
        m_note = note;
        m_fd = fd;
        return;
    }
}

PendingWrites::~PendingWrites() {
    if (m_fd < 0) return;
    ::unlink(QFile::encodeName(m_note).constData());
    ::close(m_fd);
}

QStringList PendingWrites::sweepAll() {
    QStringList removed;
    const QDir dir(notesFolder());
    for (const QString& n : dir.entryList({QStringLiteral("*.folder")}, QDir::Files | QDir::Hidden)) {
        const QByteArray native = QFile::encodeName(dir.absoluteFilePath(n));
        const int fd = ::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        // A note whose lock is held belongs to a writer that is still running.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && sameFile(fd, native)) {
            QByteArray folder;
            char buf[4096];
            ssize_t got;
            while ((got = ::read(fd, buf, sizeof buf)) > 0 && folder.size() < 65536) folder.append(buf, got);
            if (!folder.isEmpty()) removed += temporaries::sweep(QString::fromUtf8(folder));
            ::unlink(native.constData());
        }
        ::close(fd);
    }
    return removed;
}

}  // namespace exchange
