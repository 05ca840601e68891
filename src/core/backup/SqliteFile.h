#pragma once

#include <QString>
#include <functional>
#include <stdexcept>

#include "core/store/Progress.h"

struct sqlite3;

/// Whole-file work on SQLite databases through the engine's own API: consistent copies of a
/// live database, integrity checks and durable renames. Never a plain copy of a live file.
namespace sqlitefile {


/// A failure of file work: `message` is for the user (Chinese), `detail` for the log.
struct FileError : std::runtime_error {
    FileError(QString message, QString detail);
    QString message;
    QString detail;
};


/// Copies the database `source` into a new file `target` (which must not exist) with SQLite's
/// online backup API: the copy is consistent even while another connection writes. The copy is
/// built under a temporary name beside `target` with mode 0600, checked with integrity_check,
/// made durable and renamed into place. `readOnly` opens the source without write access (a
/// file the user picked); otherwise the source may roll back a crashed writer's journal first.
/// `replace` lets the copy take the place of an existing `target` (the user agreed to it).
///
/// A `Scratch` copy is one that is read table by table and then deleted (never through its
/// indexes, never kept): it is checked with quick_check (every page and tree, not the index
/// entries against their rows) and not made durable.
///
/// When `target` appears meanwhile (another program's backup in the same second) and `nextName`
/// is given, the copy takes nextName(1), nextName(2), ... instead. Returns the path written.
enum class Use { Kept, Scratch };
QString copy(const QString& source, const QString& target, bool readOnly = false,
             const ProgressFn& progress = {}, bool replace = false, Use use = Use::Kept,
             const std::function<QString(int)>& nextName = {});

/// Runs PRAGMA integrity_check on `file`; true when it says "ok". `detail` gets the first problem.
bool integrityOk(const QString& file, QString* detail = nullptr);
/// Runs PRAGMA quick_check on `file`: the structure of every page and tree.
bool structureOk(const QString& file, QString* detail = nullptr);

/// Runs a check pragma (integrity_check, quick_check) on an open handle: "ok" with `ok` set, or
/// the first problem (SQLite's error text when it could not run). A value of another type than
/// its column declares is no problem: this program reads every value as text.
QString runCheck(sqlite3* db, const char* sql, bool* ok);

/// Renames `from` over `to` atomically and makes the new name durable (fsync of the folder).
bool renameDurably(const QString& from, const QString& to);

/// Makes `folder` (and its parents) with mode 0700 for the folder itself. A symbolic link in
/// its place is refused (false) and nothing is changed where it points.
bool makePrivateFolder(const QString& folder);

/// True when both paths name the same existing file (the same inode, whatever the names).
bool sameFile(const QString& a, const QString& b);

/// Makes a file's contents durable (fsync).
void syncFile(const QString& file);

}  // namespace sqlitefile
