#include "RegisterOpening.h"

#include <sqlite3.h>

#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>

#include "core/store/Connection.h"
#include "core/store/DataSource.h"
#include "core/store/DataSourceRegistration.h"
#include "core/store/Registry.h"
#include "core/store/Schema.h"

RegisterOpening RegisterOpening::prepare(const QString& exeDir, Registry& hive) {
    RegisterOpening r;
    r.location = DataLocation::resolve(exeDir);
    r.problem = r.location.problem;
    r.server = !datasource::server(hive.file()).isEmpty();
    if (r.server) {
        // A server named by the data source is not tried here: the first statement reports it.
        if (r.problem.isEmpty()) schema::ensureDatabaseFile(r.location.file);
        r.problem.clear();
    } else if (r.problem.isEmpty()) {
        r.problem = databaseProblem(r.location.file);
    }
    try {
        registration::registerDataSource(hive, r.location.dbq);
    } catch (const Registry::WriteError& e) {
        r.registrationError = QString::fromUtf8(e.what());
    }
    return r;
}

QString RegisterOpening::databaseProblem(const QString& file) {
    const QString path = QDir::toNativeSeparators(file);
    QString error;
    if (!schema::ensureDatabaseFile(file, &error))
        return QStringLiteral("无法建立数据库文件 %1。请检查磁盘空间和文件夹的权限，然后重新启动程序。")
            .arg(path);
    if (const QString refused = DataLocation::refusal(file); !refused.isEmpty()) return refused;
    enum { Fine, Unreadable, Unwritable, NotOurs } outcome = Unreadable;
    const QString probe = QStringLiteral("quenvale-startup-check");
    if (schema::openExisting(probe, file, &error)) {
        QSqlDatabase db = QSqlDatabase::database(probe, false);
        QSqlQuery q(db);
        // A moment's wait only: a lock held that long by another program is worth saying.
        q.exec(QStringLiteral("PRAGMA busy_timeout=250"));
        if (q.exec(QStringLiteral("PRAGMA quick_check(1)")) && q.next() &&
            q.value(0).toString() == QLatin1String("ok")) {
            QStringList present = db.tables();
            for (QString& t : present) t = t.toLower();
            outcome = Fine;
            for (const QString& t : schema::tables())
                if (!present.contains(t.toLower())) outcome = NotOurs;
            // SQLite falls back to reading a file it may not write: ask it which it did.
            sqlite3* handle = connection::sqliteHandle(db);
            const bool readOnly = handle && sqlite3_db_readonly(handle, "main") == 1;
            if (outcome == Fine && (readOnly || !(q.exec(QStringLiteral("BEGIN IMMEDIATE")) &&
                                                  q.exec(QStringLiteral("ROLLBACK")))))
                outcome = Unwritable;
        }
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(probe);
    switch (outcome) {
        case Fine:
            return {};
        case NotOurs:
            return QStringLiteral(
                       "数据库文件 %1 不含登记册的数据表，不是本程序的数据库。"
                       "现在录入的问卷将无法保存，请先换回正确的数据库文件。")
                .arg(path);
        case Unwritable:
            return QStringLiteral(
                       "数据库文件 %1 无法写入（文件只读，或正被其他程序占用）。"
                       "现在录入的问卷将无法保存，请先解决这个问题。")
                .arg(path);
        case Unreadable:
            break;
    }
    return QStringLiteral(
               "无法打开数据库文件 %1（文件已损坏，或不是数据库文件）。"
               "现在录入的问卷将无法保存，请先解决这个问题。")
        .arg(path);
}
