#include "ReadSnapshot.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include "core/store/Connection.h"
#include "core/store/DbError.h"

namespace {

bool execute(const QString& connection, const char* sql) {
    QSqlQuery q(QSqlDatabase::database(connection::canonicalName(connection), false));
    return q.exec(QLatin1String(sql));
}

}  // namespace

ReadSnapshot::ReadSnapshot(const QString& connectionName) : m_connection(connectionName) {
    try {
        QSqlDatabase db = connection::database(m_connection);
        if (db.driverName() != QLatin1String("QPSQL")) return;
        m_active = execute(m_connection, "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    } catch (const DbError&) {
        // Not reachable now: each read reports its own failure.
    }
}

ReadSnapshot::~ReadSnapshot() {
    if (m_active) execute(m_connection, "COMMIT");
}

void ReadSnapshot::mark() {
    if (m_active) m_active = execute(m_connection, "SAVEPOINT read_step");
}

void ReadSnapshot::undo() {
    if (m_active) m_active = execute(m_connection, "ROLLBACK TO SAVEPOINT read_step");
}
