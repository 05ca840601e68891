#include "TargetFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>

#include "core/exchange/ExportTypes.h"
#include "core/exchange/PendingWrites.h"
#include "core/exchange/TargetRule.h"

namespace exchange {

namespace {

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

// Renames without ever replacing a file at `to`; false with errno EEXIST when one is there.
bool renameNoReplace(const QByteArray& from, const QByteArray& to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the flag: link() never replaces either.
    if (::link(from.constData(), to.constData()) != 0) return false;
    ::unlink(from.constData());
    return true;
}

void syncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

TargetFiles::TargetFiles(const QString& target, const QString& extension, bool replace)
    : m_target(target.trimmed().isEmpty() ? QString() : QFileInfo(target).absoluteFilePath()),
      m_extension(extension),
      m_replace(replace) {
    const QString refusal = targetRefusal(target, extension, replace);
    if (!refusal.isEmpty()) throw ExportError{refusal};
    const QString folder = QFileInfo(m_target).absolutePath();
    // What killed writers left: here, and wherever the notes say one was writing.
    PendingWrites::sweepAll();
    temporaries::sweep(folder);
    m_note = std::make_unique<PendingWrites>(folder);
}

TargetFiles::~TargetFiles() {
    for (Entry& e : m_entries) {
        if (!m_committed) QFile::remove(e.temp.path);
        temporaries::release(e.temp);
    }
}

QString TargetFiles::besideTarget(const QString& sheet) const {
    const QFileInfo t(m_target);
    const QString suffix = t.suffix();
    return t.absolutePath() + u'/' + t.completeBaseName() + u'_' + sheet +
           (suffix.isEmpty() ? QString() : u'.' + suffix);
}

QString TargetFiles::add(const QString& finalPath) {
    const QString final = QFileInfo(finalPath).absoluteFilePath();
    if (final != m_target) {
        const QString refusal = targetRefusal(final, m_extension, m_replace);
        if (!refusal.isEmpty()) throw ExportError{refusal};
    }
    m_entries.push_back({temporaries::create(final), final});
    return m_entries.back().temp.path;
}

void TargetFiles::commit() {
    std::vector<Entry*> order;
    for (Entry& e : m_entries)
        if (e.final != m_target) order.push_back(&e);
    for (Entry& e : m_entries)
        if (e.final == m_target) order.push_back(&e);
    // The rule again, just before the renames: the folder may have changed since the start.
    for (const Entry* e : order) {
        const QString refusal = targetRefusal(e->final, m_extension, m_replace);
        if (!refusal.isEmpty()) throw ExportError{refusal};
    }
    for (const Entry* e : order)
        if (!temporaries::sync(e->temp))
            throw ExportError{QStringLiteral("写入文件“%1”时出错，磁盘可能已满。").arg(shown(e->final))};
    for (const Entry* e : order) {
        const QByteArray from = QFile::encodeName(e->temp.path), to = QFile::encodeName(e->final);
        // rename() replaces an existing file in one step (and a link itself, never its target).
        const bool ok =
            m_replace ? std::rename(from.constData(), to.constData()) == 0 : renameNoReplace(from, to);
        if (!ok)
            throw ExportError{errno == EEXIST && !m_replace
                                  ? QStringLiteral("文件“%1”已经存在，没有改动它。要替换它，请加上 --force。")
                                        .arg(shown(e->final))
                                  : QStringLiteral("无法写入文件“%1”。").arg(shown(e->final))};
    }
    m_committed = true;
    syncFolder(QFileInfo(m_target).absolutePath());
    for (Entry& e : m_entries) temporaries::release(e.temp);
}

QStringList TargetFiles::finalPaths() const {
    QStringList out;
    for (const Entry& e : m_entries) out << e.final;
    return out;
}

}  // namespace exchange
