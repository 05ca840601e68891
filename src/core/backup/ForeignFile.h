#pragma once

#include <QString>
#include <QStringList>
#include <functional>

struct sqlite3;
struct sqlite3_stmt;

/// A database file from elsewhere (a backup, another office's register) opened for reading its
/// rows and nothing else: read-only, with nothing of its schema trusted (no function named by a
/// view, trigger, index or column runs, no extension can be loaded) and, when another program
/// is writing it, waited for a few seconds before giving up.
class ForeignFile {
public:
    /// Opens `path` (made absolute, so that a name is never read as an SQLite URI).
    explicit ForeignFile(const QString& path);
    ~ForeignFile();
    ForeignFile(const ForeignFile&) = delete;
    ForeignFile& operator=(const ForeignFile&) = delete;

    bool isOpen() const { return m_db != nullptr; }
    sqlite3* handle() const { return m_db; }

    /// Runs one statement, `bound` (when not null) as its only parameter, each result row through
    /// `row`. Returns SQLite's primary result code: SQLITE_DONE when every row was read.
    int select(const char* sql, const QString& bound, const std::function<void(sqlite3_stmt*)>& row);
    /// The result code of the last failure (of opening, or of select).
    int lastError() const { return m_error; }
    /// True when the last failure was another program holding the file (after the wait).
    bool busy() const { return isBusy(m_error); }
    /// True for SQLite's "database is locked" codes.
    static bool isBusy(int resultCode);

    /// The text of a column as SQLite gives it whatever its declared type (NULL: a null string).
    static QString text(sqlite3_stmt* st, int column);

    /// Makes a connection of ours trust nothing in the schema of the file it reads.
    static void distrustSchema(sqlite3* db);

private:
    sqlite3* m_db = nullptr;
    int m_error = 0;
};
