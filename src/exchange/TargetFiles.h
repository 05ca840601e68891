#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace exchange {

/// The files of one export, written under temporary names beside their targets and renamed into
/// place only by commit(). Until then an existing file at a target stays untouched; whatever
/// was not committed is removed when the object goes.
class TargetFiles {
public:
    /// Checks the target: not a folder, its folder exists. Raises ExportError.
    explicit TargetFiles(const QString& target);
    ~TargetFiles();
    TargetFiles(const TargetFiles&) = delete;
    TargetFiles& operator=(const TargetFiles&) = delete;

    const QString& target() const { return m_target; }
    /// The path of a further sheet's file beside the target: "<stem>_<sheet>.<ext>".
    QString besideTarget(const QString& sheet) const;
    /// Reserves a temporary file for `finalPath` (the target or a path beside it) and returns
    /// its name. Raises ExportError when the folder cannot be written.
    QString add(const QString& finalPath);
    /// Renames every file into place. Raises ExportError.
    void commit();
    QStringList finalPaths() const;

private:
    struct Entry {
        QString temp;
        QString final;
    };
    QString m_target;
    std::vector<Entry> m_entries;
    bool m_committed = false;
};

}  // namespace exchange
