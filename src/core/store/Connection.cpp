#include "Connection.h"

#include <sqlite3.h>

#include <QHash>
#include <QSqlDriver>
#include <QSqlQuery>

#include "core/store/DataSource.h"
#include "core/store/DataSourceRegistration.h"
#include "core/store/DbError.h"
#include "core/store/Schema.h"

namespace connection {

namespace {

QHash<QString, Definition>& definitions() {
    static QHash<QString, Definition> defs;  // keyed by lower-case name
    return defs;
}

int& openings() {
    static int n = 0;
    return n;
}

QString paramValue(const QStringList& params, const QString& key) {
    for (const QString& p : params)
        if (p.section(u'=', 0, 0).compare(key, Qt::CaseInsensitive) == 0) return p.section(u'=', 1);
    return {};
}

}  // namespace

void define(const Definition& def) { definitions().insert(def.name.toLower(), def); }

Definition definition(const QString& name) { return definitions().value(name.toLower()); }

QString canonicalName(const QString& name) {
    auto it = definitions().constFind(name.toLower());
    return it == definitions().constEnd() ? name : it->name;
}

bool isOpen(const QString& name) {
    const QString canon = canonicalName(name);
    return QSqlDatabase::contains(canon) && QSqlDatabase::database(canon, false).isOpen();
}

QSqlDatabase database(const QString& name) {
    const QString canon = canonicalName(name);
    if (QSqlDatabase::contains(canon)) {
        QSqlDatabase db = QSqlDatabase::database(canon, false);
        // A server link that was lost is opened anew by the next statement that needs it.
        if (db.isOpen() && !datasource::isBroken(db)) return db;
        db.close();
    }
    auto it = definitions().constFind(canon.toLower());
    if (it == definitions().constEnd())
        throw DbError(QStringLiteral("connection"), QStringLiteral("no connection named %1").arg(name));
    const Definition& def = *it;
    // A server named by the data source is read each time the connection opens.
    const QString server = datasource::server(def.hiveFile);
    if (!server.isEmpty()) {
        QString error;
        ++openings();
        if (!datasource::openServer(canon, server, &error)) {
            QSqlDatabase::removeDatabase(canon);
            throw DbError(QStringLiteral("connection"), error);
        }
        return QSqlDatabase::database(canon, false);
    }
    // The file chosen at start-up, never one that the registration names now.
    const QString file = def.file;
    if (file.isEmpty())
        throw DbError(QStringLiteral("connection"),
                      QStringLiteral("no database file chosen for %1").arg(def.dataSource));
    QString error;
    ++openings();
    if (!schema::openExisting(canon, file, &error)) {
        QSqlDatabase::removeDatabase(canon);
        throw DbError(QStringLiteral("connection"), error);
    }
    QSqlDatabase db = QSqlDatabase::database(canon, false);
    // A file made by an earlier version gets the indexes the statistics count from. Should that
    // fail (a read-only or busy file), the statements still run, only slower; it is tried again
    // at the next opening.
    if (def.addIndexes && !schema::ensureIndexes(db, &error))
        qWarning("quenvale: could not add the missing indexes to %s: %s", qPrintable(file),
                 qPrintable(error));
    db.setUserName(paramValue(def.params, QStringLiteral("UserName")));
    db.setPassword(paramValue(def.params, QStringLiteral("Password")));
    return db;
}

int opening() { return openings(); }

void reset(const QString& name) {
    const QString canon = canonicalName(name);
    if (!QSqlDatabase::contains(canon)) return;
    {
        QSqlDatabase db = QSqlDatabase::database(canon, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(canon);
}

void closeAll() {
    for (const QString& name : QSqlDatabase::connectionNames()) {
        {
            QSqlDatabase db = QSqlDatabase::database(name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
}

sqlite3* sqliteHandle(const QSqlDatabase& db) {
    if (!db.isValid() || !db.isOpen() || db.driverName() != QLatin1String("QSQLITE") || !db.driver())
        return nullptr;
    const QVariant h = db.driver()->handle();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0) return nullptr;
    return *static_cast<sqlite3* const*>(h.constData());
}

}  // namespace connection
