#include "Temporaries.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <cerrno>

#include "core/exchange/ExportTypes.h"

namespace exchange::temporaries {

namespace {

const QLatin1String kMark(".quenvale-");
constexpr int kRandomChars = 6;

QString randomPart() {
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString s;
    for (int i = 0; i < kRandomChars; ++i)
        s += QLatin1Char(kChars[QRandomGenerator::system()->bounded(int(sizeof(kChars)) - 1)]);
    return s;
}

bool sameFile(int fd, const QByteArray& path) {
    struct stat a = {}, b = {};
    return ::fstat(fd, &a) == 0 && ::lstat(path.constData(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

}  // namespace

bool isTemporaryName(const QString& fileName) {
    static const QRegularExpression re(
        QStringLiteral("^\\..+\\.quenvale-[A-Za-z0-9]{%1}$").arg(kRandomChars));
    return re.match(fileName).hasMatch();
}

Held create(const QString& finalPath) {
    const QFileInfo f(finalPath);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = f.absolutePath() + QStringLiteral("/.") + f.fileName() + kMark + randomPart();
        const QByteArray native = QFile::encodeName(name);
        const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            throw ExportError{
                QStringLiteral("无法在文件夹“%1”中写入文件，请检查文件夹是否存在、是否有写入权限。")
                    .arg(QDir::toNativeSeparators(f.absolutePath()))};
        }
        // Where the file system has no locks the temporary goes unlocked; sweeps then go by age.
        ::flock(fd, LOCK_EX);
        // A sweep may have taken the file between its creation and the lock: start again.
        if (sameFile(fd, native)) return {name, fd};
        ::close(fd);
    }
    throw ExportError{
        QStringLiteral("无法在文件夹“%1”中建立临时文件。").arg(QDir::toNativeSeparators(f.absolutePath()))};
}

bool sync(const Held& held) { return held.fd >= 0 && ::fsync(held.fd) == 0; }

void release(Held& held) {
    if (held.fd >= 0) ::close(held.fd);
    held.fd = -1;
}

QStringList sweep(const QString& folder) {
    QStringList removed;
    const QDir dir(folder);
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    const qint64 dayAgo = QDateTime::currentSecsSinceEpoch() - 24 * 3600;
    for (const QString& n : names) {
        if (!isTemporaryName(n)) continue;
        const QString path = dir.absoluteFilePath(n);
        const QByteArray native = QFile::encodeName(path);
        struct stat st = {};
        if (::lstat(native.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        const int fd = ::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        bool dead = false;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            dead = true;  // its writer is gone (the lock is dropped with the process)
        else if (errno != EWOULDBLOCK)
            dead = st.st_mtime < dayAgo;  // no locks here: only what is surely abandoned
        if (dead && sameFile(fd, native) && ::unlink(native.constData()) == 0) removed << path;
        ::close(fd);
    }
    return removed;
}

}  // namespace exchange::temporaries
