#include "TargetFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>

#include "ExportTypes.h"

namespace exchange {

namespace {

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

void checkNotFolder(const QString& path) {
    if (QFileInfo(path).isDir())
        throw ExportError{QStringLiteral("“%1”是一个文件夹，请另选一个文件名。").arg(shown(path))};
}

}  // namespace

TargetFiles::TargetFiles(const QString& target) : m_target(QFileInfo(target).absoluteFilePath()) {
    if (target.trimmed().isEmpty()) throw ExportError{QStringLiteral("没有指定要写入的文件。")};
    checkNotFolder(m_target);
    const QFileInfo folder(QFileInfo(m_target).absolutePath());
    if (!folder.isDir())
        throw ExportError{QStringLiteral("文件夹“%1”不存在。").arg(shown(folder.filePath()))};
}

TargetFiles::~TargetFiles() {
    if (m_committed) return;
    for (const Entry& e : m_entries) QFile::remove(e.temp);
}

QString TargetFiles::besideTarget(const QString& sheet) const {
    const QFileInfo t(m_target);
    const QString suffix = t.suffix();
    return t.absolutePath() + u'/' + t.completeBaseName() + u'_' + sheet +
           (suffix.isEmpty() ? QString() : u'.' + suffix);
}

QString TargetFiles::add(const QString& finalPath) {
    checkNotFolder(finalPath);
    const QFileInfo f(finalPath);
    // A hidden name beside the target: the rename stays on one file system and so is atomic.
    QTemporaryFile temp(f.absolutePath() + QStringLiteral("/.") + f.fileName() + QStringLiteral(".XXXXXX"));
    temp.setAutoRemove(false);
    if (!temp.open())
        throw ExportError{QStringLiteral("无法在文件夹“%1”中写入文件，请检查文件夹是否存在、是否有写入权限。")
                              .arg(shown(f.absolutePath()))};
    const QString name = temp.fileName();
    temp.close();
    m_entries.push_back({name, f.absoluteFilePath()});
    return name;
}

void TargetFiles::commit() {
    for (const Entry& e : m_entries) checkNotFolder(e.final);
    for (const Entry& e : m_entries) {
        // rename() replaces an existing file in one step; QFile::rename would refuse.
        if (std::rename(QFile::encodeName(e.temp).constData(), QFile::encodeName(e.final).constData()) != 0)
            throw ExportError{QStringLiteral("无法写入文件“%1”。").arg(shown(e.final))};
    }
    m_committed = true;
}

QStringList TargetFiles::finalPaths() const {
    QStringList out;
    for (const Entry& e : m_entries) out << e.final;
    return out;
}

}  // namespace exchange
