#pragma once

#include <QMap>
#include <QSqlDatabase>
#include <QString>

struct pg_conn;

/// The engine behind the data source "Velmora": the embedded SQLite file (the default), or a
/// PostgreSQL server named by a libpq connection string in the value "Server" of the data
/// source's key. The start-up registration never writes that value, so the choice survives
/// every start. Passwords are never stored: authentication is libpq's own (~/.pgpass, a
/// service file, peer or trust).
namespace datasource {

/// The value that holds the server's connection string.
QString serverValueName();
/// Seconds a connection attempt may take when the connection string does not say.
constexpr int kConnectTimeoutSeconds = 3;

/// The server connection string the data source names in `hiveFile` (empty: the default
/// hive); empty when the register uses the embedded file.
QString server(const QString& hiveFile = QString());
/// Names a server (an empty string: back to the embedded file). Throws Registry::WriteError.
void setServer(const QString& conninfo, const QString& hiveFile = QString());

/// Checks a connection string with libpq's own parser and returns it as keyword=value pairs,
/// with connect_timeout added when missing. Empty, with a Chinese `error`, when it is malformed
/// or carries a secret (any keyword libpq marks as one: password, sslpassword, ...).
QString normalise(const QString& conninfo, QString* error);

/// A connection string to show: its keyword=value pairs with every secret's value replaced by
/// asterisks (a malformed string is not shown at all).
QString withoutSecrets(const QString& conninfo);

/// The keyword=value pairs of a connection string (empty when it is empty or malformed).
QMap<QString, QString> fields(const QString& conninfo);

/// Opens `conninfo` as the QPSQL connection `connectionName` (added when missing), checks the
/// server's major version and makes sure the register's tables are there. False with a one-line
/// reason in `error` (the server's own words for a refused connection); the connection is then
/// closed but left for the caller to remove.
bool openServer(const QString& connectionName, const QString& conninfo, QString* error);

/// Connects once on a connection of its own, as openServer does, and closes again.
bool test(const QString& conninfo, QString* reason);

/// libpq's link behind a server connection; nullptr for any other driver or a closed one.
pg_conn* serverHandle(const QSqlDatabase& db);

/// True when `db` is a server connection whose link has been lost (the server went away):
/// the caller closes it so that the next statement connects anew.
bool isBroken(const QSqlDatabase& db);

/// The PostgreSQL major version this program is built and tested against.
constexpr int kServerMajorVersion = 15;

/// Why a server of this version (libpq's number, e.g. 150004) is refused; empty when it is not.
QString versionRefusal(int serverVersion);

}  // namespace datasource
