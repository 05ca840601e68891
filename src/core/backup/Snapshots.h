#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "core/backup/SqliteFile.h"

/// Backups of the register's embedded database file: consistent copies in `Data/Backup/`
/// beside the file, named `MyDB-YYYYMMDD-HHMMSS.db` (see fileNameFor), and their rotation.
namespace backup {

/// The current local time; tests inject their own.
using Clock = std::function<QDateTime()>;

/// True when the register is the embedded SQLite file (backups and restore apply); false for a
/// database server, whose own tools keep its backups.
bool embeddedEngine();
/// What the backup commands say on a database server.
QString serverMessage();

/// The database file the connection "MyDb" opens (chosen at start-up); empty when none.
QString databaseFile();

/// Why a copy was made: a backup (the day's, or one asked for), or the copy of the register kept
/// just before a restore replaces it or a merge changes it. Those two are named apart, kept for
/// 30 days whatever else is made, and never take the place of a backup in the rotation.
enum class CopyKind { Backup, BeforeRestore, BeforeMerge };

/// How long a copy made before a restore or a merge is kept, in days.
constexpr int kKeepBeforeDays = 30;

/// The name of a copy: `MyDB-YYYYMMDD-HHMMSS.db`, `MyDB-YYYYMMDD-HHMMSS-before-restore.db` or
/// `...-before-merge.db`; a second copy of the same kind in the same second gets `-2` (`-3`, ...)
/// before `.db`.
QString fileNameFor(const QDateTime& when, CopyKind kind = CopyKind::Backup, int sequence = 1);
/// The moment a copy's name stands for; invalid when the name is not a copy's.
QDateTime stampOf(const QString& fileName);
/// The kind of copy a name stands for (meaningful only when stampOf() is valid).
CopyKind kindOf(const QString& fileName);

/// Of these copies' file names, those to remove on `today`: of the backups, kept are the newest
/// of each of the seven newest days that have one, and the newest of each of the last twelve
/// months (this month and the eleven before); every backup made today stays until tomorrow.
/// Copies made before a restore or a merge stay for kKeepBeforeDays days and hold no day's
/// place. A copy dated after today (made while the clock was wrong) is never removed and holds
/// no place either. Names that are not copies' are never removed.
QStringList rotationVictims(const QStringList& fileNames, const QDate& today);

/// True when `path` is a plain file (not a link) holding a register: what the rotation may
/// remove. Read without running anything of the file.
bool isRegisterCopy(const QString& path);

/// One backup file.
struct BackupInfo {
    QString path;
    QDateTime stamp;
    CopyKind kind = CopyKind::Backup;
    qint64 size = 0;
    int questionnaires = -1;  ///< -1 when the file cannot be read
};

/// The backups made for a database file, and making new ones.
class Snapshots {
public:
    explicit Snapshots(QString databaseFile, Clock clock = {});

    const QString& databaseFile() const { return m_file; }
    /// `Backup` beside the database file.
    QString folder() const;
    /// The default path of a backup made now.
    QString defaultTarget() const;

    /// Makes a checked copy of the database (into `target`, or the folder under its default
    /// name), then rotates the folder. Returns the copy's path. Throws sqlitefile::FileError or
    /// Cancelled; nothing half-written stays behind.
    QString backupNow(const ProgressFn& progress = {}, const QString& target = QString(),
                      bool replace = false);
    /// Makes the copy kept before a restore or a merge (`kind`) in the folder, then rotates it.
    QString keepBefore(CopyKind kind, const ProgressFn& progress = {});
    /// The file being restored or merged: this object's rotation never removes it.
    void protect(const QString& file);
    /// True when the folder holds no backup made today (the daily backup is then due).
    bool dailyDue() const;
    /// Removes what the rotation does not keep, and only copies this program made (a register
    /// inside a plain file of a copy's name), never a protected file and nothing in a folder
    /// that is a symbolic link; returns the removed paths.
    QStringList rotate();
    /// Why no copy may be made in the folder (it is a symbolic link), for the user; empty when
    /// it may.
    QString folderRefusal() const;
    /// Removes what a killed backup, restore or merge left behind (hidden temporary copies
    /// beside the database and in the folder) when it is older than an hour.
    QStringList removeLeftovers();
    /// The backups in the folder, newest first; `count` also reads how many questionnaires each holds.
    QList<BackupInfo> list(bool count = false) const;

private:
    QDateTime now() const;
    QString copyInto(CopyKind kind, const ProgressFn& progress);
    QString m_file;
    Clock m_clock;
    QStringList m_protected;
};

/// Number of questionnaires (BasicInfo rows) in a database file; -1 when it cannot be read.
int questionnaireCount(const QString& file);

}  // namespace backup
