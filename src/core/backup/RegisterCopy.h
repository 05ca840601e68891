#pragma once

#include <QString>

#include "core/backup/SqliteFile.h"

/// A new register built from the rows of another register file: exactly what a new register
/// gets (the program's own tables, TEXT columns and indexes), filled with the other file's rows
/// of those tables read as text. Nothing else of the other file comes along: no trigger, view,
/// other table or declared column type, and nothing of its schema runs (ForeignFile).
namespace registercopy {

/// What went into the new file.
struct Result {
    qint64 rows = 0;     ///< rows copied, all tables
    qint64 leftOut = 0;  ///< rows without an identity number, or repeating one in BasicInfo
};

/// Whether the other file's pages and trees are checked (quick_check) inside the same read as
/// the rows; a caller that checked the file already leaves it out.
enum class Check { None, Structure };

/// Builds `target` (which must not exist; mode 0600) from `source`. All rows are read in one
/// read transaction, so the copy is consistent even while another program writes the source.
/// A `Kept` file gets the indexes and is made durable; a `Scratch` one (read once, table by
/// table, and deleted) gets neither.
/// Throws sqlitefile::FileError (busyMessage() when another program held the source for the
/// whole wait, damagedMessage() when it cannot be read; nothing is left at `target`) or
/// Cancelled.
Result build(const QString& source, const QString& target, const ProgressFn& progress = {},
             sqlitefile::Use use = sqlitefile::Use::Kept, Check check = Check::None);

}  // namespace registercopy
