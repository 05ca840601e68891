#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

/// The database file: thirteen tables, every column TEXT, created only when no file exists.
namespace schema {

/// The statements that create the tables and their indexes: tableStatements(), then
/// indexStatements().
QStringList createStatements();
/// The statements that create the tables (no index).
QStringList tableStatements();
/// The statements that create the indexes, each only when it is missing.
QStringList indexStatements();
/// For each table in tables() order, with another database attached as `other`: the statement
/// that counts the other's rows, and the one that copies them into this database's table, each
/// value through the SQL function astext(), leaving out the rows the table refuses (no identity
/// number, or a repeated one in BasicInfo). Both read the other's table itself in its own
/// order, never through an index of that file, which might not match its rows.
QStringList countAttachedStatements();
QStringList copyAttachedStatements();
/// Gives a database that holds the thirteen tables any index it lacks, in one transaction; a
/// database without them is left alone. False, with the reason, when the indexes could not be made.
bool ensureIndexes(QSqlDatabase& db, QString* error = nullptr);
/// Column names of a table, in declared order.
QStringList columns(const QString& table);
/// All thirteen table names, BasicInfo first, then the answer tables in storage order.
QStringList tables();

/// Creates the database file at `path` when no file exists there (built under a temporary
/// name and renamed into place, mode 0600). Returns false when it could not be made. An
/// existing file, whatever it holds, is left alone.
bool ensureDatabaseFile(const QString& path, QString* error = nullptr);

/// Opens `path` read-write with the program's settings under `connectionName` (URI mode=rw:
/// never creates a file). The caller removes the connection.
bool openExisting(const QString& connectionName, const QString& path, QString* error = nullptr);

constexpr int kBusyTimeoutMs = 3000;

}  // namespace schema
