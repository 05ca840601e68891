#include "ForeignFile.h"

#include <sqlite3.h>

#include <QFile>
#include <QFileInfo>

#include "core/store/Schema.h"

void ForeignFile::distrustSchema(sqlite3* db) {
    // Functions in views, triggers, CHECK constraints, generated columns and index expressions
    // may then only be the harmless built-in ones; no extension loads, and the schema itself
    // cannot be written through this connection.
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
}

ForeignFile::ForeignFile(const QString& path) {
    const QByteArray name = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (rc != SQLITE_OK) {
        m_error = rc;
        sqlite3_close_v2(db);
        return;
    }
    m_db = db;
    distrustSchema(m_db);
    // A double-quoted name of a column the file lacks is an error, never read as a string.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_busy_timeout(m_db, schema::kBusyTimeoutMs);
    // A file on a stick may be cut short under us: a read error, never a memory-mapped crash.
    sqlite3_exec(m_db, "PRAGMA mmap_size=0", nullptr, nullptr, nullptr);
}

ForeignFile::~ForeignFile() { sqlite3_close_v2(m_db); }

bool ForeignFile::isBusy(int resultCode) {
    return (resultCode & 0xff) == SQLITE_BUSY || (resultCode & 0xff) == SQLITE_LOCKED;
}

QString ForeignFile::text(sqlite3_stmt* st, int column) {
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
    return t ? QString::fromUtf8(t, sqlite3_column_bytes(st, column)) : QString();
}

int ForeignFile::select(const char* sql, const QString& bound,
                        const std::function<void(sqlite3_stmt*)>& row) {
    if (!m_db) return m_error & 0xff;
    // Finalized also when `row` throws (a cancel), so that the file is closed with the object.
    struct Statement {
        sqlite3_stmt* st = nullptr;
        ~Statement() { sqlite3_finalize(st); }
    } s;
    int rc = sqlite3_prepare_v2(m_db, sql, -1, &s.st, nullptr);
    if (rc == SQLITE_OK) {
        const QByteArray b = bound.toUtf8();
        if (!bound.isNull()) sqlite3_bind_text(s.st, 1, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        while ((rc = sqlite3_step(s.st)) == SQLITE_ROW) row(s.st);
    }
    if (rc != SQLITE_DONE) m_error = rc;
    return rc & 0xff;
}
