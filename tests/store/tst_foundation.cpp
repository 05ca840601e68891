// The registry stand-in, the data-source registration, the connection and the database file.
#include <sys/stat.h>

#include <QtTest>

#include "TestDb.h"
#include "core/store/Connection.h"
#include "core/store/DataLocation.h"
#include "core/store/DataModule.h"
#include "core/store/DataSourceRegistration.h"
#include "core/store/DbError.h"
#include "core/store/Registry.h"
#include "core/store/Schema.h"
#include "core/store/SqlQuery.h"
#include "core/store/SurveyStore.h"

namespace {

int modeOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return -1;
    return int(st.st_mode & 0777);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TstFoundation : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void registrationWritesKeysInOrder() {
        QTemporaryDir dir;
        const QString hive = dir.path() + "/cfg/hive.reg";
        Registry r(hive);
        registration::registerDataSource(r, "/opt/q/bin//Data/MyDB.db");
        const QByteArray first = readAll(hive);

        const auto keys = r.load();
        QCOMPARE(keys.size(), 3);
        QCOMPARE(keys[0].path, QString("\\SoftWare\\ODBC\\ODBC.ini\\ODBC Data Sources"));
        QCOMPARE(keys[1].path, QString("\\SoftWare\\ODBC\\ODBC.ini\\Velmora"));
        QCOMPARE(keys[2].path, QString("\\SoftWare\\ODBC\\ODBC.ini\\Velmora\\Engines\\Jet"));
        auto names = [](const Registry::Key& k) {
            QStringList out;
            for (const auto& v : k.values) out << v.name;
            return out;
        };
        QCOMPARE(names(keys[0]), QStringList{"Velmora"});
        QCOMPARE(names(keys[1]),
                 (QStringList{"DBQ", "Driver", "DriverID", "FIL", "SafeTransactions", "UID"}));
        QCOMPARE(names(keys[2]), (QStringList{"ImplicitCommitSync", "MaxBufferSize", "PageTimeout", "Threads",
                                              "UserCommitSync"}));

        const QString ds = "\\SoftWare\\ODBC\\ODBC.ini\\Velmora";
        const QString jet = ds + "\\Engines\\Jet";
        QCOMPARE(r.readValue(ds, "DBQ"), QVariant(QString("/opt/q/bin//Data/MyDB.db")));
        QCOMPARE(r.readValue(ds, "Driver"), QVariant(QString("QSQLITE")));
        QCOMPARE(r.readValue(ds, "DriverID"), QVariant::fromValue(quint32(25)));
        QCOMPARE(r.readValue(ds, "FIL"), QVariant(QString("MS Access;")));
        QCOMPARE(r.readValue(ds, "SafeTransactions"), QVariant::fromValue(quint32(0)));
        QCOMPARE(r.readValue(ds, "UID"), QVariant(QString()));
        QCOMPARE(r.readValue(jet, "ImplicitCommitSync"), QVariant(QString()));
        QCOMPARE(r.readValue(jet, "MaxBufferSize"), QVariant::fromValue(quint32(2048)));
        QCOMPARE(r.readValue(jet, "PageTimeout"), QVariant::fromValue(quint32(5)));
        QCOMPARE(r.readValue(jet, "Threads"), QVariant::fromValue(quint32(3)));
        QCOMPARE(r.readValue(jet, "UserCommitSync"), QVariant(QString("Yes")));
        // keys match without regard to letter case
        QCOMPARE(r.readValue("\\software\\odbc\\odbc.INI\\velmora", "dbq").toString(),
                 "/opt/q/bin//Data/MyDB.db");

        Registry again(hive);
        registration::registerDataSource(again, "/opt/q/bin//Data/MyDB.db");
        QCOMPARE(readAll(hive), first);
    }

    void registrationKeepsOtherValues() {
        QTemporaryDir dir;
        const QString hive = dir.path() + "/hive.reg";
        Registry r(hive);
        QVERIFY(r.openKey("\\SoftWare\\ODBC\\ODBC.ini\\Other"));
        r.writeString("Keep", "me");
        r.closeKey();
        registration::registerDataSource(r, "x");
        QCOMPARE(r.readValue("\\SoftWare\\ODBC\\ODBC.ini\\Other", "Keep").toString(), QString("me"));
    }

    void unwritableHiveSkipsKeys() {
        QTemporaryDir dir;
        QFile blocker(dir.path() + "/file");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        // A folder cannot be made under a plain file, not even by root.
        Registry r(dir.path() + "/file/sub/hive.reg");
        registration::registerDataSource(r, "x");  // no exception: every key is skipped
        QVERIFY(r.load().isEmpty());
    }

    void failedValueEndsRegistration() {
        QTemporaryDir dir;
        Registry r(dir.path() + "/hive.reg");
        r.failWriteAt(3);  // DriverID
        QVERIFY_THROWS_EXCEPTION(Registry::WriteError, registration::registerDataSource(r, "db"));
        const QString ds = "\\SoftWare\\ODBC\\ODBC.ini\\Velmora";
        QCOMPARE(r.readValue(ds, "Driver").toString(), QString("QSQLITE"));
        QVERIFY(!r.readValue(ds, "DriverID").isValid());
        QVERIFY(!r.readValue(ds + "\\Engines\\Jet", "Threads").isValid());
    }

    void connectionNamesShareOneConnection() {
        TestDb db;
        QVERIFY(!connection::isOpen("MyDb"));
        SqlQuery upper("MyDB");
        upper.setSql("select count(*) from BasicInfo");
        upper.open();
        QVERIFY(connection::isOpen("MyDb"));
        SqlQuery lower("mydb");
        lower.setSql("select count(*) from Special");
        lower.open();
        QCOMPARE(lower.integer(0), 0);
        QCOMPARE(QSqlDatabase::connectionNames().filter("mydb", Qt::CaseInsensitive).size(), 1);
    }

    void unresolvedDataSourceFailsTheStatement() {
        TestDb db;
        connection::Definition def{"Other", "Nowhere", false, {}, db.hive()};
        connection::define(def);
        SqlQuery q("other");
        q.setSql("select 1", {}, "BasicInfo");
        try {
            q.open();
            QFAIL("expected DbError");
        } catch (const DbError& e) {
            QCOMPARE(e.statement(), QString("connection"));
        }
    }

    void failedStatementLeavesQueryUsable() {
        TestDb db;
        SqlQuery q("MyDb");
        q.setSql("select * from NoSuchTable", {}, "NoSuchTable");
        try {
            q.open();
            QFAIL("expected DbError");
        } catch (const DbError& e) {
            QCOMPARE(e.statement(), QString("NoSuchTable"));
        }
        QVERIFY(!q.isOpen());
        q.setSql("Insert into Special values(?,?,?)", {"1", "99", "it's %s and %1"});
        q.execSql();
        q.setSql("Select * from special where id=?", {"1"});
        q.open();
        QVERIFY(!q.eof());
        QCOMPARE(q.text("name"), QString("it's %s and %1"));
        QCOMPARE(q.integer("Code"), 99);
    }

    void columnsFollowTheCurrentResult() {
        TestDb db;
        db.exec("insert into BasicInfo (ID, name, Flag) values ('7', 'Li', '1')");
        db.exec("insert into Love values ('7', '03', NULL)");
        db.exec("insert into Love values ('7', '99', 'chess')");
        SqlQuery q("MyDb");
        for (int round = 0; round < 2; ++round) {  // the second round reuses both prepared statements
            q.setSql("select * from BasicInfo where id=?", {"7"});
            q.open();
            QCOMPARE(q.text("NAME"), QString("Li"));
            QCOMPARE(q.text("Flag"), QString("1"));
            QVERIFY_THROWS_EXCEPTION(DbError, q.text("Code"));
            // Other columns in another order: names and positions come from this result.
            q.setSql("select Name, Code from Love where id=? order by Code", {"7"});
            q.open();
            QCOMPARE(q.integer("code"), 3);
            QCOMPARE(q.text(1), QString("03"));
            q.next();
            QCOMPARE(q.text("Name"), QString("chess"));
            QCOMPARE(q.integer(1), 99);
            QVERIFY_THROWS_EXCEPTION(DbError, q.text(2));
            q.next();
            QVERIFY(q.eof());
            QVERIFY_THROWS_EXCEPTION(DbError, q.text("Code"));
        }
    }

    void wholeNumbers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("value");
        QTest::newRow("padded") << "01" << true << 1;
        QTest::newRow("sign") << "-3" << true << -3;
        QTest::newRow("blanks") << " 7 " << true << 7;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("other value") << "99|abc" << false << 0;
        QTest::newRow("decimal") << "1.5" << false << 0;
        QTest::newRow("overflow") << "99999999999" << false << 0;
    }
    void wholeNumbers() {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(int, value);
        int n = 0;
        QCOMPARE(SqlQuery::parseInteger(text, &n), ok);
        if (ok) QCOMPARE(n, value);
    }

    void newDatabaseSchema() {
        TestDb db;
        for (const QString& table : schema::tables()) {
            QStringList names;
            for (const QStringList& c : db.rows(QString("PRAGMA table_info(%1)").arg(table))) {
                names << c[1];
                QVERIFY2(c[2].contains("TEXT") || c[2].startsWith("VARCHAR"), qPrintable(table + "." + c[1]));
            }
            QCOMPARE(names, schema::columns(table));
            // Answer tables are found by ID and counted by Code; BasicInfo is counted by Flag.
            QStringList indexed;
            for (const QStringList& i :
                 db.rows("select name from sqlite_master where type='index' and tbl_name=?", {table}))
                for (const QStringList& c : db.rows(QString("PRAGMA index_info(%1)").arg(i[0])))
                    indexed << c[2];
            indexed.sort();
            QCOMPARE(indexed,
                     table == "BasicInfo" ? QStringList({"Flag", "ID"}) : QStringList({"Code", "ID"}));
        }
        QCOMPARE(schema::tables().size(), 13);
        db.exec("insert into Special values ('1','01',NULL)");
        QCOMPARE(db.rows("select Code, typeof(Code) from Special"), (QList<QStringList>{{"01", "text"}}));
        QCOMPARE(db.rows("PRAGMA journal_mode").value(0).value(0), QString("delete"));
        // The program's own connection flushes every commit in full (2: FULL), and waits for a
        // locked file, but not long enough to freeze a window.
        auto pragma = [](const char* name) {
            SqlQuery q("MyDb");
            q.setSql(QStringLiteral("PRAGMA %1").arg(QLatin1String(name)));
            q.open();
            return q.text(0);
        };
        QCOMPARE(pragma("synchronous"), QString("2"));
        QVERIFY2(pragma("busy_timeout").toInt() > 0 && pragma("busy_timeout").toInt() <= 3000,
                 qPrintable(pragma("busy_timeout")));
        QVERIFY_THROWS_NO_EXCEPTION(db.exec("insert into BasicInfo (ID) values ('a')"));
        bool duplicateRefused = false;
        {
            SqlQuery q("MyDb");
            q.setSql("insert into BasicInfo (ID) values (?)", {"a"});
            try {
                q.execSql();
            } catch (const DbError&) {
                duplicateRefused = true;
            }
        }
        QVERIFY(duplicateRefused);
    }

    void existingFilesAreNeverFilled_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not a database") << QByteArray("this is a letter, not a database\n").repeated(200);
    }
    void existingFilesAreNeverFilled() {
        QFETCH(QByteArray, content);
        TestDb db(false);
        QFile f(db.file());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        QVERIFY(schema::ensureDatabaseFile(db.file()));
        SqlQuery q("MyDb");
        q.setSql("select * from BasicInfo where id=?", {"1"}, "BasicInfo");
        QVERIFY_THROWS_EXCEPTION(DbError, q.open());
        q.close();
        connection::closeAll();
        QCOMPARE(readAll(db.file()), content);
    }

    // A file made before the Code and Flag indexes gets them when the program opens it, its
    // questionnaires untouched; a file without the register's tables gets nothing.
    void missingIndexesAdded_data() {
        QTest::addColumn<bool>("allTables");
        QTest::newRow("the thirteen tables") << true;
        QTest::newRow("a table missing") << false;
    }
    void missingIndexesAdded() {
        QFETCH(bool, allTables);
        TestDb db;
        {
            SqlQuery q("MyDb");
            SurveyStore(q).store(completeAnswers("9"));
        }
        connection::closeAll();
        const QString indexes =
            "select name from sqlite_master where type='index' and name like 'IX_%' order by name";
        const QList<QStringList> all = db.rows(indexes);
        for (const QStringList& i : all)
            if (!i[0].endsWith("_ID")) db.exec(QString("DROP INDEX %1").arg(i[0]));
        if (!allTables) db.exec("DROP TABLE Channel");
        auto content = [&] { return db.rows("select * from BasicInfo") + db.rows("select * from Special"); };
        const QList<QStringList> before = content();
        const QList<QStringList> reduced = db.rows(indexes);
        connection::closeAll();
        SqlQuery q("MyDb");
        q.setSql("select * from BasicInfo where id=?", {"9"}, "BasicInfo");
        q.open();
        QVERIFY(!q.eof());
        q.close();
        QCOMPARE(db.rows(indexes), allTables ? all : reduced);
        QCOMPARE(all.size(), 25);
        QCOMPARE(content(), before);
    }

    void missingFileFailsWithoutCreating() {
        TestDb db(false);
        SqlQuery q("MyDb");
        q.setSql("select * from BasicInfo where id=?", {"1"}, "BasicInfo");
        QVERIFY_THROWS_EXCEPTION(DbError, q.open());
        QVERIFY(!QFile::exists(db.file()));
    }

    void createdFileModes() {
        QTemporaryDir dir;
        const DataLocation loc = DataLocation::resolve(dir.path());
        QVERIFY(loc.besideExecutable);
        QCOMPARE(loc.file, dir.path() + "/Data/MyDB.db");
        QCOMPARE(loc.dbq, dir.path() + "//Data/MyDB.db");
        QCOMPARE(modeOf(dir.path() + "/Data"), 0700);
        QVERIFY(schema::ensureDatabaseFile(loc.file));
        QCOMPARE(modeOf(loc.file), 0600);
        // nothing left behind under a temporary name
        QCOMPARE(QDir(dir.path() + "/Data").entryList(QDir::Files | QDir::Hidden), QStringList{"MyDB.db"});
    }

    void unwritableExecutableFolderFallsBack() {
        QTemporaryDir dir;
        QFile blocker(dir.path() + "/bin/Data");
        QDir().mkpath(dir.path() + "/bin");
        QVERIFY(blocker.open(QIODevice::WriteOnly));  // "Data" is a file: no folder can be made there
        blocker.close();
        const DataLocation loc = DataLocation::resolve(dir.path() + "/bin", dir.path() + "/user");
        QVERIFY(!loc.besideExecutable);
        QCOMPARE(loc.file, dir.path() + "/user/Data/MyDB.db");
        QCOMPARE(loc.dbq, loc.file);
        QVERIFY(schema::ensureDatabaseFile(loc.file));
        QVERIFY(QFileInfo(loc.file).isFile());
    }
};

QTEST_MAIN(TstFoundation)
#include "tst_foundation.moc"
