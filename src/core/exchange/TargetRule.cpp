#include "TargetRule.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace exchange {

const QStringList& writtenExtensions() {
    static const QStringList all = {QStringLiteral("xlsx"), QStringLiteral("csv"), QStringLiteral("sav"),
                                    QStringLiteral("dta"),  QStringLiteral("pdf"), QStringLiteral("db")};
    return all;
}

QString targetRefusal(const QString& path, const QString& extension, bool replace) {
    if (path.trimmed().isEmpty()) return QStringLiteral("没有指定要写入的文件。");
    const QFileInfo info(path);
    const QString shown = QDir::toNativeSeparators(info.absoluteFilePath());
    struct stat st = {};
    // lstat, not QFileInfo: a link is judged as a link, not as what it points to.
    const bool exists = ::lstat(QFile::encodeName(info.absoluteFilePath()).constData(), &st) == 0;
    if (exists && S_ISLNK(st.st_mode))
        return QStringLiteral(
                   "“%1”是一个符号链接。本程序不通过链接写入文件（文件会落到链接所指的别处），"
                   "请另选一个文件名。")
            .arg(shown);
    if (exists && S_ISDIR(st.st_mode))
        return QStringLiteral("“%1”是一个文件夹，请另选一个文件名。").arg(shown);
    if (exists && !S_ISREG(st.st_mode))
        return QStringLiteral("“%1”不是普通文件，请另选一个文件名。").arg(shown);
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir())
        return QStringLiteral("文件夹“%1”不存在。").arg(QDir::toNativeSeparators(folder.filePath()));
    const QString suffix = info.suffix().toLower();
    if (!extension.isEmpty() && suffix != extension && writtenExtensions().contains(suffix))
        return QStringLiteral("文件名“%1”的扩展名是 .%2，与要写入的格式不符（应为 .%3）。")
            .arg(info.fileName(), suffix, extension);
    if (exists && !replace)
        return QStringLiteral("文件“%1”已经存在，没有改动它。要替换它，请加上 --force。").arg(shown);
    return QString();
}

}  // namespace exchange
