#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

struct sqlite3;

/// Named database connections. A connection is defined once (by the data module) and opens
/// itself on the first statement that needs it, then stays open. Names match without regard
/// to letter case, so "MyDB" and "MyDb" reach the same connection.
namespace connection {

struct Definition {
    QString name;        ///< e.g. "MyDb"
    QString dataSource;  ///< resolved through the registry stand-in, e.g. "Velmora"
    bool loginPrompt = false;
    QStringList params;  ///< "UserName=...", "Password=..."
    QString hiveFile;    ///< registry stand-in the data source is registered in; empty for the default hive
    /// The database file this program chose at start-up. The connection always opens this file:
    /// another program's later registration, or a stale one, never redirects it.
    QString file;
    /// False for a copy that is read once, table by table, and deleted: no index is added to it
    /// when it opens.
    bool addIndexes = true;
};

void define(const Definition& def);
/// The definition of a connection (matched without regard to letter case); empty when none.
Definition definition(const QString& name);
/// The spelling under which a name was defined (matched without regard to letter case).
QString canonicalName(const QString& name);
/// The open connection; opens it on first use: the PostgreSQL server that the data source names
/// (its value "Server"), otherwise the file. A server link that was lost is opened anew. Throws
/// DbError("connection") when the data source does not resolve or the database cannot be opened.
QSqlDatabase database(const QString& name);
bool isOpen(const QString& name);
/// Counts every opening of a connection: a query object that prepared its statements on an
/// earlier opening prepares them again.
int opening();
/// Closes and forgets one connection; the next statement opens it again (after the data
/// source was pointed elsewhere).
void reset(const QString& name);
/// Closes and forgets every connection (program end, and between tests).
void closeAll();

/// SQLite's own handle behind an open file connection; nullptr for another driver or a closed
/// connection. For the few places that use the engine's C API on the program's connection.
sqlite3* sqliteHandle(const QSqlDatabase& db);

}  // namespace connection
