#include "RegisterCopy.h"

#include <sqlite3.h>

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QVariant>

#include "backup/ForeignFile.h"
#include "backup/Restore.h"
#include "store/Schema.h"

namespace registercopy {

namespace {

constexpr int kProgressEvery = 4096;

struct Target {
    sqlite3* db = nullptr;
    ~Target() { sqlite3_close_v2(db); }
};

QString quotedName(const QString& name) { return u'"' + name + u'"'; }

[[noreturn]] void failWriting(sqlite3* db, const QString& what) {
    throw sqlitefile::FileError(QStringLiteral("无法写入新的登记册文件（磁盘空间不足，或文件夹不能写入）。"),
                                QStringLiteral("%1: %2").arg(what, QString::fromUtf8(sqlite3_errmsg(db))));
}

[[noreturn]] void failReading(const ForeignFile& source, const QString& what) {
    const int rc = source.lastError();
    throw sqlitefile::FileError(
        ForeignFile::isBusy(rc) ? backup::busyMessage() : backup::damagedMessage(),
        QStringLiteral("%1: %2").arg(what, QString::fromUtf8(sqlite3_errstr(rc))));
}

void exec(sqlite3* db, const QString& sql) {
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK) failWriting(db, sql);
}

}  // namespace

Result build(const QString& source, const QString& target, const sqlitefile::ProgressFn& progress,
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
        if (sqlite3_open_v2(QFile::encodeName(QFileInfo(target).absoluteFilePath()).constData(), &out.db,
                            SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            failWriting(out.db, QStringLiteral("open"));
        // A file under a temporary name, renamed into place only when whole: no journal needed.
        exec(out.db, QStringLiteral("PRAGMA journal_mode=OFF"));
        exec(out.db, QStringLiteral("PRAGMA synchronous=OFF"));
        exec(out.db, QStringLiteral("PRAGMA cache_size=-65536"));
        exec(out.db, QStringLiteral("BEGIN"));
        for (const QString& sql : schema::tableStatements()) exec(out.db, sql);

        ForeignFile in(source);
        if (!in.isOpen()) failReading(in, QStringLiteral("open"));
        // One read of the whole file: every table as of the same moment.
        if (sqlite3_exec(in.handle(), "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
            failReading(in, QStringLiteral("begin"));
        if (check == Check::Structure) {
            bool ok = false;
            const QString first = sqlitefile::runCheck(in.handle(), "PRAGMA quick_check", &ok);
            if (!ok)
                throw sqlitefile::FileError(first == QString::fromUtf8(sqlite3_errstr(SQLITE_BUSY))
                                                ? backup::busyMessage()
                                                : backup::damagedMessage(),
                                            QStringLiteral("quick_check: %1").arg(first));
        }
        const QStringList tables = schema::tables();
        qint64 total = 0;
        for (const QString& t : tables) {
            const QByteArray sql = QStringLiteral("select count(*) from %1").arg(quotedName(t)).toUtf8();
            if (in.select(sql.constData(), QString(), [&](sqlite3_stmt* st) { total += sqlite3_column_int64(st, 0); }) !=
                SQLITE_DONE)
                failReading(in, QStringLiteral("count %1").arg(t));
        }
        qint64 done = 0;
        for (const QString& t : tables) {
            const QStringList columns = schema::columns(t);
            QStringList quoted, marks;
            for (const QString& c : columns) {
                quoted << quotedName(c);
                marks << QStringLiteral("?");
            }
            const QByteArray insertSql = QStringLiteral("INSERT OR IGNORE INTO %1 (%2) VALUES (%3)")
                                             .arg(quotedName(t), quoted.join(u','), marks.join(u','))
                                             .toUtf8();
            sqlite3_stmt* insert = nullptr;
            if (sqlite3_prepare_v2(out.db, insertSql.constData(), -1, &insert, nullptr) != SQLITE_OK) {
                sqlite3_finalize(insert);
                failWriting(out.db, QString::fromUtf8(insertSql));
            }
            struct Finalize {
                sqlite3_stmt* st;
                ~Finalize() { sqlite3_finalize(st); }
            } finalizeInsert{insert};
            // Each value as text, whatever type the other file declares: what it stored, as the
            // program's own queries print it (a number SQLite turned into an integer comes back
            // as that integer's digits, a floating-point 3.0 as "3").
            const QByteArray selectSql =
                QStringLiteral("select %1 from %2").arg(quoted.join(u','), quotedName(t)).toUtf8();
            const int rc = in.select(selectSql.constData(), QString(), [&](sqlite3_stmt* row) {
                for (int i = 0; i < int(columns.size()); ++i) {
                    switch (sqlite3_column_type(row, i)) {
                        case SQLITE_NULL:
                            sqlite3_bind_null(insert, i + 1);
                            break;
                        case SQLITE_FLOAT: {
                            const QByteArray text = QVariant(sqlite3_column_double(row, i)).toString().toUtf8();
                            sqlite3_bind_text(insert, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
                            break;
                        }
                        default: {
                            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, i));
                            sqlite3_bind_text(insert, i + 1, text, sqlite3_column_bytes(row, i), SQLITE_TRANSIENT);
                        }
                    }
                }
                if (sqlite3_step(insert) != SQLITE_DONE) failWriting(out.db, QString::fromUtf8(insertSql));
                if (sqlite3_changes(out.db) == 1)
                    ++result.rows;
                else
                    ++result.leftOut;
                sqlite3_reset(insert);
                if (++done % kProgressEvery == 0 && progress && !progress(total - done, total))
                    throw sqlitefile::Cancelled{};
            });
            if (rc != SQLITE_DONE) failReading(in, QStringLiteral("read %1").arg(t));
        }
        sqlite3_exec(in.handle(), "COMMIT", nullptr, nullptr, nullptr);
        // The indexes last: built once from sorted keys rather than kept up row by row.
        for (const QString& sql : schema::indexStatements()) exec(out.db, sql);
        exec(out.db, QStringLiteral("COMMIT"));
        exec(out.db, QStringLiteral("PRAGMA journal_mode=DELETE"));
        if (progress) progress(0, total);
    } catch (...) {
        discard();
        throw;
    }
    if (use == sqlitefile::Use::Kept) sqlitefile::syncFile(target);
    return result;
}

}  // namespace registercopy
