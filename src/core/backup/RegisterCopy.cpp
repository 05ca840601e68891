#include "RegisterCopy.h"

#include <sqlite3.h>

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>
#include <QVariant>

#include "core/backup/ForeignFile.h"
#include "core/backup/Restore.h"
#include "core/store/Schema.h"

namespace registercopy {

namespace {

struct Target {
    sqlite3* db = nullptr;
    ~Target() { sqlite3_close_v2(db); }
};

// What the user is told for a failing statement: the other file locked, the other file
// unreadable, or the new file not written.
[[noreturn]] void fail(sqlite3* db, int rc, const QString& what) {
    const QString detail = QStringLiteral("%1: %2").arg(what, QString::fromUtf8(sqlite3_errmsg(db)));
    switch (rc & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            throw sqlitefile::FileError(backup::busyMessage(), detail);
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
        case SQLITE_FORMAT:
        case SQLITE_ERROR:  // the other file's schema or tables are not what they seemed
            throw sqlitefile::FileError(backup::damagedMessage(), detail);
        default:
            // Unreadable, or left half-written by a program that crashed (a read-only
            // attachment cannot roll it back).
            if (rc == SQLITE_IOERR_READ || rc == SQLITE_IOERR_SHORT_READ || rc == SQLITE_READONLY_ROLLBACK ||
                rc == SQLITE_READONLY_RECOVERY)
                throw sqlitefile::FileError(backup::damagedMessage(), detail);
            throw sqlitefile::FileError(
                QStringLiteral("无法写入新的登记册文件（磁盘空间不足，或文件夹不能写入）。"), detail);
    }
}

void exec(sqlite3* db, const QString& sql) {
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) fail(db, sqlite3_extended_errcode(db), sql);
}

// astext(x): a stored value as the text the program's own queries print for it, whatever
// type the other file declares: a number SQLite turned into an integer comes back as that
// integer's digits, a floating-point 3.0 as "3", a blob as its bytes; NULL stays NULL.
void asText(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_value* v = argv[0];
    switch (sqlite3_value_type(v)) {
        case SQLITE_NULL:
            sqlite3_result_null(ctx);
            return;
        case SQLITE_FLOAT: {
            const QByteArray text = QVariant(sqlite3_value_double(v)).toString().toUtf8();
            sqlite3_result_text(ctx, text.constData(), int(text.size()), SQLITE_TRANSIENT);
            return;
        }
        default: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
            sqlite3_result_text(ctx, text, sqlite3_value_bytes(v), SQLITE_TRANSIENT);
        }
    }
}

struct Progress {
    const ProgressFn* fn;
    qint64 done, total;
    bool cancelled = false;
};

// Called by the engine every so many steps: lets a long table be cancelled midway.
int onProgress(void* p) {
    auto* progress = static_cast<Progress*>(p);
    if (*progress->fn && !(*progress->fn)(progress->done, progress->total))
        progress->cancelled = true;
    return progress->cancelled ? 1 : 0;
}

}  // namespace

Result build(const QString& source, const QString& target, const ProgressFn& progress,
             sqlitefile::Use use, Check check) {
    {
        // Owner-only from the start, and never over a file that is there.
        QFile f(target);
        if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            throw sqlitefile::FileError(
                QStringLiteral("无法在 %1 中建立新的登记册文件。").arg(QFileInfo(target).absolutePath()),
                f.errorString());
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    auto discard = [&] {
        QFile::remove(target);
        QFile::remove(target + QStringLiteral("-journal"));
    };
    Result result;
    try {
        Target out;
        int rc = sqlite3_open_v2(QFile::encodeName(QFileInfo(target).absoluteFilePath()).constData(), &out.db,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, nullptr);
        if (rc != SQLITE_OK) fail(out.db, SQLITE_CANTOPEN, QStringLiteral("open"));
        sqlite3_extended_result_codes(out.db, 1);
        // The other file is attached to this connection: nothing of its schema may run here,
        // and a name that is no column is an error, never a string.
        ForeignFile::distrustSchema(out.db);
        sqlite3_db_config(out.db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
        sqlite3_busy_timeout(out.db, schema::kBusyTimeoutMs);
        sqlite3_create_function(out.db, "astext", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY,
                                nullptr, asText, nullptr, nullptr);
        // A file under a temporary name, renamed into place only when whole: no journal needed.
        exec(out.db, QStringLiteral("PRAGMA journal_mode=OFF"));
        exec(out.db, QStringLiteral("PRAGMA synchronous=OFF"));
        exec(out.db, QStringLiteral("PRAGMA cache_size=-65536"));
        const QString uri = QUrl::fromLocalFile(QFileInfo(source).absoluteFilePath()).toString(QUrl::FullyEncoded) +
                            QStringLiteral("?mode=ro");
        exec(out.db, QStringLiteral("ATTACH DATABASE '%1' AS other").arg(QString(uri).replace(u'\'', QStringLiteral("''"))));
        exec(out.db, QStringLiteral("PRAGMA other.mmap_size=0"));
        // One transaction: every table of the other file read as of the same moment.
        exec(out.db, QStringLiteral("BEGIN"));
        for (const QString& sql : schema::tableStatements()) exec(out.db, sql);
        if (check == Check::Structure) {
            bool ok = false;
            const QString first = sqlitefile::runCheck(out.db, "PRAGMA other.quick_check", &ok);
            if (!ok)
                throw sqlitefile::FileError(first == QString::fromUtf8(sqlite3_errstr(SQLITE_BUSY))
                                                ? backup::busyMessage()
                                                : backup::damagedMessage(),
                                            QStringLiteral("quick_check: %1").arg(first));
        }
        QList<qint64> counts;
        Progress p{&progress, 0, 0};
        for (const QString& count : schema::countAttachedStatements()) {
            sqlite3_stmt* st = nullptr;
            const QByteArray sql = count.toUtf8();
            rc = sqlite3_prepare_v2(out.db, sql.constData(), -1, &st, nullptr);
            if (rc == SQLITE_OK) rc = sqlite3_step(st);
            counts << (rc == SQLITE_ROW ? sqlite3_column_int64(st, 0) : 0);
            sqlite3_finalize(st);
            if (rc != SQLITE_ROW) fail(out.db, sqlite3_extended_errcode(out.db), QString::fromUtf8(sql));
            p.total += counts.last();
        }
        sqlite3_progress_handler(out.db, 100000, onProgress, &p);
        const QStringList copies = schema::copyAttachedStatements();
        for (int i = 0; i < int(copies.size()); ++i) {
            // A row without an identity number, or one repeating a questionnaire's, is left out.
            const QString& sql = copies[i];
            rc = sqlite3_exec(out.db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
            if (p.cancelled) throw Cancelled{};
            if (rc != SQLITE_OK) fail(out.db, sqlite3_extended_errcode(out.db), sql);
            const qint64 copied = sqlite3_changes64(out.db);
            result.rows += copied;
            result.leftOut += counts[i] - copied;
            p.done += counts[i];
        }
        sqlite3_progress_handler(out.db, 0, nullptr, nullptr);
        // The indexes last: built once from sorted keys rather than kept up row by row. A copy
        // read once table by table never uses them.
        if (use == sqlitefile::Use::Kept)
            for (const QString& sql : schema::indexStatements()) exec(out.db, sql);
        exec(out.db, QStringLiteral("COMMIT"));
        exec(out.db, QStringLiteral("DETACH DATABASE other"));
        exec(out.db, QStringLiteral("PRAGMA journal_mode=DELETE"));
        if (progress) progress(p.total, p.total);
    } catch (...) {
        discard();
        throw;
    }
    if (use == sqlitefile::Use::Kept) sqlitefile::syncFile(target);
    return result;
}

}  // namespace registercopy
