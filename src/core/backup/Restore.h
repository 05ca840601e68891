#pragma once

#include <QString>
#include <QStringList>

#include "core/backup/Snapshots.h"

/// Replacing the register with a backup: the file is checked first, the current file is kept
/// as a backup, and the chosen copy takes its place by one atomic rename.
namespace backup {

/// What a file offered for a restore holds, or why it cannot be restored.
struct Inspection {
    bool ok = false;
    QString message;  ///< why not (Chinese, for the user, one sentence) when !ok
    int questionnaires = 0;
    QString oldestId;  ///< the first questionnaire entered
    QString newestId;  ///< the last questionnaire entered
    /// What the file holds beyond the register's rows, by name: it is never taken over.
    QStringList triggers, views, otherTables;
    /// The summary shown before the confirmation.
    QString summary(const QString& file) const;
    /// One sentence naming what is left behind; empty when the file holds nothing else.
    QString leftBehind() const;
};

/// Said after a refused restore: "未恢复，当前的登记册没有改动。"
extern const QString kNotRestored;

/// Checks a file: not empty, an SQLite database, integrity_check ok, the thirteen tables with
/// their columns, each an ordinary table whose columns hold stored values. Reads it without
/// writing and without running anything of its schema (ForeignFile). `checkIntegrity` false
/// leaves out the integrity check (for a caller that checks while it copies).
Inspection inspect(const QString& file, bool checkIntegrity = true);
/// The reason given for a file that fails its integrity check.
QString damagedMessage();
/// The reason given for a file that another program kept locked for the whole wait.
QString busyMessage();
/// The reason given when another program has the register open at the moment of a restore.
QString registerInUseMessage();
/// Said after a restore that left rows out (no identity number, or one repeated in BasicInfo).
QString rowsLeftOutMessage(qint64 rows);

/// Replaces the database file of `snapshots` with `file`: checks it, keeps the current file as
/// a copy made before the restore (returned path), builds a new register beside the database
/// under a temporary name with the program's own schema and the thirteen tables' rows of `file`
/// read as text, closes every connection, renames the new file into place. The connection opens
/// again on its next statement. Refused while another program has the register open
/// (RegisterLock). Throws sqlitefile::FileError (nothing changed) or Cancelled.
QString restore(const QString& file, Snapshots& snapshots, const ProgressFn& progress = {});

/// A restore in two steps, for a window that copies in a worker thread: `prepare` (any
/// thread: checks, backs up the current file, copies `file` beside it) and `commit` (the
/// thread that owns the connections: closes them, renames the copy into place).
struct PreparedRestore {
    QString copy;  ///< the new register beside the database file
    QString kept;  ///< the copy of the current file made before the restore
    QString target;
    qint64 rowsLeftOut = 0;  ///< rows without an identity number, or repeating one in BasicInfo
};
PreparedRestore prepareRestore(const QString& file, Snapshots& snapshots,
                               const ProgressFn& progress = {});
/// Throws sqlitefile::FileError (nothing changed; the copy is removed).
void commitRestore(const PreparedRestore& prepared);
/// Removes a prepared copy that will not be used.
void abandonRestore(const PreparedRestore& prepared);

}  // namespace backup
