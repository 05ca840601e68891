// The engine behind the data source: the file by default, a PostgreSQL server when the data
// source names one; the server's schema, its connection strings, TLS, a server that goes away
// or cannot be reached, and quenvale-cli datasource. Server cases skip without PostgreSQL 15.
#include <QLineEdit>
#include <QProcess>
#include <QSqlDriver>
#include <QtTest>

#include "PgCluster.h"
#include "TestDb.h"
#include "app/TFrm_Main.h"
#include "core/store/Connection.h"
#include "core/store/DataSource.h"
#include "core/store/DataSourceRegistration.h"
#include "core/store/DbError.h"
#include "core/store/Registry.h"
#include "core/store/SqlQuery.h"
#include "core/store/SurveyStore.h"
#include "gui/forms/TFrm_Query.h"
#include "gui/ui/ScriptedPrompt.h"

namespace {

#define NEED_SERVER()                                                                               \
    do {                                                                                            \
        if (!PgCluster::shared()) QSKIP(qPrintable("no PostgreSQL 15: " + PgCluster::sharedWhy())); \
    } while (false)

QString driverOfMyDb() { return connection::database(QStringLiteral("MyDb")).driverName(); }

bool run(const QString& program, const QStringList& args, QString* out = nullptr) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    if (out) *out = QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

}  // namespace

class TstDataSource : public QObject {
    Q_OBJECT
private slots:
    // The start-up registration writes its values at every start and keeps the server's.
    void registrationKeepsTheServerChoice() {
        QTemporaryDir dir;
        const QString hive = dir.filePath("hive.reg");
        Registry r(hive);
        registration::registerDataSource(r, "/a/MyDB.db");
        datasource::setServer("host=db.office dbname=register", hive);
        Registry again(hive);
        registration::registerDataSource(again, "/b/MyDB.db");
        QCOMPARE(datasource::server(hive), QStringLiteral("host=db.office dbname=register"));
        QCOMPARE(again.readValue(registration::dataSourceKey(), "DBQ").toString(),
                 QStringLiteral("/b/MyDB.db"));
        QCOMPARE(again.readValue(registration::dataSourceKey(), "Driver").toString(),
                 QStringLiteral("QSQLITE"));
        datasource::setServer(QString(), hive);
        QCOMPARE(datasource::server(hive), QString());
    }

    void fileIsTheDefault() {
        TestDb db(TestDb::Engine::File);
        QCOMPARE(driverOfMyDb(), QStringLiteral("QSQLITE"));
    }

    void connectionStrings_data() {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("normal");  // empty: refused
        QTest::addColumn<QString>("why");
        QTest::newRow("pairs get a time-out") << "host=db dbname=r"
                                              << "host='db' dbname='r' connect_timeout=3"
                                              << "";
        QTest::newRow("own time-out kept") << "host=db connect_timeout=7"
                                           << "host='db' connect_timeout='7'"
                                           << "";
        QTest::newRow("URI")
            << "postgresql://clerk@db:5433/r?sslmode=verify-full"
            << "user='clerk' dbname='r' host='db' port='5433' sslmode='verify-full' connect_timeout=3"
            << "";
        QTest::newRow("quote in a value") << "dbname='a\\'b'"
                                          << "dbname='a\\'b' connect_timeout=3"
                                          << "";
        QTest::newRow("malformed") << "host=db dbname"
                                   << ""
                                   << "连接串格式不对";
        QTest::newRow("unknown keyword") << "hots=db"
                                         << ""
                                         << "连接串格式不对";
        QTest::newRow("password") << "host=db password=secret"
                                  << ""
                                  << "不能含密码";
        QTest::newRow("password in a URI") << "postgresql://clerk:secret@db/r"
                                           << ""
                                           << "不能含密码";
        // The passphrase of the client key is as secret as a password.
        QTest::newRow("sslpassword") << "host=db sslkey=/home/clerk/key.pem sslpassword=secret"
                                     << ""
                                     << "sslpassword";
        QTest::newRow("both") << "host=db sslpassword=secret password=secret"
                              << ""
                              << "password、sslpassword";
        QTest::newRow("a key file is no secret")
            << "host=db sslkey=/home/clerk/key.pem"
            << "host='db' sslkey='/home/clerk/key.pem' connect_timeout=3"
            << "";
        QTest::newRow("empty") << "  "
                               << ""
                               << "为空";
    }
    void connectionStrings() {
        QFETCH(QString, given);
        QFETCH(QString, normal);
        QFETCH(QString, why);
        QString error;
        const QString got = datasource::normalise(given, &error);
        if (normal.isEmpty()) {
            QVERIFY(got.isEmpty());
            QVERIFY2(error.contains(why), qPrintable(error));
            QVERIFY(!error.contains("secret"));
        } else {
            // libpq lists keywords in its own order.
            QStringList a = got.split(' '), b = normal.split(' ');
            a.sort();
            b.sort();
            QCOMPARE(a, b);
        }
    }

    // What is shown of a saved connection string never includes a secret, even one saved by an
    // earlier version.
    void shownWithoutSecrets_data() {
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("shown");
        QTest::newRow("none") << "host=db dbname=r" << "host='db' dbname='r'";
        QTest::newRow("sslpassword") << "host=db sslpassword=secret" << "host='db' sslpassword=********";
        QTest::newRow("URI") << "postgresql://clerk:secret@db/r"
                             << "user='clerk' password=******** dbname='r' host='db'";
        QTest::newRow("malformed") << "host=db password='secret" << "（连接串格式不对）";
    }
    void shownWithoutSecrets() {
        QFETCH(QString, saved);
        QFETCH(QString, shown);
        QStringList got = datasource::withoutSecrets(saved).split(' '), want = shown.split(' ');
        got.sort();
        want.sort();
        QCOMPARE(got, want);
    }

    void serverWhenNamed() {
        NEED_SERVER();
        TestDb db(TestDb::Engine::Server);
        QCOMPARE(driverOfMyDb(), QStringLiteral("QPSQL"));
        SqlQuery q("MyDb");
        SurveyStore(q).store(completeAnswers("7"));
        QCOMPARE(db.count("BasicInfo", "7"), 1);
        QVERIFY(!QFile::exists(db.file()));  // the file was never made or touched
    }

    // An empty database gets the thirteen tables, their indexes, all columns TEXT.
    void emptyDatabaseGetsTheTables() {
        NEED_SERVER();
        TestDb db(TestDb::Engine::Server, false);
        QCOMPARE(db.rows("select count(*) from information_schema.tables where table_schema='public'")
                     .value(0)
                     .value(0),
                 QStringLiteral("0"));
        connection::database("MyDb");
        QCOMPARE(db.rows("select count(*) from information_schema.tables where table_schema='public'")
                     .value(0)
                     .value(0),
                 QStringLiteral("13"));
        QCOMPARE(db.rows("select count(*) from information_schema.columns where table_schema='public' "
                         "and data_type <> 'text'")
                     .value(0)
                     .value(0),
                 QStringLiteral("0"));
        const QList<QStringList> idx =
            db.rows("select indexname from pg_indexes where schemaname='public' order by 1");
        QStringList names;
        for (const auto& r : idx) names << r[0];
        for (const char* n : {"ix_love_id", "ix_love_code", "ix_channel_id", "ix_type_code",
                              "ix_basicinfo_flag", "basicinfo_pkey"})
            QVERIFY2(names.contains(n), n);
        QCOMPARE(names.size(), 12 * 2 + 2);
    }

    void incompleteDatabaseIsRefused_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("message");
        QTest::newRow("two tables only")
            << "CREATE TABLE BasicInfo (ID TEXT PRIMARY KEY, name TEXT, Address TEXT, "
               "WorkUnit TEXT, Phone TEXT, age TEXT, level TEXT, political TEXT, duty TEXT, "
               "Position TEXT, Flag TEXT); CREATE TABLE Love (ID TEXT, Code TEXT, Name TEXT)"
            << "表 Special；表 Team；表 Service";
        QTest::newRow("a column missing") << ""
                                          << "表 Channel 的列 Name";
    }
    void incompleteDatabaseIsRefused() {
        NEED_SERVER();
        QFETCH(QString, sql);
        QFETCH(QString, message);
        TestDb db(TestDb::Engine::Server, sql.isEmpty());
        if (sql.isEmpty())
            db.exec("ALTER TABLE Channel DROP COLUMN Name");
        else
            for (const QString& s : sql.split("; ")) db.exec(s);
        const QString before =
            db.rows(
                  "select string_agg(table_name || '.' || column_name, ',' order by 1) from "
                  "information_schema.columns where table_schema='public'")
                .value(0)
                .value(0);
        try {
            connection::database("MyDb");
            QFAIL("an incomplete database was opened");
        } catch (const DbError& e) {
            QVERIFY2(e.detail().contains(message), qPrintable(e.detail()));
            QVERIFY(e.detail().contains("未作任何更改"));
        }
        QCOMPARE(db.rows("select string_agg(table_name || '.' || column_name, ',' order by 1) from "
                         "information_schema.columns where table_schema='public'")
                     .value(0)
                     .value(0),
                 before);
    }

    // Connected as a user who may read but not write: stores fail, nothing half-stored.
    void readOnlyUser() {
        NEED_SERVER();
        TestDb db(TestDb::Engine::Server);
        {
            SqlQuery q("MyDb");
            SurveyStore(q).store(completeAnswers("1"));
        }
        db.exec("DROP ROLE IF EXISTS reader");
        db.exec("CREATE ROLE reader LOGIN");
        db.exec("GRANT SELECT ON ALL TABLES IN SCHEMA public TO reader");
        connection::closeAll();
        datasource::setServer(db.conninfo().replace("user=postgres", "user=reader"), db.hive());
        SqlQuery q("MyDb");
        SurveyStore store(q);
        QCOMPARE(int(store.read("1").status), int(LookupResult::Complete));
        QVERIFY_THROWS_EXCEPTION(StoreFailure, store.store(completeAnswers("2")));
        QCOMPARE(db.count("BasicInfo", "2"), 0);
        QVERIFY_THROWS_EXCEPTION(StoreFailure, store.remove("1"));
        QCOMPARE(db.count("Special", "1"), 1);
    }

    // The server restarts mid-session: the statement fails whole, the next one reconnects.
    void serverGoesAwayAndComesBack() {
        NEED_SERVER();
        TestDb db(TestDb::Engine::Server);
        SqlQuery q("MyDb");
        SurveyStore store(q);
        store.store(completeAnswers("1"));
        // libpq's link behind the connection is found (the version check and the loss check
        // look at it).
        QVERIFY(datasource::serverHandle(connection::database("MyDb")) != nullptr);
        QVERIFY(PgCluster::shared()->restart());
        try {
            store.store(completeAnswers("2"));
        } catch (const StoreFailure& f) {
            QCOMPARE(f.table, 0);  // the first statement: the New form's own message
        }
        QCOMPARE(db.count("Special", "2"), db.count("BasicInfo", "2"));
        store.store(completeAnswers("3"));  // reconnected by itself
        QCOMPARE(db.count("BasicInfo", "3"), 1);
        QCOMPARE(int(store.read("1").status), int(LookupResult::Complete));
    }

    // A server that cannot be reached: each form reports its own message, within the time-out.
    // Only the major version counts: every 15.x is taken, 14 and 16 are refused by name.
    void serverVersions() {
        QCOMPARE(datasource::versionRefusal(150000), QString());
        QCOMPARE(datasource::versionRefusal(150013), QString());
        QCOMPARE(datasource::versionRefusal(140011),
                 QStringLiteral("服务器是 PostgreSQL 14，本系统需要 PostgreSQL 15。"));
        QCOMPARE(datasource::versionRefusal(160002),
                 QStringLiteral("服务器是 PostgreSQL 16，本系统需要 PostgreSQL 15。"));
        QVERIFY(!datasource::versionRefusal(0).isEmpty());  // no version reported
    }

    void unreachableServer() {
        NEED_SERVER();
        TestDb db(TestDb::Engine::Server);
        datasource::setServer("host=192.0.2.1 connect_timeout=2 dbname=x", db.hive());  // a black hole
        connection::closeAll();
        ScriptedPrompt prompt;
        QElapsedTimer t;
        t.start();
        TFrm_Query form;
        form.findChild<QLineEdit*>("Edt_ID")->setText("1");
        form.Btn_QryClick();
        QCOMPARE(prompt.texts(), QStringList{QStringLiteral("查询失败！")});
        qInfo("the lookup reported after %lld ms", t.elapsed());
        // The main window opens all the same: it needs no database to be shown, and says
        // nothing about the file, which is not in use.
        {
            connection::closeAll();
            prompt.clear();
            Registry registry(db.hive());
            TFrm_Main w(nullptr, db.dir(), &registry);
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QVERIFY(!connection::isOpen(QStringLiteral("MyDb")));
            QCOMPARE(prompt.texts(), QStringList());
        }
        // Pointed back at the server, the next action connects.
        datasource::setServer(db.conninfo(), db.hive());
        prompt.clear();
        form.Btn_QryClick();
        QCOMPARE(prompt.texts(), QStringList{QStringLiteral("没有符合条件的记录")});
    }

    // TLS with the office's CA: verify-full connects; another CA or another name is refused.
    void tlsVerifyFull() {
        if (!PgCluster::available()) QSKIP("no PostgreSQL 15");
        QTemporaryDir certs;
        const QString d = certs.path();
        auto ssl = [&](const QStringList& args) { return run("openssl", args); };
        QVERIFY(ssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                     "/CN=Quenvale Test CA", "-keyout", d + "/ca.key", "-out", d + "/ca.crt"}));
        QVERIFY(ssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=Other CA",
                     "-keyout", d + "/other.key", "-out", d + "/other.crt"}));
        QVERIFY(ssl({"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost", "-keyout",
                     d + "/server.key", "-out", d + "/server.csr"}));
        QFile ext(d + "/ext.cnf");
        QVERIFY(ext.open(QIODevice::WriteOnly));
        ext.write("subjectAltName=DNS:localhost,IP:127.0.0.1\n");
        ext.close();
        QVERIFY(
            ssl({"x509", "-req", "-in", d + "/server.csr", "-CA", d + "/ca.crt", "-CAkey", d + "/ca.key",
                 "-CAcreateserial", "-days", "2", "-extfile", d + "/ext.cnf", "-out", d + "/server.crt"}));
        PgCluster::Options o;
        o.tcp = true;
        o.serverCert = d + "/server.crt";
        o.serverKey = d + "/server.key";
        o.hbaLines = {"local all all trust", "hostssl all all 127.0.0.1/32 trust",
                      "hostnossl all all 0.0.0.0/0 reject"};
        PgCluster tls(o);
        QVERIFY2(tls.isRunning(), qPrintable(tls.why()));
        const QString base =
            QStringLiteral("host=localhost hostaddr=127.0.0.1 port=%1 dbname=postgres user=postgres")
                .arg(tls.port());
        QString reason;
        QVERIFY2(datasource::test(base + " sslmode=verify-full sslrootcert=" + d + "/ca.crt", &reason),
                 qPrintable(reason));
        QVERIFY(!datasource::test(base + " sslmode=verify-full sslrootcert=" + d + "/other.crt", &reason));
        QVERIFY2(reason.contains("certificate"), qPrintable(reason));
        QVERIFY(!reason.contains('\n'));
        QVERIFY(!datasource::test(base + " sslmode=disable", &reason));  // the server takes TLS only
        // And the link really is encrypted.
        TestDb db(TestDb::Engine::File);
        datasource::setServer(base + " sslmode=verify-full sslrootcert=" + d + "/ca.crt", db.hive());
        SqlQuery q("MyDb");
        q.setSql("select ssl from pg_stat_ssl where pid = pg_backend_pid()");
        q.open();
        QCOMPARE(q.text(0), QStringLiteral("true"));
    }

    // Password authentication: without a password the connection is refused in one line; with
    // libpq's password file it connects, and the password is stored nowhere of ours.
    void passwordFromPgpass() {
        if (!PgCluster::available()) QSKIP("no PostgreSQL 15");
        PgCluster::Options o;
        o.password = "s3cret";
        o.hbaLines = {"local all all scram-sha-256"};
        PgCluster pw(o);
        QVERIFY2(pw.isRunning(), qPrintable(pw.why()));
        QTemporaryDir home;
        const QString pgpass = home.filePath(".pgpass");
        QFile f(pgpass);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("*:*:*:postgres:wrong\n");
        f.close();
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        qputenv("PGPASSFILE", pgpass.toLocal8Bit());
        QString reason;
        QVERIFY(!datasource::test(pw.conninfo(), &reason));
        QVERIFY2(reason.contains("password authentication failed"), qPrintable(reason));
        QVERIFY(!reason.contains('\n'));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("*:*:*:postgres:s3cret\n");
        f.close();
        TestDb db(TestDb::Engine::File);
        QVERIFY2(datasource::test(pw.conninfo(), &reason), qPrintable(reason));
        datasource::setServer(datasource::normalise(pw.conninfo(), &reason), db.hive());
        QCOMPARE(connection::database("MyDb").driverName(), QStringLiteral("QPSQL"));
        QFile hive(db.hive());
        QVERIFY(hive.open(QIODevice::ReadOnly));
        QVERIFY(!hive.readAll().contains("s3cret"));
        connection::closeAll();
        qunsetenv("PGPASSFILE");
    }

    // quenvale-cli datasource: show, server (tried first), local.
    void cli() {
        NEED_SERVER();
        QTemporaryDir home;
        const QString exe = QCoreApplication::applicationDirPath() + "/quenvale-cli";
        if (!QFile::exists(exe)) QSKIP("quenvale-cli not built");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home.path());
        auto cli = [&](const QStringList& args, QString* out) {
            QProcess p;
            p.setProcessEnvironment(env);
            p.start(exe, args);
            p.waitForFinished(60000);
            *out = QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
            return p.exitCode();
        };
        const QString dbName = PgCluster::shared()->createDatabase();
        const QString conninfo = PgCluster::shared()->conninfo(dbName);
        QString out;
        QCOMPARE(cli({"datasource", "show"}, &out), 0);
        QVERIFY2(out.startsWith("file "), qPrintable(out));
        QCOMPARE(cli({"datasource", "server", conninfo + " dbname=nosuchdb"}, &out), 1);
        QVERIFY2(out.contains("nosuchdb") && out.count('\n') == 1, qPrintable(out));
        QCOMPARE(cli({"datasource", "server", "host=x password=p"}, &out), 1);
        QCOMPARE(cli({"datasource", "show"}, &out), 0);
        QVERIFY(out.startsWith("file "));
        QCOMPARE(cli({"datasource", "server", conninfo}, &out), 0);
        QCOMPARE(cli({"datasource", "show"}, &out), 0);
        QVERIFY2(out.startsWith("server ") && out.contains(dbName), qPrintable(out));
        QVERIFY(!out.contains("password"));
        QCOMPARE(cli({"datasource", "local"}, &out), 0);
        QCOMPARE(cli({"datasource", "show"}, &out), 0);
        QVERIFY(out.startsWith("file "));
        QCOMPARE(cli({"datasource", "server"}, &out), 2);
    }
};

QTEST_MAIN(TstDataSource)
#include "tst_datasource.moc"
