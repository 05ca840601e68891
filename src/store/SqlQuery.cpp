#include "SqlQuery.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlRecord>

#include "Connection.h"
#include "DbError.h"

SqlQuery::SqlQuery(QString connectionName) : m_connection(std::move(connectionName)) {}

SqlQuery::~SqlQuery() {
    close();
    m_cache.clear();
}

void SqlQuery::raise(const QString& detail) const {
    throw DbError(m_label.isEmpty() ? m_sql : m_label, detail);
}

void SqlQuery::close() {
    if (m_current) m_current->finish();
    m_current = nullptr;
    m_columns.clear();
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

QSqlQuery& SqlQuery::prepared() {
    QSqlDatabase db = connection::database(m_connection);  // opens on first use
    auto it = m_cache.find(m_sql);
    if (it == m_cache.end()) {
        auto q = std::make_shared<QSqlQuery>(db);
        q->setForwardOnly(true);
        if (!q->prepare(m_sql)) raise(q->lastError().text());
        it = m_cache.insert(m_sql, q);
    }
    QSqlQuery& q = **it;
    for (int i = 0; i < m_values.size(); ++i) q.bindValue(i, m_values[i]);
    return q;
}

void SqlQuery::open() {
    close();
    if (!m_failLabel.isEmpty() && m_failLabel == m_label) {
        m_failLabel.clear();
        raise(QStringLiteral("injected failure"));
    }
    QSqlQuery& q = prepared();
    if (!q.exec()) raise(q.lastError().text());
    m_current = &q;
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
    QSqlQuery& q = prepared();
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
    m_eof = !m_current->next();
    if (m_eof && m_current->lastError().isValid()) {
        const QString e = m_current->lastError().text();
        close();
        raise(e);
    }
}

const QSqlRecord& SqlQuery::columns() const {
    if (!m_columnsKnown) {
        m_columns = m_current->record();
        for (int i = 0; i < m_columns.count(); ++i) m_names << m_columns.fieldName(i);
        m_columnsKnown = true;
    }
    return m_columns;
}

int SqlQuery::columnIndex(const QString& column) const {
    if (!m_open || m_eof) raise(QStringLiteral("no current row"));
    columns();
    // Column names match without regard to letter case; the exact spelling is tried first.
    qsizetype i = m_names.indexOf(column);
    for (qsizetype k = 0; i < 0 && k < m_names.size(); ++k)
        if (m_names[k].compare(column, Qt::CaseInsensitive) == 0) i = k;
    if (i < 0) raise(QStringLiteral("no column %1").arg(column));
    return int(i);
}

QVariant SqlQuery::value(int column) const {
    if (!m_open || m_eof) raise(QStringLiteral("no current row"));
    if (column < 0 || column >= columns().count()) raise(QStringLiteral("no column %1").arg(column));
    return m_current->value(column);
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
    if (!parseInteger(v.toString(), &n)) raise(QStringLiteral("'%1' is not a whole number").arg(v.toString()));
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

void SqlQuery::begin() {
    close();
    QSqlDatabase db = connection::database(m_connection);
    if (!db.transaction()) raise(db.lastError().text());
    m_inTransaction = true;
}

void SqlQuery::commit() {
    close();
    m_inTransaction = false;
    QSqlDatabase db = connection::database(m_connection);
    if (!m_failLabel.isEmpty() && m_failLabel == QLatin1String("commit")) {
        m_failLabel.clear();
        db.rollback();
        raise(QStringLiteral("injected commit failure"));
    }
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
    QSqlDatabase db = QSqlDatabase::database(connection::canonicalName(m_connection), false);
    db.rollback();
}
