// The register on a real office PC: a program writes only the file it chose, the file alone
// holds every acknowledged questionnaire, its files are private, a new questionnaire never
// inherits leftover rows, and a database that cannot be used is reported at start-up.
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLineEdit>
#include <QtTest>

#include "TestDb.h"
#include "app/TFrm_Main.h"
#include "core/store/Connection.h"
#include "core/store/DataLocation.h"
#include "core/store/DataModule.h"
#include "core/store/DataSourceRegistration.h"
#include "core/store/Registry.h"
#include "core/store/Schema.h"
#include "core/store/SqlQuery.h"
#include "core/store/SurveyStore.h"
#include "gui/forms/QuestionnairePages.h"
#include "gui/forms/TFrm_New.h"
#include "gui/ui/ScriptedPrompt.h"

using namespace catalogue;

namespace {

const char* const kProgramEnv = "QUENVALE_SAFETY_PROGRAM";

int modeOf(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

// Rows of one table in a file, read without the program.
int countIn(const QString& file, const QString& table, const QString& id = QString()) {
    sqlite3* db = nullptr;
    int n = -1;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        const QByteArray sql = (id.isNull() ? QString("select count(*) from %1").arg(table)
                                            : QString("select count(*) from %1 where ID='%2'").arg(table, id))
                                   .toUtf8();
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            n = sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return n;
}

QString integrityOf(const QString& file) {
    sqlite3* db = nullptr;
    QString out = "<cannot open>";
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out;
}

void rawExec(sqlite3* db, const char* sql) {
    char* msg = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &msg) != SQLITE_OK) qFatal("%s: %s", sql, msg);
}

// One program as the desktop start-up makes it: the main window (which chooses the file and
// registers it), then the data module. It stores one questionnaire when told to on stdin.
int programMain() {
    const QString appDir = qEnvironmentVariable("QUENVALE_APPDIR");
    Registry hive(qEnvironmentVariable("QUENVALE_HIVE"));
    ScriptedPrompt prompt;
    TFrm_Main main(nullptr, appDir, &hive);
    TDM dm(nullptr, qEnvironmentVariable("QUENVALE_HIVE"), main.databaseFile());
    QTextStream out(stdout);
    out << "ready" << Qt::endl;
    QTextStream in(stdin);
    const QString id = in.readLine().trimmed();
    SqlQuery q("MyDb");
    try {
        SurveyStore(q).store(completeAnswers(id));
        out << "stored" << Qt::endl;
    } catch (const StoreFailure&) {
        out << "failed" << Qt::endl;
    }
    return 0;
}

class Program {
public:
    Program(const QString& appDir, const QString& hive) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(kProgramEnv, "1");
        env.insert("QUENVALE_APPDIR", appDir);
        env.insert("QUENVALE_HIVE", hive);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        m_process.setProcessEnvironment(env);
        m_process.start(QCoreApplication::applicationFilePath(), {});
    }
    ~Program() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    bool waitFor(const QByteArray& word) {
        while (!m_seen.contains(word)) {
            if (!m_process.waitForReadyRead(10000)) return false;
            m_seen += m_process.readAllStandardOutput();
        }
        return true;
    }
    void send(const QString& line) { m_process.write((line + "\n").toUtf8()); }

private:
    QProcess m_process;
    QByteArray m_seen;
};

void typeQuestionnaire(TFrm_New& form, const Answers& a) {
    form.PageControl1->idEdit()->setText(a.id);
    form.PageControl1->load(a);
}

}  // namespace

class TstDataSafety : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // Two copies of the program in two folders, one registry stand-in: each writes only into
    // the file it chose at its own start, whatever the other registered after it.
    void eachProgramWritesItsOwnFile() {
        QTemporaryDir root;
        const QString a = root.path() + "/A", b = root.path() + "/B", hive = root.path() + "/hive.reg";
        QDir().mkpath(a);
        QDir().mkpath(b);
        Program first(a, hive);
        QVERIFY(first.waitFor("ready"));
        Program second(b, hive);  // registers its own file after the first started
        QVERIFY(second.waitFor("ready"));
        QCOMPARE(Registry(hive).readValue(registration::dataSourceKey(), "DBQ").toString(),
                 b + "//Data/MyDB.db");
        first.send("111");
        QVERIFY(first.waitFor("stored"));
        second.send("222");
        QVERIFY(second.waitFor("stored"));
        QCOMPARE(countIn(a + "/Data/MyDB.db", "BasicInfo", "111"), 1);
        QCOMPARE(countIn(a + "/Data/MyDB.db", "BasicInfo", "222"), 0);
        QCOMPARE(countIn(b + "/Data/MyDB.db", "BasicInfo", "222"), 1);
        QCOMPARE(countIn(b + "/Data/MyDB.db", "BasicInfo", "111"), 0);
    }

    // A stand-in that cannot be written and still names an older file never sends the stores
    // there: the start-up reports the registry, and the stores go into this program's file.
    void staleRegistrationIsNotFollowed() {
        QTemporaryDir root;
        const QString older = root.path() + "/older/Data/MyDB.db";
        QDir().mkpath(root.path() + "/older/Data");
        QVERIFY(schema::ensureDatabaseFile(older));
        {
            Registry earlier(root.path() + "/hive.reg");
            registration::registerDataSource(earlier, older);
        }
        Registry hive(root.path() + "/hive.reg");
        hive.failWriteAt(0);  // from now on the stand-in cannot be written
        ScriptedPrompt prompt;
        {
            TFrm_Main main(nullptr, root.path() + "/current", &hive);
            QCOMPARE(prompt.messages().size(), 1);  // the registration's error, nothing about the file
            TDM dm(nullptr, root.path() + "/hive.reg", main.databaseFile());
            SqlQuery q("MyDb");
            SurveyStore(q).store(completeAnswers("333"));
            QCOMPARE(main.databaseFile(), root.path() + "/current/Data/MyDB.db");
        }
        connection::closeAll();
        QCOMPARE(countIn(root.path() + "/current/Data/MyDB.db", "BasicInfo", "333"), 1);
        QCOMPARE(countIn(older, "BasicInfo"), 0);
    }

    // A copy of MyDB.db taken while the program runs (a "backup" to a USB stick) holds every
    // acknowledged questionnaire, with the connection still open.
    void copyWhileRunningIsComplete() {
        TestDb db;
        SqlQuery q("MyDb");
        SurveyStore store(q);
        for (int i = 0; i < 5; ++i) store.store(completeAnswers(QString::number(500 + i)));
        const QString copy = db.dir() + "/usb-copy.db";
        QVERIFY(QFile::copy(db.file(), copy));
        QCOMPARE(integrityOf(copy), QString("ok"));
        QCOMPARE(countIn(copy, "BasicInfo"), 5);
        QCOMPARE(countIn(copy, "Special"), 5);
        QVERIFY(!QFile::exists(db.file() + "-wal"));
    }

    // A file left in WAL mode by an earlier version has its log folded in when it is opened,
    // and is switched to the rollback journal; a stray log of another database lying beside a
    // file that is not in WAL mode is never applied to it.
    void writeAheadLogs() {
        TestDb db;
        connection::closeAll();
        const QString file = db.file();
        // An earlier version's file: its last questionnaire only in the log.
        {
            sqlite3* raw = nullptr;
            QCOMPARE(sqlite3_open(QFile::encodeName(file).constData(), &raw), SQLITE_OK);
            rawExec(raw, "PRAGMA journal_mode=WAL");
            rawExec(raw, "PRAGMA wal_autocheckpoint=0");
            rawExec(raw,
                    "insert into BasicInfo (ID,name,age,level,political,duty,Position,Flag) values "
                    "('777','王五','1','1','1','1','1','1')");
            // Keep the log as a crash would: copy file and log while the connection is open.
            QVERIFY(QFile::copy(file, file + ".crash"));
            QVERIFY(QFile::copy(file + "-wal", file + ".crash-wal"));
            sqlite3_close(raw);
        }
        QFile::remove(file);
        QVERIFY(QFile::rename(file + ".crash", file));
        QVERIFY(QFile::rename(file + ".crash-wal", file + "-wal"));
        {
            SqlQuery q("MyDb");
            const LookupResult found = SurveyStore(q).read("777");
            QCOMPARE(found.status, LookupResult::Complete);
            QCOMPARE(found.answers.name, QString("王五"));
        }
        QCOMPARE(db.rows("PRAGMA journal_mode").value(0).value(0), QString("delete"));
        connection::closeAll();
        QVERIFY(!QFile::exists(file + "-wal"));

        // Another database's log, put beside this file: ignored.
        const QString other = db.dir() + "/other.db";
        sqlite3* raw = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(other).constData(), &raw), SQLITE_OK);
        rawExec(raw, "PRAGMA journal_mode=WAL");
        rawExec(raw, "PRAGMA wal_autocheckpoint=0");
        rawExec(raw, "create table BasicInfo (ID text, name text)");
        rawExec(raw, "insert into BasicInfo values ('888','外人')");
        QVERIFY(QFile::copy(other + "-wal", file + "-wal"));
        sqlite3_close(raw);
        {
            SqlQuery q("MyDb");
            QCOMPARE(SurveyStore(q).read("888").status, LookupResult::NotFound);
            QCOMPARE(QDir(db.dir() + "/Data").entryList({"MyDB.db-wal.stray-*"}).size(), 1);
            QCOMPARE(SurveyStore(q).read("777").status, LookupResult::Complete);
            SurveyStore(q).store(completeAnswers("999"));
        }
        connection::closeAll();
        QCOMPARE(integrityOf(file), QString("ok"));
        QCOMPARE(countIn(file, "BasicInfo"), 2);
    }

    // The file deleted or moved while the program runs: the next store fails with the New
    // form's own message and nothing is reported as stored.
    void fileGoneWhileRunning_data() {
        QTest::addColumn<bool>("moved");
        QTest::newRow("deleted") << false;
        QTest::newRow("moved") << true;
    }
    void fileGoneWhileRunning() {
        QFETCH(bool, moved);
        TestDb db;
        ScriptedPrompt prompt;
        TFrm_New form;
        typeQuestionnaire(form, completeAnswers("601"));
        form.Button1Click();
        QCOMPARE(prompt.texts(), QStringList{"新增记录成功！"});
        if (moved)
            QVERIFY(QFile::rename(db.file(), db.dir() + "/moved.db"));
        else
            QVERIFY(QFile::remove(db.file()));
        prompt.clear();
        typeQuestionnaire(form, completeAnswers("602"));
        form.Button1Click();
        QCOMPARE(prompt.texts(), QStringList{"新增失败！,请检查身份证号码！"});
        QCOMPARE(form.PageControl1->idEdit()->text(), QString("602"));
        if (moved) QCOMPARE(countIn(db.dir() + "/moved.db", "BasicInfo"), 1);
    }

    // A backup put back with cp while the program runs is what the program then reads and
    // writes to: the program does not undo it with what it remembered.
    void backupCopiedBackWhileRunning() {
        TestDb db;
        {
            SqlQuery q("MyDb");
            SurveyStore store(q);
            store.store(completeAnswers("701"));
            store.store(completeAnswers("702"));
            const QByteArray backup = [&] {
                QFile f(db.file());
                f.open(QIODevice::ReadOnly);
                return f.readAll();
            }();
            store.store(completeAnswers("703"));
            {
                QFile f(db.file());  // cp writes into the same file
                QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
                f.write(backup);
            }
            QCOMPARE(store.read("703").status, LookupResult::NotFound);
            QCOMPARE(store.read("702").status, LookupResult::Complete);
            store.store(completeAnswers("704"));
        }
        connection::closeAll();
        QCOMPARE(integrityOf(db.file()), QString("ok"));
        QCOMPARE(countIn(db.file(), "BasicInfo"), 3);
    }

    // Files the user owns are made private at start-up, whatever their modes were, and so are
    // the journal files SQLite makes while it writes.
    void modesTightenedAtStartUp() {
        QTemporaryDir dir;
        const mode_t old = ::umask(022);
        const QString data = dir.path() + "/Data", file = data + "/MyDB.db";
        QDir().mkpath(data);
        QVERIFY(schema::ensureDatabaseFile(file));
        ::chmod(QFile::encodeName(data).constData(), 0777);
        ::chmod(QFile::encodeName(file).constData(), 0666);
        {
            ScriptedPrompt prompt;
            Registry hive(dir.path() + "/hive.reg");
            TFrm_Main main(nullptr, dir.path(), &hive);
            QVERIFY(prompt.messages().isEmpty());
        }
        QCOMPARE(modeOf(data), 0700);
        QCOMPARE(modeOf(file), 0600);
        // A write transaction's journal, caught while it exists.
        sqlite3* raw = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(file).constData(), &raw), SQLITE_OK);
        rawExec(raw, "PRAGMA journal_mode=DELETE");
        rawExec(raw, "BEGIN; insert into BasicInfo (ID) values ('j');");
        rawExec(raw, "PRAGMA cache_spill=1");
        for (int i = 0; i < 2000; ++i)
            rawExec(raw, "insert into Special values ('j','01',hex(randomblob(200)))");
        QVERIFY(QFile::exists(file + "-journal"));
        QCOMPARE(modeOf(file + "-journal"), 0600);
        rawExec(raw, "ROLLBACK");
        sqlite3_close(raw);
        // What an earlier run left beside the file (a crashed write's journal, a log and its
        // index) is made private too, before anything reads it.
        QTemporaryDir earlier;
        const QString leftFile = earlier.path() + "/Data/MyDB.db";
        QDir().mkpath(earlier.path() + "/Data");
        QVERIFY(schema::ensureDatabaseFile(leftFile));
        for (const char* side : {"-journal", "-wal", "-shm"}) {
            QFile f(leftFile + side);
            QVERIFY(f.open(QIODevice::WriteOnly));
            ::chmod(QFile::encodeName(f.fileName()).constData(), 0644);
        }
        DataLocation::resolve(earlier.path());
        for (const char* side : {"-journal", "-wal", "-shm"}) QCOMPARE(modeOf(leftFile + side), 0600);
        ::umask(old);
    }

    // A database path that is a symbolic link, or a folder or file owned by another user, is
    // refused with a message naming it; nothing is written through it or switched silently.
    void foreignOrLinkedFilesRefused_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("symbolic link") << "link";
        QTest::newRow("folder of another user") << "folder";
        QTest::newRow("file of another user") << "file";
    }
    void foreignOrLinkedFilesRefused() {
        QFETCH(QString, kind);
        if (kind != "link" && ::geteuid() != 0) QSKIP("needs root to give a file to another user");
        QTemporaryDir dir;
        const QString data = dir.path() + "/Data", file = data + "/MyDB.db";
        const QString target = dir.path() + "/someone-elses.db";
        QDir().mkpath(data);
        QVERIFY(schema::ensureDatabaseFile(target));
        if (kind == "link") {
            QVERIFY(QFile::link(target, file));
        } else if (kind == "folder") {
            ::chmod(QFile::encodeName(data).constData(), 0777);
            QCOMPARE(::chown(QFile::encodeName(data).constData(), 65534, 65534), 0);
        } else {
            QVERIFY(QFile::copy(target, file));
            QCOMPARE(::chown(QFile::encodeName(file).constData(), 65534, 65534), 0);
        }
        const QByteArray before = [&] {
            QFile f(kind == "file" ? file : target);
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        ScriptedPrompt prompt;
        Registry hive(dir.path() + "/hive.reg");
        TFrm_Main main(nullptr, dir.path(), &hive);
        QCOMPARE(main.databaseFile(), file);  // never another file instead
        QCOMPARE(prompt.messages().size(), 1);
        QCOMPARE(prompt.messages()[0].kind, ScriptedPrompt::Kind::Fail);
        const QString named = kind == "folder" ? data : file;
        QVERIFY2(prompt.messages()[0].text.contains(named), qPrintable(prompt.messages()[0].text));
        {
            TDM dm(nullptr, dir.path() + "/hive.reg", main.databaseFile());
            SqlQuery q("MyDb");
            QVERIFY_THROWS_EXCEPTION(StoreFailure, SurveyStore(q).store(completeAnswers("444")));
        }
        connection::closeAll();
        QFile f(kind == "file" ? file : target);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
        if (kind == "folder") QCOMPARE(QDir(data).entryList(QDir::Files | QDir::Hidden), QStringList());
        if (kind == "link") QCOMPARE(modeOf(target), 0600);
    }

    // Answer rows of a number without its BasicInfo row (left by the old program's half
    // deletes) are not taken into a new questionnaire of that number; an existing
    // questionnaire is never touched by a refused store.
    void newQuestionnaireStartsClean() {
        TestDb db;
        db.exec("insert into Special values ('123','01',NULL), ('123','05',NULL), ('123','99','旧的')");
        db.exec("insert into Time1 values ('123','6',NULL)");
        Answers a = completeAnswers("123");
        a[Special].ticked.fill(false);
        a[Special].ticked[1] = a[Special].ticked[2] = true;
        ScriptedPrompt prompt;
        TFrm_New form;
        typeQuestionnaire(form, a);
        form.Button1Click();
        QCOMPARE(prompt.texts(), QStringList{"新增记录成功！"});
        QCOMPARE(db.rows("select Code from Special where ID='123' order by Code"),
                 (QList<QStringList>{{"02"}, {"03"}}));
        QCOMPARE(db.rows("select Code from Time1 where ID='123'"), (QList<QStringList>{{"1"}}));
        SqlQuery q("MyDb");
        QCOMPARE(SurveyStore(q).read("123").answers, a);

        const QString before = db.dump();
        prompt.clear();
        typeQuestionnaire(form, completeAnswers("123"));
        form.Button1Click();
        QCOMPARE(prompt.texts(), QStringList{"新增失败！,请检查身份证号码！"});
        QCOMPARE(db.dump(), before);

        // A leftover in the last answer table alone is found as well.
        db.exec("insert into Channel values ('456','04',NULL)");
        prompt.clear();
        typeQuestionnaire(form, completeAnswers("456"));
        form.Button1Click();
        QCOMPARE(prompt.texts(), QStringList{"新增记录成功！"});
        QCOMPARE(SurveyStore(q).read("456").answers, completeAnswers("456"));
    }

    // Start-up says once, naming the path, when no folder for the database can be made; a
    // registry stand-in that cannot be written does not stop the register from working.
    void startUpMessages() {
        QTemporaryDir dir;
        QFile blocker(dir.path() + "/Data");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        QFile userBlocker(dir.path() + "/user/Data");
        QDir().mkpath(dir.path() + "/user");
        QVERIFY(userBlocker.open(QIODevice::WriteOnly));
        const DataLocation nowhere = DataLocation::resolve(dir.path(), dir.path() + "/user");
        QVERIFY2(nowhere.problem.contains(dir.path() + "/user/Data"), qPrintable(nowhere.problem));

        QTemporaryDir app;
        QDir().mkpath(app.path() + "/hive-is-a-folder");
        Registry hive(app.path() + "/hive-is-a-folder");
        ScriptedPrompt prompt;
        TFrm_Main main(nullptr, app.path(), &hive);
        QVERIFY(prompt.messages().isEmpty());
        TDM dm(nullptr, app.path() + "/hive-is-a-folder", main.databaseFile());
        TFrm_New form;
        typeQuestionnaire(form, completeAnswers("321"));
        form.Button1Click();
        QCOMPARE(prompt.texts(), QStringList{"新增记录成功！"});
    }

    // An installed copy (bin/ with share/quenvale/ beside it) keeps its data per user even
    // when the program's folder could be written.
    void installedCopyKeepsDataPerUser() {
        QTemporaryDir prefix;
        QDir().mkpath(prefix.path() + "/bin");
        QDir().mkpath(prefix.path() + "/share/quenvale");
        const DataLocation loc = DataLocation::resolve(prefix.path() + "/bin", prefix.path() + "/home-data");
        QVERIFY(!loc.besideExecutable);
        QCOMPARE(loc.file, prefix.path() + "/home-data/Data/MyDB.db");
        QVERIFY(!QFileInfo::exists(prefix.path() + "/bin/Data"));
        QCOMPARE(modeOf(prefix.path() + "/home-data/Data"), 0700);
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet(kProgramEnv)) {
        QApplication app(argc, argv);
        return programMain();
    }
    QApplication app(argc, argv);
    TstDataSafety t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_datasafety.moc"
