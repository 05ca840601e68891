#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "core/exchange/Temporaries.h"

namespace exchange {

class PendingWrites;

/// The files of one export, written under temporary names beside their targets and renamed into
/// place only by commit(). Until then an existing file at a target stays untouched; whatever
/// was not committed is removed when the object goes, and what a killed writer left in the
/// folder (or in the folder of any other write that was killed) is removed when the next one
/// starts. Every file follows the target rule (targetRefusal).
class TargetFiles {
public:
    /// Checks the target by the target rule for `extension` files and sweeps leftovers.
    /// Raises ExportError.
    TargetFiles(const QString& target, const QString& extension, bool replace);
    ~TargetFiles();
    TargetFiles(const TargetFiles&) = delete;
    TargetFiles& operator=(const TargetFiles&) = delete;

    const QString& target() const { return m_target; }
    /// The path of a further sheet's file beside the target: "<stem>_<sheet>.<ext>".
    QString besideTarget(const QString& sheet) const;
    /// Reserves a temporary file for `finalPath` (the target or a path beside it, which the
    /// target rule must allow) and returns its name. Raises ExportError.
    QString add(const QString& finalPath);
    /// Renames every file into place, the target last (a target in place means the whole export
    /// is). Without `replace` a file that appeared at a final path meanwhile is never replaced.
    /// Raises ExportError.
    void commit();
    QStringList finalPaths() const;

private:
    struct Entry {
        temporaries::Held temp;
        QString final;
    };
    QString m_target;
    QString m_extension;
    bool m_replace = false;
    std::unique_ptr<PendingWrites> m_note;
    std::vector<Entry> m_entries;
    bool m_committed = false;
};

}  // namespace exchange
