#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QVariantList>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;
struct pg_conn;
struct pg_result;

/// A query object bound to a connection name, used as the forms use it: close, replace the
/// statement, then open (a select) or execute (insert, delete). Values are always bound to
/// the statement's placeholders, never spliced into its text. A failure raises DbError naming
/// `label` (the table the statement is about); the object stays usable afterwards.
///
/// On an SQLite connection the statements run on the engine's own handle, prepared once and
/// reused (Qt's per-statement bookkeeping costs as much as the engine's work for the small
/// statements of a questionnaire). On a PostgreSQL server they are prepared once on the server
/// and run through libpq with the values as parameters, on the link that Qt's driver opened
/// (transactions stay the driver's). Any other driver goes through Qt SQL.
class SqlQuery {
public:
    explicit SqlQuery(QString connectionName);
    ~SqlQuery();
    SqlQuery(const SqlQuery&) = delete;
    SqlQuery& operator=(const SqlQuery&) = delete;

    const QString& connectionName() const { return m_connection; }

    /// Closes the current result; a closed query stays closed.
    void close();
    /// Replaces the statement (closing first). `label` names it in errors.
    void setSql(const QString& sql, const QVariantList& values = {}, const QString& label = QString());
    /// Runs a select and moves to its first row.
    void open();
    /// Runs an insert or delete.
    void execSql();

    bool isOpen() const { return m_open; }
    bool eof() const { return m_eof; }
    void first();
    void next();

    QString text(const QString& column) const;
    QString text(int column) const;
    /// The value as a whole number; DbError when it is not one.
    int integer(const QString& column) const;
    int integer(int column) const;

    void begin();
    void commit();    ///< a failed commit raises DbError (and leaves no transaction open)
    void rollback();  ///< never raises
    bool inTransaction() const { return m_inTransaction; }

    /// Parses a whole number: optional blanks around, an optional sign, decimal digits.
    static bool parseInteger(const QString& text, int* out);

    /// Test hook: the statement whose label is `label` fails at its next run (once).
    void failNext(const QString& label) { m_failLabel = label; }

private:
    struct Prepared;
    [[noreturn]] void raise(const QString& detail) const;
    Prepared& prepared();
    void forgetStaleStatements(const QSqlDatabase& db);
    pg_result* runOnServer(const Prepared& statement);
    void freeServerStatements();
    /// The SQLite statement for the current text, bound; nullptr when the driver is not SQLite.
    sqlite3_stmt* nativePrepared();
    void step();  // native: moves to the next row or the end, raising on an error
    void finalizeNative();
    bool nativeControl(const QString& sql);
    QVariant value(int column) const;
    int columnIndex(const QString& column) const;
    const QStringList& columns() const;

    QString m_connection;
    QString m_sql;
    QVariantList m_values;
    QString m_label;
    // A statement prepared through the connection's driver, with its result's column names,
    // read once per statement (the same text gives the same columns; QSqlQuery::record()
    // copies every field and is too dear to repeat per result) and each name as asked for.
    struct Prepared {
        std::unique_ptr<QSqlQuery> query;  // through Qt SQL
        QByteArray serverName;             // or prepared on the server through libpq
        QStringList names;
        bool namesKnown = false;
        QHash<QString, int> asked;
    };
    Prepared* m_current = nullptr;
    // The current native result's column names, read once per result.
    mutable QStringList m_names;
    mutable bool m_columnsKnown = false;
    // Prepared statements, reused whenever the same text is set again.
    QHash<QString, std::shared_ptr<Prepared>> m_cache;
    pg_conn* m_server = nullptr;      // the server link the cached statements belong to
    pg_result* m_result = nullptr;    // the open server result
    int m_row = 0;
    int m_opening = -1;  // the connection's opening the cache belongs to
    QSqlDatabase m_db;   // the connection as last resolved; resolved again once it is closed
    sqlite3* m_nativeDb = nullptr;
    QHash<QString, sqlite3_stmt*> m_nativeCache;
    sqlite3_stmt* m_stmt = nullptr;  // the open native result
    bool m_open = false;
    bool m_eof = true;
    bool m_inTransaction = false;
    QString m_failLabel;
};
