#include "TestDb.h"

#include <QDir>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#include "PgCluster.h"
#include "core/store/Connection.h"
#include "core/store/DataModule.h"
#include "core/store/DataSource.h"
#include "core/store/DataSourceRegistration.h"
#include "core/store/Registry.h"
#include "core/store/Schema.h"

TestDb::Engine TestDb::engine() {
    return qgetenv("QUENVALE_TEST_ENGINE") == "server" ? Engine::Server : Engine::File;
}

bool TestDb::engineAvailable(QString* why) {
    if (!isServer()) return true;
    if (PgCluster::shared()) return true;
    if (why)
        *why = QStringLiteral("no PostgreSQL 15 server for the server engine: ") + PgCluster::sharedWhy();
    return false;
}

TestDb::TestDb(bool createFile) : TestDb(engine(), createFile) {}

TestDb::TestDb(Engine engine, bool createFile) : m_engine(engine) {
    connection::closeAll();
    QDir().mkpath(m_dir.path() + QStringLiteral("/Data"));
    m_file = m_dir.path() + QStringLiteral("/Data/MyDB.db");
    m_hive = m_dir.path() + QStringLiteral("/hive/HKEY_LOCAL_MACHINE.reg");
    if (m_engine == Engine::Server) {
        PgCluster* cluster = PgCluster::shared();
        if (!cluster) qFatal("no PostgreSQL server: %s", qPrintable(PgCluster::sharedWhy()));
        const QString name = cluster->createDatabase();
        if (name.isEmpty()) qFatal("cannot create a server database: %s", qPrintable(cluster->why()));
        m_conninfo = cluster->conninfo(name);
        if (createFile) {
            QString error;
            const QString c = QStringLiteral("setup-") + QUuid::createUuid().toString(QUuid::Id128);
            const bool ok = datasource::openServer(c, m_conninfo, &error);
            QSqlDatabase::database(c, false).close();
            QSqlDatabase::removeDatabase(c);
            if (!ok) qFatal("cannot make the server's tables: %s", qPrintable(error));
        }
    } else if (createFile && !schema::ensureDatabaseFile(m_file)) {
        qFatal("cannot create test database");
    }
    Registry registry(m_hive);
    registration::registerDataSource(registry, m_file);
    if (m_engine == Engine::Server) datasource::setServer(m_conninfo, m_hive);
    m_dm = std::make_unique<TDM>(nullptr, m_hive, m_file);
    m_rawName = QStringLiteral("raw-") + QUuid::createUuid().toString(QUuid::Id128);
}

TestDb::~TestDb() {
    m_dm.reset();  // closes every connection
    connection::closeAll();
}

QSqlDatabase TestDb::raw() {
    if (QSqlDatabase::contains(m_rawName)) {
        QSqlDatabase db = QSqlDatabase::database(m_rawName, false);
        if (db.isOpen()) return db;
    }
    QString error;
    if (m_engine == Engine::Server) {
        QSqlDatabase db = QSqlDatabase::contains(m_rawName)
                              ? QSqlDatabase::database(m_rawName, false)
                              : QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_rawName);
        db.setConnectOptions(m_conninfo);
        if (!db.open()) qFatal("cannot open test database: %s", qPrintable(db.lastError().text()));
        return db;
    }
    if (!schema::openExisting(m_rawName, m_file, &error))
        qFatal("cannot open test database: %s", qPrintable(error));
    return QSqlDatabase::database(m_rawName, false);
}

void TestDb::exec(const QString& sql, const QVariantList& values) {
    QSqlQuery q(raw());
    if (values.isEmpty()) {  // statements a server will not prepare (DDL) run as they are
        if (!q.exec(sql))
            qFatal("test SQL failed: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        return;
    }
    q.prepare(sql);
    for (int i = 0; i < values.size(); ++i) q.bindValue(i, values[i]);
    if (!q.exec()) qFatal("test SQL failed: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
}

QList<QStringList> TestDb::rows(const QString& sql, const QVariantList& values) {
    QSqlQuery q(raw());
    bool ok;
    if (values.isEmpty()) {
        ok = q.exec(sql);
    } else {
        q.prepare(sql);
        for (int i = 0; i < values.size(); ++i) q.bindValue(i, values[i]);
        ok = q.exec();
    }
    if (!ok) qFatal("test SQL failed: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    QList<QStringList> out;
    while (q.next()) {
        QStringList row;
        for (int i = 0; i < q.record().count(); ++i)
            row << (q.value(i).isNull() ? QStringLiteral("<null>") : q.value(i).toString());
        out << row;
    }
    return out;
}

int TestDb::count(const QString& table, const QString& id) {
    const auto r = id.isNull() ? rows(QStringLiteral("select count(*) from %1").arg(table))
                               : rows(QStringLiteral("select count(*) from %1 where ID=?").arg(table), {id});
    return r.value(0).value(0).toInt();
}

void TestDb::failOn(const QString& event, const QString& table, const QString& when, const QString& message) {
    const bool always = when.isEmpty() || when == QLatin1String("1");
    if (m_engine == Engine::Server) {
        exec(
            QStringLiteral("CREATE OR REPLACE FUNCTION quenvale_fail() RETURNS trigger LANGUAGE plpgsql AS "
                           "$$ BEGIN RAISE EXCEPTION '%', TG_ARGV[0]; END $$"));
        exec(
            QStringLiteral(
                "CREATE TRIGGER fail_%1 BEFORE %2 ON %1 FOR EACH ROW %3 EXECUTE FUNCTION quenvale_fail('%4')")
                .arg(table, event, always ? QString() : QStringLiteral("WHEN (%1)").arg(when), message));
        return;
    }
    exec(QStringLiteral("CREATE TRIGGER fail_%1 BEFORE %2 ON %1 %3 BEGIN SELECT RAISE(ABORT,'%4'); END")
             .arg(table, event, always ? QString() : QStringLiteral("WHEN %1").arg(when), message));
}

void TestDb::clearFailure(const QString& table) {
    if (m_engine == Engine::Server)
        exec(QStringLiteral("DROP TRIGGER fail_%1 ON %1").arg(table));
    else
        exec(QStringLiteral("DROP TRIGGER fail_%1").arg(table));
}

QString TestDb::dump() {
    QString out;
    for (const QString& t : schema::tables()) {
        QStringList lines;
        for (const QStringList& r : rows(QStringLiteral("select * from %1").arg(t))) lines << r.join(u'\x1f');
        lines.sort();
        out += t + u'\n' + lines.join(u'\n') + u'\n';
    }
    return out;
}

Answers completeAnswers(const QString& id) {
    using namespace catalogue;
    Answers a;
    a.id = id;
    a.name = QStringLiteral("张三");
    a.address = QStringLiteral("幸福路1号");
    a.workUnit = QStringLiteral("社区服务中心");
    a.phone = QStringLiteral("13800000000");
    for (GroupId g : {Age, Level, Political, Duty, Position, Flag}) a[g].ticked[0] = true;
    for (GroupId g : answerTables()) a[g].ticked[0] = true;
    return a;
}
