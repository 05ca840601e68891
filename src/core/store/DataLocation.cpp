#include "DataLocation.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

QByteArray native(const QString& path) { return QFile::encodeName(path); }

// A folder is usable when it exists or can be made, and a file can be created in it.
bool usableFolder(const QString& dir) {
    const QFileInfo info(dir);
    if (!info.exists()) {
        if (!QDir().mkpath(dir)) return false;
        ::chmod(native(dir).constData(), 0700);
    } else if (!info.isDir()) {
        return false;
    }
    QTemporaryFile probe(dir + QStringLiteral("/.probe-XXXXXX"));
    return probe.open();
}

// Takes away every right of group and others from a file or folder this user owns.
void tighten(const QString& path, mode_t mode) {
    struct stat st {};
    if (::lstat(native(path).constData(), &st) != 0 || S_ISLNK(st.st_mode) || st.st_uid != ::geteuid())
        return;
    if ((st.st_mode & 0777) != mode) ::chmod(native(path).constData(), mode);
}

}  // namespace

bool DataLocation::isInstalledLayout(const QString& exeDir) {
    const QDir dir(exeDir);
    return dir.dirName() == QLatin1String("bin") &&
           QFileInfo(dir.absoluteFilePath(QStringLiteral("../share/quenvale"))).isDir();
}

QString DataLocation::refusal(const QString& file) {
    const QString folder = QFileInfo(file).absolutePath();
    struct stat st {};
    if (::stat(native(folder).constData(), &st) == 0 && st.st_uid != ::geteuid())
        return QStringLiteral(
                   "数据文件夹 %1 属于其他用户，为保护居民信息，程序不使用它。"
                   "请把它删除或交给本用户，然后重新启动程序。")
            .arg(QDir::toNativeSeparators(folder));
    if (::lstat(native(file).constData(), &st) != 0) return {};
    if (S_ISLNK(st.st_mode))
        return QStringLiteral(
                   "数据库文件 %1 是一个符号链接，为保护居民信息，程序不通过它写入。"
                   "请换成真正的数据库文件，然后重新启动程序。")
            .arg(QDir::toNativeSeparators(file));
    if (st.st_uid != ::geteuid())
        return QStringLiteral(
                   "数据库文件 %1 属于其他用户，为保护居民信息，程序不使用它。"
                   "请把它交给本用户，然后重新启动程序。")
            .arg(QDir::toNativeSeparators(file));
    return {};
}

QString DataLocation::userDataFolder() {
    // Not AppLocalDataLocation: that follows the running executable's name unless every entry
    // point remembers to set it, and "quenvale-cli" would then get a register of its own.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u'/' +
           QLatin1String(kApplicationName);
}

DataLocation DataLocation::resolve(const QString& exeDir, const QString& userDataDir) {
    // SQLite creates journal files as it works: they are private from the start.
    ::umask(077);

    DataLocation loc;
    const QString beside = QDir(exeDir).absolutePath() + QStringLiteral("/Data");
    if (!isInstalledLayout(exeDir) && usableFolder(beside)) {
        // As the old registration did: the folder with its trailing separator, then "/Data/...".
        QString folder = QDir(exeDir).absolutePath();
        if (!folder.endsWith(u'/')) folder += u'/';
        loc = {beside + u'/' + QLatin1String(kFileName),
               folder + QStringLiteral("/Data/") + QLatin1String(kFileName),
               true,
               {}};
    } else {
        QString user = userDataDir.isEmpty() ? userDataFolder() : userDataDir;
        user = QDir(user).absolutePath() + QStringLiteral("/Data");
        const QString file = user + u'/' + QLatin1String(kFileName);
        loc = {file, file, false, {}};
        if (!usableFolder(user)) {
            loc.problem = QStringLiteral(
                              "无法建立数据文件夹 %1（也无法使用程序旁的 Data 文件夹）。"
                              "请检查磁盘空间和文件夹的权限。")
                              .arg(QDir::toNativeSeparators(user));
            return loc;
        }
    }
    loc.problem = refusal(loc.file);
    if (loc.problem.isEmpty()) {
        tighten(QFileInfo(loc.file).absolutePath(), 0700);
        for (const char* suffix : {"", "-journal", "-wal", "-shm"})
            tighten(loc.file + QLatin1String(suffix), 0600);
    }
    return loc;
}
