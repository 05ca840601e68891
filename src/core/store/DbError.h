#pragma once

#include <QString>
#include <stdexcept>

/// A statement that failed. `what()` names the statement (its table, or "connection"); the
/// database's own text is kept in `detail()` for logs and is never shown to the user.
class DbError : public std::runtime_error {
public:
    DbError(const QString& statement, const QString& detail)
        : std::runtime_error(statement.toStdString()), m_statement(statement), m_detail(detail) {}

    const QString& statement() const { return m_statement; }
    const QString& detail() const { return m_detail; }

private:
    QString m_statement;
    QString m_detail;
};
