#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "backup/SqliteFile.h"

/// Backups of the register's embedded database file: consistent copies in `Data/Backup/`
/// beside the file, named `MyDB-YYYYMMDD-HHMMSS.db`, and their rotation.
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

/// `MyDB-YYYYMMDD-HHMMSS.db` for a moment.
QString fileNameFor(const QDateTime& when);
/// The moment a backup file's name stands for; invalid when the name is not a backup's.
QDateTime stampOf(const QString& fileName);

/// Of these backup file names, those to remove on `today`: kept are the newest copy of each of
/// the seven newest days that have a copy, and the newest copy of each of the last twelve
/// months (this month and the eleven before); every copy made today stays until tomorrow. Names that are not
/// backups' are never removed.
QStringList rotationVictims(const QStringList& fileNames, const QDate& today);

/// One backup file.
struct BackupInfo {
    QString path;
    QDateTime stamp;
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
    /// sqlitefile::Cancelled; nothing half-written stays behind.
    QString backupNow(const sqlitefile::ProgressFn& progress = {}, const QString& target = QString(),
                      bool replace = false);
    /// True when the folder holds no copy made today (the daily backup is then due).
    bool dailyDue() const;
    /// Removes what the rotation does not keep; returns the removed paths.
    QStringList rotate();
    /// Removes what a killed backup, restore or merge left behind (hidden temporary copies
    /// beside the database and in the folder) when it is older than an hour.
    QStringList removeLeftovers();
    /// The backups in the folder, newest first; `count` also reads how many questionnaires each holds.
    QList<BackupInfo> list(bool count = false) const;

private:
    QDateTime now() const;
    QString m_file;
    Clock m_clock;
};

/// Number of questionnaires (BasicInfo rows) in a database file; -1 when it cannot be read.
int questionnaireCount(const QString& file);

}  // namespace backup
