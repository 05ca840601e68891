#include "DataSource.h"

#include <libpq-fe.h>

#include <cstring>

#include <QSqlDriver>
#include <QSqlError>
#include <QUuid>

#include "core/store/DataSourceRegistration.h"
#include "core/store/Registry.h"
#include "core/store/ServerSchema.h"

namespace datasource {

namespace {

Registry hive(const QString& hiveFile) { return hiveFile.isEmpty() ? Registry() : Registry(hiveFile); }

// A value in a keyword=value connection string: quoted, backslashes and quotes escaped.
QString quoted(const QString& v) {
    QString out = v;
    out.replace(u'\\', QStringLiteral("\\\\"));
    out.replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + out + u'\'';
}

// libpq marks the keywords whose values are secrets (password, sslpassword, ...) with '*'.
bool isSecret(const PQconninfoOption* o) { return o->dispchar && std::strchr(o->dispchar, '*'); }

QString oneLine(QString text) {
    text = text.trimmed();
    text.replace(u'\n', u' ');
    return text.simplified();
}

}  // namespace

QString serverValueName() { return QStringLiteral("Server"); }

QString server(const QString& hiveFile) {
    return hive(hiveFile).readValue(registration::dataSourceKey(), serverValueName()).toString().trimmed();
}

void setServer(const QString& conninfo, const QString& hiveFile) {
    Registry r = hive(hiveFile);
    if (!r.openKey(registration::dataSourceKey()))
        throw Registry::WriteError("cannot open the data source key");
    r.writeString(serverValueName(), conninfo);
    r.closeKey();
}

QString normalise(const QString& conninfo, QString* error) {
    if (conninfo.trimmed().isEmpty()) {
        if (error) *error = QStringLiteral("连接串为空。");
        return {};
    }
    char* err = nullptr;
    const QByteArray text = conninfo.trimmed().toUtf8();
    PQconninfoOption* opts = PQconninfoParse(text.constData(), &err);
    if (!opts) {
        if (error)
            *error =
                QStringLiteral("连接串格式不对：%1").arg(err ? oneLine(QString::fromUtf8(err)) : QString());
        PQfreemem(err);
        return {};
    }
    QStringList pairs, secrets;
    bool timeout = false;
    for (PQconninfoOption* o = opts; o->keyword; ++o) {
        if (!o->val) continue;
        const QString key = QString::fromUtf8(o->keyword);
        if (isSecret(o)) secrets << key;
        if (key == QLatin1String("connect_timeout")) timeout = true;
        pairs << key + u'=' + quoted(QString::fromUtf8(o->val));
    }
    PQconninfoFree(opts);
    if (!secrets.isEmpty()) {
        if (error)
            *error = secrets == QStringList{QStringLiteral("password")}
                         ? QStringLiteral("连接串中不能含密码：密码不会被保存，请使用 ~/.pgpass、服务文件、peer 或 trust 认证。")
                         : QStringLiteral("连接串中不能含密码或口令（%1）：它们不会被保存，请使用 ~/.pgpass、"
                                          "服务文件、不带口令的客户端密钥、peer 或 trust 认证。")
                               .arg(secrets.join(QStringLiteral("、")));
        return {};
    }
    if (!timeout) pairs << QStringLiteral("connect_timeout=%1").arg(kConnectTimeoutSeconds);
    return pairs.join(u' ');
}

QMap<QString, QString> fields(const QString& conninfo) {
    QMap<QString, QString> out;
    if (conninfo.trimmed().isEmpty()) return out;
    char* err = nullptr;
    const QByteArray text = conninfo.trimmed().toUtf8();
    PQconninfoOption* opts = PQconninfoParse(text.constData(), &err);
    PQfreemem(err);
    if (!opts) return out;
    for (PQconninfoOption* o = opts; o->keyword; ++o)
        if (o->val) out.insert(QString::fromUtf8(o->keyword), QString::fromUtf8(o->val));
    PQconninfoFree(opts);
    return out;
}

QString withoutSecrets(const QString& conninfo) {
    if (conninfo.trimmed().isEmpty()) return {};
    char* err = nullptr;
    const QByteArray text = conninfo.trimmed().toUtf8();
    PQconninfoOption* opts = PQconninfoParse(text.constData(), &err);
    PQfreemem(err);
    // A string libpq cannot read cannot be told apart into secrets and the rest: none of it.
    if (!opts) return QStringLiteral("（连接串格式不对）");
    QStringList pairs;
    for (PQconninfoOption* o = opts; o->keyword; ++o)
        if (o->val)
            pairs << QString::fromUtf8(o->keyword) + u'=' +
                         (isSecret(o) ? QStringLiteral("********") : quoted(QString::fromUtf8(o->val)));
    PQconninfoFree(opts);
    return pairs.join(u' ');
}

bool openServer(const QString& connectionName, const QString& conninfo, QString* error) {
    const QString normal = normalise(conninfo, error);
    if (normal.isEmpty()) return false;
    QSqlDatabase db = QSqlDatabase::contains(connectionName)
                          ? QSqlDatabase::database(connectionName, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
    if (!db.isValid()) {
        if (error) *error = QStringLiteral("没有 PostgreSQL 驱动（QPSQL）。");
        return false;
    }
    // The whole string goes to libpq as it stands (QPSQL appends its connect options).
    db.setDatabaseName(QString());
    db.setHostName(QString());
    db.setUserName(QString());
    db.setPassword(QString());
    db.setPort(-1);
    db.setConnectOptions(normal);
    if (!db.open()) {
        if (error)
            *error = oneLine(db.lastError().databaseText().isEmpty() ? db.lastError().text()
                                                                     : db.lastError().databaseText());
        db.close();
        return false;
    }
    if (PGconn* c = serverHandle(db)) {
        const QString refusal = versionRefusal(PQserverVersion(c));
        if (!refusal.isEmpty()) {
            if (error) *error = refusal;
            db.close();
            return false;
        }
    }
    if (!serverschema::ensure(db, error)) {
        if (error) *error = oneLine(*error);
        db.close();
        return false;
    }
    return true;
}

QString versionRefusal(int serverVersion) {
    const int major = serverVersion / 10000;
    if (major == kServerMajorVersion) return QString();
    return QStringLiteral("服务器是 PostgreSQL %1，本系统需要 PostgreSQL %2。").arg(major).arg(kServerMajorVersion);
}

bool test(const QString& conninfo, QString* reason) {
    const QString name = QStringLiteral("quenvale-test-") + QUuid::createUuid().toString(QUuid::Id128);
    bool ok;
    {
        ok = openServer(name, conninfo, reason);
        QSqlDatabase::database(name, false).close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

PGconn* serverHandle(const QSqlDatabase& db) {
    if (!db.isValid() || db.driverName() != QLatin1String("QPSQL") || !db.driver()) return nullptr;
    const QVariant h = db.driver()->handle();
    // Qt names the handle's type by the structure behind libpq's typedef.
    if (!h.isValid() || (qstrcmp(h.typeName(), "PGconn*") != 0 && qstrcmp(h.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn* const*>(h.constData());
}

bool isBroken(const QSqlDatabase& db) {
    PGconn* c = serverHandle(db);
    return c && PQstatus(c) == CONNECTION_BAD;
}

}  // namespace datasource
