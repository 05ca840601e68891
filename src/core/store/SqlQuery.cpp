#include "SqlQuery.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <atomic>

#include "core/store/Connection.h"
#include "core/store/DataSource.h"
#include "core/store/DbError.h"

namespace {

// The statement's ? placeholders as the server numbers them ($1, $2, ...); text in quotes is
// left alone.
QByteArray numbered(const QString& sql) {
    const QByteArray in = sql.toUtf8();
    QByteArray out;
    out.reserve(in.size() + 16);
    int n = 0;
    char quote = 0;
    for (const char c : in) {
        if (quote) {
            if (c == quote) quote = 0;
            out += c;
        } else if (c == '\'' || c == '"') {
            quote = c;
            out += c;
        } else if (c == '?') {
            out += '$' + QByteArray::number(++n);
        } else {
            out += c;
        }
    }
    return out;
}

QString serverError(const PGresult* r, PGconn* c) {
    const char* e = r ? PQresultErrorMessage(r) : PQerrorMessage(c);
    return QString::fromUtf8(e).trimmed();
}

// Names of statements prepared on the server: unique on the link, whichever query object made them.
QByteArray nextServerName() {
    static std::atomic<quint64> counter{0};
    return QByteArrayLiteral("quenvale_") + QByteArray::number(++counter);
}

}  // namespace

SqlQuery::SqlQuery(QString connectionName) : m_connection(std::move(connectionName)) {}

SqlQuery::~SqlQuery() {
    close();
    freeServerStatements();
    m_cache.clear();
    finalizeNative();
    m_db = QSqlDatabase();
}

void SqlQuery::finalizeNative() {
    for (sqlite3_stmt* st : std::as_const(m_nativeCache)) sqlite3_finalize(st);
    m_nativeCache.clear();
    m_stmt = nullptr;
    m_nativeDb = nullptr;
}

sqlite3_stmt* SqlQuery::nativePrepared() {
    if (!m_db.isOpen()) {
        m_db = connection::database(m_connection);  // opens on first use
        sqlite3* handle = connection::sqliteHandle(m_db);
        if (handle != m_nativeDb) {  // the connection was opened anew
            finalizeNative();
            m_nativeDb = handle;
        }
    }
    sqlite3* handle = m_nativeDb;
    if (!handle) return nullptr;
    sqlite3_stmt* st = m_nativeCache.value(m_sql);
    if (!st) {
        const QByteArray sql = m_sql.toUtf8();
        if (sqlite3_prepare_v2(handle, sql.constData(), int(sql.size()), &st, nullptr) != SQLITE_OK) {
            const QString e = QString::fromUtf8(sqlite3_errmsg(handle));
            sqlite3_finalize(st);
            raise(e);
        }
        m_nativeCache.insert(m_sql, st);
    }
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    if (m_values.size() != sqlite3_bind_parameter_count(st)) raise(QStringLiteral("wrong number of values"));
    for (int i = 0; i < m_values.size(); ++i) {
        const QVariant& v = m_values[i];
        int rc;
        if (v.isNull()) {
            rc = sqlite3_bind_null(st, i + 1);
        } else if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong) {
            rc = sqlite3_bind_int64(st, i + 1, v.toLongLong());
        } else {
            const QByteArray text = v.toString().toUtf8();
            rc = sqlite3_bind_text(st, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK) raise(QString::fromUtf8(sqlite3_errmsg(m_nativeDb)));
    }
    return st;
}

void SqlQuery::step() {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) {
        m_eof = false;
        return;
    }
    m_eof = true;
    if (rc != SQLITE_DONE) {
        const QString e = QString::fromUtf8(sqlite3_errmsg(m_nativeDb));
        close();
        raise(e);
    }
}

void SqlQuery::raise(const QString& detail) const {
    throw DbError(m_label.isEmpty() ? m_sql : m_label, detail);
}

void SqlQuery::close() {
    if (m_stmt) sqlite3_reset(m_stmt);  // ends the statement's read and releases its locks
    m_stmt = nullptr;
    if (m_result) PQclear(m_result);
    m_result = nullptr;
    if (m_current && m_current->query) m_current->query->finish();
    m_current = nullptr;
    m_names.clear();
    m_columnsKnown = false;
    m_open = false;
    m_eof = true;
}

void SqlQuery::setSql(const QString& sql, const QVariantList& values, const QString& label) {
    close();
    m_sql = sql;
    m_values = values;
    m_label = label;
}

SqlQuery::Prepared& SqlQuery::prepared() {
    QSqlDatabase db = connection::database(m_connection);  // opens on first use, anew after a loss
    forgetStaleStatements(db);
    auto it = m_cache.find(m_sql);
    if (it == m_cache.end()) {
        auto p = std::make_shared<Prepared>();
        if (m_server) {
            p->serverName = nextServerName();
            PGresult* r = PQprepare(m_server, p->serverName.constData(), numbered(m_sql).constData(), 0, nullptr);
            const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
            const QString e = ok ? QString() : serverError(r, m_server);
            PQclear(r);
            if (!ok) raise(e);
        } else {
            p->query = std::make_unique<QSqlQuery>(db);
            p->query->setForwardOnly(true);
            if (!p->query->prepare(m_sql)) raise(p->query->lastError().text());
        }
        it = m_cache.insert(m_sql, p);
    }
    Prepared& p = **it;
    if (p.query)
        for (int i = 0; i < m_values.size(); ++i) p.query->bindValue(i, m_values[i]);
    return p;
}

PGresult* SqlQuery::runOnServer(const Prepared& statement) {
    // Values as text parameters: a null value is NULL, anything else its text (as Qt's driver
    // would quote it).
    std::vector<QByteArray> texts(std::size_t(m_values.size()));
    std::vector<const char*> values(std::size_t(m_values.size()), nullptr);
    for (qsizetype i = 0; i < m_values.size(); ++i)
        if (!m_values[i].isNull()) {
            texts[std::size_t(i)] = m_values[i].toString().toUtf8();
            values[std::size_t(i)] = texts[std::size_t(i)].constData();
        }
    PGresult* r = PQexecPrepared(m_server, statement.serverName.constData(), int(values.size()), values.data(),
                                 nullptr, nullptr, 0);
    const ExecStatusType status = PQresultStatus(r);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        const QString e = serverError(r, m_server);
        PQclear(r);
        raise(e);
    }
    return r;
}

void SqlQuery::freeServerStatements() {
    // Only on the link they were prepared on, while it is still open and can take a statement.
    if (!m_server || m_cache.isEmpty()) return;
    if (!connection::isOpen(m_connection) ||
        datasource::serverHandle(QSqlDatabase::database(connection::canonicalName(m_connection), false)) !=
            m_server ||
        PQstatus(m_server) != CONNECTION_OK)
        return;
    const PGTransactionStatusType t = PQtransactionStatus(m_server);
    if (t != PQTRANS_IDLE && t != PQTRANS_INTRANS) return;
    for (const auto& p : std::as_const(m_cache))
        if (!p->serverName.isEmpty())
            PQclear(PQexec(m_server, QByteArray("DEALLOCATE " + p->serverName).constData()));
}

void SqlQuery::forgetStaleStatements(const QSqlDatabase& db) {
    // Statements prepared on an earlier opening or another server link (a server that went
    // away) are gone with it: they are prepared anew.
    PGconn* server = datasource::serverHandle(db);
    if (m_opening == connection::opening() && server == m_server) return;
    m_current = nullptr;
    m_cache.clear();
    m_server = server;
    m_opening = connection::opening();
}

void SqlQuery::open() {
    close();
    if (!m_failLabel.isEmpty() && m_failLabel == m_label) {
        m_failLabel.clear();
        raise(QStringLiteral("injected failure"));
    }
    if (sqlite3_stmt* st = nativePrepared()) {
        m_stmt = st;
        m_open = true;
        step();
        return;
    }
    Prepared& p = prepared();
    if (!p.query) {
        m_result = runOnServer(p);
        m_row = 0;
        m_current = &p;
        m_open = true;
        m_eof = PQntuples(m_result) == 0;
        return;
    }
    QSqlQuery& q = *p.query;
    if (!q.exec()) raise(q.lastError().text());
    m_current = &p;
    m_open = true;
    m_eof = !q.next();
    if (m_eof && q.lastError().isValid()) {
        const QString e = q.lastError().text();
        close();
        raise(e);
    }
}

void SqlQuery::execSql() {
    close();
    if (!m_failLabel.isEmpty() && m_failLabel == m_label) {
        m_failLabel.clear();
        raise(QStringLiteral("injected failure"));
    }
    if (sqlite3_stmt* st = nativePrepared()) {
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        }
        const QString e = rc == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(m_nativeDb));
        sqlite3_reset(st);
        if (rc != SQLITE_DONE) raise(e);
        return;
    }
    Prepared& p = prepared();
    if (!p.query) {
        PQclear(runOnServer(p));
        return;
    }
    QSqlQuery& q = *p.query;
    const bool ok = q.exec();
    const QString e = ok ? QString() : q.lastError().text();
    q.finish();
    if (!ok) raise(e);
}

void SqlQuery::first() {
    // Results are read forward only; the query is positioned on its first row by open().
}

void SqlQuery::next() {
    if (!m_open || m_eof) return;
    if (m_stmt) {
        step();
        return;
    }
    if (m_result) {
        m_eof = ++m_row >= PQntuples(m_result);
        return;
    }
    m_eof = !m_current->query->next();
    if (m_eof && m_current->query->lastError().isValid()) {
        const QString e = m_current->query->lastError().text();
        close();
        raise(e);
    }
}

const QStringList& SqlQuery::columns() const {
    if (!m_current->namesKnown) {
        if (m_result) {
            for (int i = 0; i < PQnfields(m_result); ++i) m_current->names << QString::fromUtf8(PQfname(m_result, i));
        } else {
            const QSqlRecord record = m_current->query->record();
            for (int i = 0; i < record.count(); ++i) m_current->names << record.fieldName(i);
        }
        m_current->namesKnown = true;
    }
    return m_current->names;
}

int SqlQuery::columnIndex(const QString& column) const {
    if (!m_open || m_eof) raise(QStringLiteral("no current row"));
    if (!m_stmt) {
        const auto known = m_current->asked.constFind(column);
        if (known != m_current->asked.constEnd()) return known.value();
    } else if (!m_columnsKnown) {
        for (int i = 0; i < sqlite3_column_count(m_stmt); ++i)
            m_names << QString::fromUtf8(sqlite3_column_name(m_stmt, i));
        m_columnsKnown = true;
    }
    const QStringList& names = m_stmt ? m_names : columns();
    // Column names match without regard to letter case; the exact spelling is tried first.
    qsizetype i = names.indexOf(column);
    for (qsizetype k = 0; i < 0 && k < names.size(); ++k)
        if (names[k].compare(column, Qt::CaseInsensitive) == 0) i = k;
    if (i < 0) raise(QStringLiteral("no column %1").arg(column));
    if (!m_stmt) m_current->asked.insert(column, int(i));
    return int(i);
}

QVariant SqlQuery::value(int column) const {
    if (!m_open || m_eof) raise(QStringLiteral("no current row"));
    if (m_stmt) {
        if (column < 0 || column >= sqlite3_column_count(m_stmt))
            raise(QStringLiteral("no column %1").arg(column));
        switch (sqlite3_column_type(m_stmt, column)) {
            case SQLITE_NULL:
                return QVariant(QMetaType::fromType<QString>());
            case SQLITE_INTEGER:
                return QVariant(qlonglong(sqlite3_column_int64(m_stmt, column)));
            case SQLITE_FLOAT:
                return QVariant(sqlite3_column_double(m_stmt, column));
            default: {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
                return QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, column));
            }
        }
    }
    if (column < 0 || column >= columns().size()) raise(QStringLiteral("no column %1").arg(column));
    if (m_result) {
        if (PQgetisnull(m_result, m_row, column)) return QVariant(QMetaType::fromType<QString>());
        const char* v = PQgetvalue(m_result, m_row, column);
        constexpr Oid kBool = 16;  // read as Qt's driver reads it: true or false, not t or f
        if (PQftype(m_result, column) == kBool) return QVariant(*v == 't');
        return QString::fromUtf8(v, PQgetlength(m_result, m_row, column));
    }
    return m_current->query->value(column);
}

QString SqlQuery::text(const QString& column) const { return value(columnIndex(column)).toString(); }
QString SqlQuery::text(int column) const { return value(column).toString(); }

int SqlQuery::integer(const QString& column) const { return integer(columnIndex(column)); }

int SqlQuery::integer(int column) const {
    const QVariant v = value(column);
    int n = 0;
    if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int) {
        bool ok = false;
        n = v.toInt(&ok);
        if (ok) return n;
    }
    if (!parseInteger(v.toString(), &n))
        raise(QStringLiteral("'%1' is not a whole number").arg(v.toString()));
    return n;
}

bool SqlQuery::parseInteger(const QString& text, int* out) {
    QStringView s(text);
    while (!s.isEmpty() && s.front().unicode() <= 32) s = s.mid(1);
    while (!s.isEmpty() && s.back().unicode() <= 32) s.chop(1);
    if (s.isEmpty()) return false;
    qsizetype i = (s[0] == u'+' || s[0] == u'-') ? 1 : 0;
    if (i == s.size()) return false;
    for (qsizetype k = i; k < s.size(); ++k)
        if (s[k] < u'0' || s[k] > u'9') return false;
    bool ok = false;
    const int n = s.toInt(&ok, 10);
    if (ok && out) *out = n;
    return ok;
}

bool SqlQuery::nativeControl(const QString& sql) {
    // Runs BEGIN / COMMIT / ROLLBACK as a reused statement on the SQLite handle, keeping the
    // current statement text, values and label as they are.
    const QString text = m_sql;
    const QVariantList values = m_values;
    m_sql = sql;
    m_values.clear();
    sqlite3_stmt* st = nullptr;
    try {
        st = nativePrepared();
    } catch (...) {
        m_sql = text;
        m_values = values;
        throw;
    }
    m_sql = text;
    m_values = values;
    if (!st) return false;
    const int rc = sqlite3_step(st);
    const QString e = rc == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(m_nativeDb));
    sqlite3_reset(st);
    if (rc != SQLITE_DONE) raise(e);
    return true;
}

void SqlQuery::begin() {
    close();
    if (!nativeControl(QStringLiteral("BEGIN"))) {
        QSqlDatabase db = connection::database(m_connection);
        forgetStaleStatements(db);  // outside the transaction: freeing them may fail harmlessly
        if (!db.transaction()) raise(db.lastError().text());
    }
    m_inTransaction = true;
}

void SqlQuery::commit() {
    close();
    m_inTransaction = false;
    if (!m_failLabel.isEmpty() && m_failLabel == QLatin1String("commit")) {
        m_failLabel.clear();
        rollback();
        raise(QStringLiteral("injected commit failure"));
    }
    try {
        if (nativeControl(QStringLiteral("COMMIT"))) return;
    } catch (const DbError&) {
        rollback();
        throw;
    }
    QSqlDatabase db = connection::database(m_connection);
    if (!db.commit()) {
        const QString e = db.lastError().text();
        db.rollback();
        raise(e);
    }
}

void SqlQuery::rollback() {
    close();
    m_inTransaction = false;
    if (!connection::isOpen(m_connection)) return;
    if (m_nativeDb && m_db.isOpen()) {
        if (sqlite3_get_autocommit(m_nativeDb) == 0)
            sqlite3_exec(m_nativeDb, "ROLLBACK", nullptr, nullptr, nullptr);
        return;
    }
    QSqlDatabase db = QSqlDatabase::database(connection::canonicalName(m_connection), false);
    db.rollback();
}
