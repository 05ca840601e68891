// quenvale-cli backup, backups and restore: copies of the embedded database file.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include "cli/CliSupport.h"
#include "cli/CliVerbs.h"
#include "core/backup/NativePath.h"
#include "core/backup/Restore.h"
#include "core/backup/Snapshots.h"
#include "core/exchange/TargetRule.h"
#include "core/store/DataModule.h"

namespace cli {

const char* const kBackupHelp =
    "Usage: quenvale-cli backup [--out FILE [--force]]\n"
    "\n"
    "Makes a consistent copy of the register (SQLite's online backup API, checked with\n"
    "integrity_check) and prints its path.\n"
    "\n"
    "  --out FILE   write the copy to FILE; by default it goes to\n"
    "               Data/Backup/MyDB-YYYYMMDD-HHMMSS.db and the old copies are rotated\n"
    "               (the 7 newest days and the newest of each of the last 12 months stay;\n"
    "               copies made before a restore or a merge stay 30 days)\n"
    "  --force      replace FILE if it exists (never a symbolic link)\n";

const char* const kBackupsHelp =
    "Usage: quenvale-cli backups\n"
    "\n"
    "Lists the backups in Data/Backup, newest first: file, date, size in bytes and number\n"
    "of questionnaires (tab-separated). The copies kept before a restore or a merge are named\n"
    "...-before-restore.db and ...-before-merge.db.\n";

const char* const kRestoreHelp =
    "Usage: quenvale-cli restore FILE [--yes]\n"
    "\n"
    "Replaces the register with the backup FILE. The file is checked first (an SQLite\n"
    "file, integrity_check ok, the thirteen tables with their columns); the current register\n"
    "is kept as Data/Backup/MyDB-YYYYMMDD-HHMMSS-before-restore.db (for 30 days), then a new\n"
    "register is built from FILE's rows (nothing else of FILE: no trigger, view or other table)\n"
    "and put in place in one atomic rename. Refused while another program has the register open.\n"
    "\n"
    "  --yes   restore without asking; without it the summary is printed and nothing changes\n";

namespace {

// The register's file, or a message and nullptr-like empty string on a server engine.
bool embeddedOrSay() {
    if (backup::embeddedEngine()) return true;
    err(backup::serverMessage());
    return false;
}

ProgressFn progressLine(Progress& p) {
    return [&p](qint64 done, qint64 total) {
        p.update(done, total);
        return true;
    };
}

}  // namespace

int runBackup(int& argc, char** argv, const QStringList& args) {
    const Args a = parse(args, {QStringLiteral("--out")}, {QStringLiteral("--force")});
    if (reportBadUsage(a)) return Usage;
    const QString target = a.value(QStringLiteral("--out"));
    const bool replace = a.has(QStringLiteral("--force"));
    if (refuseUndecodedPath(target, argc, argv)) return Failure;
    if (!target.isEmpty()) {
        const QString refusal = exchange::targetRefusal(target, QStringLiteral("db"), replace);
        if (!refusal.isEmpty()) {
            err(refusal);
            return Failure;
        }
    }
    QCoreApplication app(argc, argv);
    const auto dm = openRegister();
    if (!embeddedOrSay()) return Failure;
    try {
        backup::Snapshots snapshots(backup::databaseFile());
        Progress p(QStringLiteral("backup (pages)"));
        const QString out = snapshots.backupNow(progressLine(p), target, replace);
        p.finish();
        cli::out(QFileInfo(out).absoluteFilePath());
        return Ok;
    } catch (const sqlitefile::FileError& e) {
        err(e.message);
        return Failure;
    }
}

int runBackups(int& argc, char** argv, const QStringList& args) {
    const Args a = parse(args, {}, {});
    if (reportBadUsage(a)) return Usage;
    QCoreApplication app(argc, argv);
    const auto dm = openRegister();
    if (!embeddedOrSay()) return Failure;
    for (const backup::BackupInfo& b : backup::Snapshots(backup::databaseFile()).list(true))
        out(QStringLiteral("%1\t%2\t%3\t%4")
                .arg(b.path, b.stamp.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                .arg(b.size)
                .arg(b.questionnaires < 0 ? QStringLiteral("?") : QString::number(b.questionnaires)));
    return Ok;
}

int runRestore(int& argc, char** argv, const QStringList& args) {
    const Args a = parse(args, {}, {QStringLiteral("--yes")});
    if (!a.error.isEmpty() || a.positional.size() != 1) {
        err(a.error.isEmpty() ? QStringLiteral("give one backup FILE") : a.error);
        return Usage;
    }
    QCoreApplication app(argc, argv);
    const auto dm = openRegister();
    if (!embeddedOrSay()) return Failure;
    const QString file = fileArgument(argc, argv, a.positional.first());
    const backup::Inspection check = backup::inspect(file);
    if (!check.ok) {
        err(check.message + backup::kNotRestored);
        return Failure;
    }
    if (!a.has(QStringLiteral("--yes"))) {
        err(check.summary(file));
        err(QStringLiteral("nothing changed: give --yes to restore"));
        return Failure;
    }
    try {
        backup::Snapshots snapshots(backup::databaseFile());
        Progress p(QStringLiteral("restore (pages)"));
        const backup::PreparedRestore prepared = backup::prepareRestore(file, snapshots, progressLine(p));
        p.finish();
        backup::commitRestore(prepared);
        out(QStringLiteral("restored %1 questionnaires from %2; the previous register is kept in %3")
                .arg(check.questionnaires)
                .arg(nativepath::display(QFileInfo(file).absoluteFilePath()), prepared.kept));
        if (const QString other = check.leftBehind(); !other.isEmpty()) out(other);
        if (prepared.rowsLeftOut > 0) out(backup::rowsLeftOutMessage(prepared.rowsLeftOut));
        return Ok;
    } catch (const sqlitefile::FileError& e) {
        err(e.message);
        return Failure;
    }
}

}  // namespace cli
