#include "TestDb.h"

#include <QDir>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#include "store/Connection.h"
#include "store/DataModule.h"
#include "store/DataSourceRegistration.h"
#include "store/Registry.h"
#include "store/Schema.h"

TestDb::TestDb(bool createFile) {
    connection::closeAll();
    QDir().mkpath(m_dir.path() + QStringLiteral("/Data"));
    m_file = m_dir.path() + QStringLiteral("/Data/MyDB.db");
    m_hive = m_dir.path() + QStringLiteral("/hive/HKEY_LOCAL_MACHINE.reg");
    if (createFile && !schema::ensureDatabaseFile(m_file)) qFatal("cannot create test database");
    Registry registry(m_hive);
    registration::registerDataSource(registry, m_file);
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
    if (!schema::openExisting(m_rawName, m_file, &error))
        qFatal("cannot open test database: %s", qPrintable(error));
    return QSqlDatabase::database(m_rawName, false);
}

void TestDb::exec(const QString& sql, const QVariantList& values) {
    QSqlQuery q(raw());
    q.prepare(sql);
    for (int i = 0; i < values.size(); ++i) q.bindValue(i, values[i]);
    if (!q.exec()) qFatal("test SQL failed: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
}

QList<QStringList> TestDb::rows(const QString& sql, const QVariantList& values) {
    QSqlQuery q(raw());
    q.prepare(sql);
    for (int i = 0; i < values.size(); ++i) q.bindValue(i, values[i]);
    if (!q.exec()) qFatal("test SQL failed: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
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
