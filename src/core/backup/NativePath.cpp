#include "NativePath.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>

namespace nativepath {

namespace {

QMutex& lock() {
    static QMutex m;
    return m;
}

// Stand-in path -> the name as given.
QHash<QString, QString>& standIns() {
    static QHash<QString, QString> map;
    return map;
}

}  // namespace

QString fromNative(const QByteArray& raw) {
    const QString decoded = QFile::decodeName(raw);
    if (QFile::encodeName(decoded) == raw) return decoded;
    // The descriptor stays open for the rest of the process: its /proc entry is a link to the
    // file under its real name, which every later open (Qt's or SQLite's) follows.
    const int fd = ::open(raw.constData(), O_PATH | O_CLOEXEC);
    if (fd < 0) return decoded;
    const QString standIn = QStringLiteral("/proc/self/fd/%1").arg(fd);
    QMutexLocker guard(&lock());
    standIns().insert(standIn, decoded);
    return standIn;
}

QString display(const QString& path) {
    QMutexLocker guard(&lock());
    return QDir::toNativeSeparators(standIns().value(path, path));
}

}  // namespace nativepath
