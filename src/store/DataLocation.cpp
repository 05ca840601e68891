#include "DataLocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

// A folder is usable when it exists or can be made, and a file can be created in it.
bool usableFolder(const QString& dir) {
    const QFileInfo info(dir);
    if (!info.exists()) {
        if (!QDir().mkpath(dir)) return false;
        QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    } else if (!info.isDir()) {
        return false;
    }
    QTemporaryFile probe(dir + QStringLiteral("/.probe-XXXXXX"));
    return probe.open();
}

}  // namespace

DataLocation DataLocation::resolve(const QString& exeDir, const QString& userDataDir) {
    const QString beside = QDir(exeDir).absolutePath() + QStringLiteral("/Data");
    if (usableFolder(beside)) {
        // As the old registration did: the folder with its trailing separator, then "/Data/...".
        QString folder = QDir(exeDir).absolutePath();
        if (!folder.endsWith(u'/')) folder += u'/';
        return {beside + u'/' + QLatin1String(kFileName),
                folder + QStringLiteral("/Data/") + QLatin1String(kFileName), true};
    }
    QString user = userDataDir.isEmpty()
                       ? QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)
                       : userDataDir;
    user = QDir(user).absolutePath() + QStringLiteral("/Data");
    usableFolder(user);
    const QString file = user + u'/' + QLatin1String(kFileName);
    return {file, file, false};
}
