// Backups, their rotation, and restore: consistent copies of a register being written to,
// exactly the right copies kept across a year, and every unfit file refused with its own reason.
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/file.h>

#include <QSqlError>
#include <QtTest>
#include <atomic>

#include "TestDb.h"
#include "app/DailyBackup.h"
#include "app/TFrm_Main.h"
#include "core/backup/Restore.h"
#include "core/backup/Snapshots.h"
#include "core/exchange/RegisterMerge.h"
#include "core/store/Connection.h"
#include "core/store/Encoding.h"
#include "core/store/RegisterLock.h"
#include "core/store/Registry.h"
#include "core/store/Schema.h"
#include "core/store/SqlQuery.h"
#include "core/store/Statements.h"
#include "core/store/SurveyStore.h"
#include "gui/ui/StatusPanels.h"

using namespace catalogue;

namespace {

// A questionnaire whose rows depend on its number: a copy is whole when every questionnaire
// in it has exactly its own rows.
Answers numbered(int n) {
    Answers a = completeAnswers(QStringLiteral("3201%1").arg(n, 14, 10, QLatin1Char('0')));
    a.name = QStringLiteral("居民%1").arg(n);
    for (GroupId g : answerTables()) {
        auto& t = a[g].ticked;
        t.fill(false);
        for (int b = 0; b < t.size(); ++b) t[b] = (n + b + int(g)) % 3 == 0;
        t[n % t.size()] = true;
        if (group(g).hasOther() && t.last()) a[g].otherText = QStringLiteral("其它%1").arg(n);
    }
    return a;
}

int rowCount(const Answers& a) { return int(encoding::encode(a).rows.size()); }

int mode(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

// Rows of a database file, through a separate connection.
QList<QStringList> rowsOf(const QString& file, const QString& sql) {
    const QString name = QStringLiteral("peek-") + QUuid::createUuid().toString(QUuid::Id128);
    QList<QStringList> out;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open()) return out;
        QSqlQuery q(db);
        q.exec(sql);
        while (q.next()) {
            QStringList r;
            for (int i = 0; i < q.record().count(); ++i) r << q.value(i).toString();
            out << r;
        }
    }
    QSqlDatabase::removeDatabase(name);
    return out;
}

// The files in a folder, leaving out the engine's own side files of the open register and the
// lock that a running program holds on it.
QStringList filesIn(const QString& folder) {
    QStringList out;
    for (const QString& f : QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name))
        if (!f.endsWith("-wal") && !f.endsWith("-shm") && f != ".MyDB.db.lock") out << f;
    return out;
}

// A register file at `path` (the rotation removes only registers): a link to one empty
// register, or a file of its own.
void placeCopy(const QString& path, bool own = false) {
    static QTemporaryDir dir;
    static const QString empty = [] {
        const QString f = dir.filePath("empty.db");
        schema::ensureDatabaseFile(f);
        return f;
    }();
    if (own)
        QVERIFY(QFile::copy(empty, path));
    else
        QVERIFY(::link(QFile::encodeName(empty).constData(), QFile::encodeName(path).constData()) == 0);
}

// Another program's write in progress: an exclusive lock on the file until release().
class WriterLock {
public:
    explicit WriterLock(const QString& file) {
        if (file.isEmpty()) return;
        sqlite3_open_v2(QFile::encodeName(file).constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
        if (sqlite3_exec(m_db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK)
            qFatal("cannot lock %s", qPrintable(file));
    }
    ~WriterLock() { release(); }
    void release() const {
        if (m_db) sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }

private:
    mutable sqlite3* m_db = nullptr;
};

void touch(const QString& path) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
}

}  // namespace

class TstBackup : public QObject {
    Q_OBJECT
private slots:
    void init() { m_db = std::make_unique<TestDb>(); }
    void cleanup() { m_db.reset(); }

    void backupWhileAnotherConnectionWrites();
    void backupFileAndFolderModes();
    void rotationAcrossAYear();
    void dailyDueOncePerDay();
    void leftoversOfKilledWorkAreSwept();
    void dailyBackupAfterStart();
    void failedDailyBackupIsReportedOnce();
    void restoreRefuses_data();
    void restoreRefuses();
    void restoreBringsBackDeleted();
    void restoreTakesRowsOnly_data();
    void restoreTakesRowsOnly();
    void busySourceIsWaitedFor();
    void restoreRefusedWhileAnotherProgramHoldsTheRegister();
    void oldestBackupRestoredOrMerged_data();
    void oldestBackupRestoredOrMerged();
    void copyBeforeRestoreKeptAMonth();
    void rotationVictims_data();
    void rotationVictims();
    void rotationRemovesOnlyItsOwnCopies();
    void twoBackupsInOneSecond();
    void linkedBackupFolderRefused();

private:
    /// Runs statements on a database file through a connection of its own.
    static void sqlite(const QString& file, const QStringList& statements);
    std::unique_ptr<TestDb> m_db;
};

void TstBackup::backupWhileAnotherConnectionWrites() {
    // The writer: its own connection in its own thread, storing and replacing in a loop.
    std::atomic<bool> stop{false};
    std::atomic<int> stored{0};
    const QString file = m_db->file();
    QThread* writer = QThread::create([&] {
        connection::define({QStringLiteral("Writer"), QStringLiteral("Velmora"), false, {}, {}, file});
        {
            SqlQuery q(QStringLiteral("Writer"));
            SurveyStore store(q);
            for (int n = 0; !stop; ++n) {
                try {
                    store.store(numbered(n));
                    if (n % 2) store.replace(numbered(n));
                    ++stored;
                } catch (const StoreFailure&) {
                    // a busy moment: the next one goes in
                }
            }
        }
        QSqlDatabase::database(QStringLiteral("Writer"), false).close();
        QSqlDatabase::removeDatabase(QStringLiteral("Writer"));
    });
    writer->start();
    while (stored < 20) QThread::msleep(5);

    backup::Snapshots snapshots(file);
    QTemporaryDir out;
    QList<int> counts;
    for (int i = 0; i < 12; ++i) {
        const QString target = out.filePath(QStringLiteral("copy%1.db").arg(i));
        snapshots.backupNow({}, target);
        QVERIFY(backup::questionnaireCount(target) >= 0);
        QString detail;
        QVERIFY2(sqlitefile::integrityOk(target, &detail), qPrintable(detail));
        // Whole questionnaires only: each has exactly its own rows, never some of them.
        QHash<QString, int> rowsById;
        for (int t = 1; t < statements::kTableCount; ++t)
            for (const QStringList& r : rowsOf(target, "select ID from " + statements::tableName(t)))
                ++rowsById[r[0]];
        const auto basic = rowsOf(target, QStringLiteral("select ID, name from BasicInfo"));
        for (const QStringList& r : basic) {
            const int n = r[1].mid(2).toInt();
            QCOMPARE(r[0], numbered(n).id);
            QCOMPARE(rowsById.value(r[0]), rowCount(numbered(n)));
        }
        QCOMPARE(rowsById.size(), basic.size());
        counts << int(basic.size());
        QThread::msleep(20);
    }
    stop = true;
    writer->wait();
    delete writer;
    QVERIFY2(counts.last() > counts.first(), "the register grew while it was copied");
    qInfo("12 consistent copies while %d questionnaires were stored (copies held %d to %d)", int(stored),
          counts.first(), counts.last());
}

void TstBackup::backupFileAndFolderModes() {
    backup::Snapshots snapshots(m_db->file(), [] { return QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)); });
    const QString made = snapshots.backupNow();
    QCOMPARE(QFileInfo(made).fileName(), QStringLiteral("MyDB-20260304-050607.db"));
    QCOMPARE(QFileInfo(made).absolutePath(), QFileInfo(m_db->file()).absolutePath() + "/Backup");
    QCOMPARE(mode(made), 0600);
    QCOMPARE(mode(snapshots.folder()), 0700);
    // A second backup in the same second gets a name of its own.
    const QString second = snapshots.backupNow();
    QVERIFY(second != made);
    QVERIFY(backup::stampOf(QFileInfo(second).fileName()).isValid());
    // Nothing half-written is left beside them.
    QCOMPARE(filesIn(snapshots.folder()).size(), 2);
}

void TstBackup::rotationAcrossAYear() {
    // A backup at 08:30 every day but Sunday, and a second one at 17:00 on each 15th.
    QDateTime now;
    backup::Snapshots snapshots(m_db->file(), [&] { return now; });
    QDir().mkpath(snapshots.folder());
    auto names = [&] {
        QStringList n = QDir(snapshots.folder()).entryList(QDir::Files, QDir::Name);
        return n;
    };
    for (QDate d(2026, 1, 1); d <= QDate(2027, 1, 10); d = d.addDays(1)) {
        if (d.dayOfWeek() == Qt::Sunday) continue;
        QList<QTime> times{QTime(8, 30)};
        if (d.day() == 15) times << QTime(17, 0);
        for (const QTime& t : times) {
            now = QDateTime(d, t);
            placeCopy(snapshots.defaultTarget());
            snapshots.rotate();
        }
        if (d == QDate(2026, 6, 15)) {
            // Both of today's copies stay until tomorrow.
            QVERIFY(names().contains("MyDB-20260615-083000.db"));
            QVERIFY(names().contains("MyDB-20260615-170000.db"));
        }
        if (d == QDate(2026, 6, 16)) {
            QVERIFY(!names().contains("MyDB-20260615-083000.db"));
            QVERIFY(names().contains("MyDB-20260615-170000.db"));
        }
        QVERIFY2(names().size() <= 7 + 12 + 1, qPrintable(d.toString()));
    }
    // The seven newest days with a copy (Jan 9 back to Jan 2: the 3rd and the 10th are Sundays),
    // and the newest copy of each month from February 2026 (January 2027's is the 9th).
    const QStringList expected = {
        "MyDB-20260228-083000.db", "MyDB-20260331-083000.db", "MyDB-20260430-083000.db",
        "MyDB-20260530-083000.db", "MyDB-20260630-083000.db", "MyDB-20260731-083000.db",
        "MyDB-20260831-083000.db", "MyDB-20260930-083000.db", "MyDB-20261031-083000.db",
        "MyDB-20261130-083000.db", "MyDB-20261231-083000.db", "MyDB-20270102-083000.db",
        "MyDB-20270104-083000.db", "MyDB-20270105-083000.db", "MyDB-20270106-083000.db",
        "MyDB-20270107-083000.db", "MyDB-20270108-083000.db", "MyDB-20270109-083000.db"};
    QCOMPARE(names(), expected);
    // Other files in the folder are never touched.
    touch(snapshots.folder() + "/notes.txt");
    snapshots.rotate();
    QVERIFY(names().contains("notes.txt"));
}

void TstBackup::dailyDueOncePerDay() {
    QDateTime now(QDate(2026, 5, 1), QTime(9, 0));
    backup::Snapshots snapshots(m_db->file(), [&] { return now; });
    QVERIFY(snapshots.dailyDue());
    snapshots.backupNow();
    QVERIFY(!snapshots.dailyDue());
    now = now.addSecs(8 * 3600);
    QVERIFY(!snapshots.dailyDue());
    now = now.addDays(1);
    QVERIFY(snapshots.dailyDue());
}

void TstBackup::leftoversOfKilledWorkAreSwept() {
    backup::Snapshots snapshots(m_db->file());
    const QString made = snapshots.backupNow();
    const QString data = QFileInfo(m_db->file()).absolutePath();
    const QStringList old = {data + "/.merge-0a1b.db", data + "/.merge-0a1b.db-journal",
                             data + "/.MyDB.db.restore-0a1b",
                             snapshots.folder() + "/.MyDB-20260101-000000.db.part-0a1b"};
    for (const QString& f : old) {
        touch(f);
        QFile file(f);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(
            file.setFileTime(QDateTime::currentDateTime().addSecs(-7200), QFileDevice::FileModificationTime));
    }
    const QString fresh = data + "/.merge-9f9f.db";  // a merge running now in another window
    touch(fresh);
    QStringList removed = snapshots.removeLeftovers();
    removed.sort();
    QStringList expected = old;
    expected.sort();
    QCOMPARE(removed, expected);
    QVERIFY(QFileInfo::exists(fresh));
    QVERIFY(QFileInfo::exists(made));
    QVERIFY(QFileInfo::exists(m_db->file()));
}

void TstBackup::dailyBackupAfterStart() {
    Registry registry(m_db->hive());
    const QString folder = QFileInfo(m_db->file()).absolutePath() + "/Backup";
    for (int start = 0; start < 2; ++start) {
        TFrm_Main main(nullptr, m_db->dir(), &registry);
        main.show();
        DailyBackup* daily = DailyBackup::start(&main);
        QVERIFY(daily);
        QTRY_VERIFY(daily->finished());
        // Made at the first start of the day only.
        QCOMPARE(filesIn(folder).size(), 1);
        if (start == 0)
            QCOMPARE(main.statusPanels()->panelText(1),
                     QStringLiteral("今天的数据已自动备份：%1").arg(filesIn(folder).first()));
        else
            QCOMPARE(main.statusPanels()->panelText(1), QString());
    }
}

void TstBackup::failedDailyBackupIsReportedOnce() {
    // A file where the backup folder belongs: the backup cannot be made.
    touch(QFileInfo(m_db->file()).absolutePath() + "/Backup");
    Registry registry(m_db->hive());
    TFrm_Main main(nullptr, m_db->dir(), &registry);
    main.show();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("mkpath failed"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("自动备份失败"));
    DailyBackup* daily = DailyBackup::start(&main);
    QTRY_VERIFY(daily->finished());
    QCOMPARE(main.statusPanels()->panelText(1),
             QStringLiteral("自动备份失败：无法建立备份文件夹 %1。下次启动时再试。")
                 .arg(QFileInfo(m_db->file()).absolutePath() + "/Backup"));
    // The window goes on working; the register is untouched.
    QVERIFY(main.isVisible());
    QCOMPARE(m_db->count("BasicInfo"), 0);
}

void TstBackup::restoreRefuses_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    const QString tail = backup::kNotRestored;
    QTest::newRow("empty file") << "empty"
                                << "所选的文件是空文件，里面没有登记册。" + tail;
    QTest::newRow("another program's file") << "text"
                                            << "所选的文件不是数据库文件，不是本系统的登记册。" + tail;
    QTest::newRow("another program's database")
        << "otherdb"
        << "所选的文件是其他程序的数据库，不含登记册的数据表。" + tail;
    QTest::newRow("damaged") << "damaged"
                             << "所选的数据库文件已损坏（完整性检查没有通过）。" + tail;
    // Only a check of every index entry against its row finds this one (quick_check passes it).
    QTest::newRow("index that disagrees with its table") << "badindex"
                             << "所选的数据库文件已损坏（完整性检查没有通过）。" + tail;
    QTest::newRow("missing table") << "notable"
                                   << "所选的文件缺少数据表 Channel，不是完整的登记册。" + tail;
    QTest::newRow("missing column") << "nocolumn"
                                    << "所选文件的数据表 Love 缺少列 Name，不是完整的登记册。" + tail;
    QTest::newRow("missing file") << "missing"
                                  << "找不到所选的文件。" + tail;
    // Another program is writing it: waited for, then said so, never called damaged.
    QTest::newRow("locked by a writer") << "busy" << backup::busyMessage() + tail;
    // Rows a module or an expression computes are no register's rows, and would run code to read.
    QTest::newRow("virtual table") << "virtual"
                                   << "所选文件的数据表 Love 不是普通的数据表，不是本系统的登记册。" + tail;
    QTest::newRow("text in UTF-16") << "utf16"
                                    << "所选的数据库文件以 UTF-16 保存文字，不是本系统的登记册。" + tail;
    QTest::newRow("computed column")
        << "computed"
        << "所选文件的数据表 Love 的列 Name 是算出来的，不是登记的数据，不是本系统的登记册。" + tail;
}

void TstBackup::restoreRefuses() {
    QFETCH(QString, kind);
    QFETCH(QString, message);
    {
        SqlQuery q(QStringLiteral("MyDb"));
        SurveyStore(q).store(numbered(1));
    }
    const QString before = m_db->dump();
    QTemporaryDir dir;
    const QString file = dir.filePath("offered.db");
    auto sqlite = [&](const QStringList& statements) {
        const QString name = QStringLiteral("make-offered");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(file);
            QVERIFY(db.open());
            QSqlQuery q(db);
            for (const QString& s : statements) QVERIFY2(q.exec(s), qPrintable(s));
        }
        QSqlDatabase::removeDatabase(name);
    };
    if (kind == "empty") {
        touch(file);
    } else if (kind == "text") {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("ID,name\n110101199001011234,张三\n");
    } else if (kind == "utf16") {
        sqlite(QStringList{"PRAGMA encoding='UTF-16le'"} + schema::createStatements());
    } else if (kind == "otherdb") {
        sqlite({"create table Customers (id integer, name text)"});
    } else if (kind == "damaged" || kind == "notable" || kind == "nocolumn" || kind == "badindex" ||
               kind == "busy" || kind == "virtual" || kind == "computed") {
        backup::Snapshots(m_db->file()).backupNow({}, file);
        if (kind == "virtual") sqlite({"drop table Love", "create virtual table Love using fts5(ID, Code, Name)"});
        if (kind == "computed")
            sqlite({"drop table Love", "create table Love (ID text, Code text, Name text as (ID || Code))"});
        if (kind == "notable") sqlite({"drop table Channel"});
        if (kind == "badindex")
            sqlite({"PRAGMA writable_schema=ON",
                    "update sqlite_master set sql='CREATE INDEX IX_Love_Code ON Love (Name)' where name='IX_Love_Code'"});
        if (kind == "nocolumn") sqlite({"drop table Love", "create table Love (ID text, Code text)"});
        if (kind == "damaged") {
            // Fill the file with questionnaires, then scribble over pages in its middle.
            sqlite({"create table Filler (x text)",
                    "insert into Filler select hex(randomblob(400)) from (with recursive c(i) as (select 1 "
                    "union all "
                    "select i+1 from c where i < 400) select i from c)"});
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadWrite));
            for (qint64 at = 8192; at < f.size() - 4096; at += 16384) {
                f.seek(at);
                f.write(QByteArray(3000, '\x5a'));
            }
        }
    }
    // A writer in the middle of its work holds the file for longer than the wait.
    const WriterLock writer(kind == "busy" ? file : QString());
    backup::Snapshots snapshots(m_db->file());
    const backup::Inspection check = backup::inspect(file);
    QVERIFY(!check.ok);
    try {
        backup::restore(file, snapshots);
        QFAIL("restored an unfit file");
    } catch (const sqlitefile::FileError& e) {
        QCOMPARE(e.message, message);
    }
    QCOMPARE(m_db->dump(), before);
    QVERIFY2(!QFileInfo::exists(snapshots.folder()) || QDir(snapshots.folder()).isEmpty(),
             "a refused restore makes no backup");
    QCOMPARE(filesIn(QFileInfo(m_db->file()).absolutePath()), QStringList{"MyDB.db"});
}

void TstBackup::restoreBringsBackDeleted() {
    QDateTime now(QDate(2026, 9, 1), QTime(8, 0));
    backup::Snapshots snapshots(m_db->file(), [&] { return now; });
    auto store = [](const Answers& a) {
        SqlQuery q(QStringLiteral("MyDb"));
        SurveyStore(q).store(a);
    };
    for (int n = 1; n <= 3; ++n) store(numbered(n));
    const QString yesterday = snapshots.backupNow();
    const QString kept = m_db->dump();

    // A day's work, then the wrong questionnaires deleted.
    now = now.addDays(1);
    store(numbered(4));
    {
        SqlQuery q(QStringLiteral("MyDb"));
        SurveyStore s(q);
        s.remove(numbered(1).id);
        s.remove(numbered(2).id);
        QVERIFY(s.read(numbered(2).id).status == LookupResult::NotFound);
    }

    const backup::Inspection check = backup::inspect(yesterday);
    QVERIFY(check.ok);
    QCOMPARE(check.questionnaires, 3);
    QCOMPARE(check.oldestId, numbered(1).id);
    QCOMPARE(check.newestId, numbered(3).id);
    QVERIFY(check.summary(yesterday).contains(numbered(3).id));

    const QString previous = backup::restore(yesterday, snapshots);
    QCOMPARE(m_db->dump(), kept);
    // The connection opens again by itself and finds them.
    {
        SqlQuery q(QStringLiteral("MyDb"));
        const LookupResult r = SurveyStore(q).read(numbered(2).id);
        QCOMPARE(int(r.status), int(LookupResult::Complete));
        QCOMPARE(r.answers, numbered(2));
    }
    // What was there before the restore is itself kept.
    QVERIFY(QFileInfo(previous).fileName().startsWith("MyDB-20260902-"));
    QCOMPARE(backup::questionnaireCount(previous), 2);
    QCOMPARE(mode(m_db->file()), 0600);
    QCOMPARE(filesIn(QFileInfo(m_db->file()).absolutePath()), QStringList{"MyDB.db"});
}

void TstBackup::sqlite(const QString& file, const QStringList& statements) {
    const QString name = QStringLiteral("make-") + QUuid::createUuid().toString(QUuid::Id128);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const QString& st : statements) QVERIFY2(q.exec(st), qPrintable(st + ": " + q.lastError().text()));
    }
    QSqlDatabase::removeDatabase(name);
}

void TstBackup::restoreTakesRowsOnly_data() {
    QTest::addColumn<QStringList>("added");     // what the other office's file also holds
    QTest::addColumn<QString>("leftBehind");    // what the summary names
    // Each of these came with the file into the register and every later backup.
    QTest::newRow("insert swallowed") << QStringList{
        "create trigger Swallow before insert on BasicInfo when new.ID like '3%' begin select raise(ignore); end"}
                                      << "触发器 Swallow";
    QTest::newRow("one delete empties the register")
        << QStringList{"create trigger Empty after delete on BasicInfo begin delete from BasicInfo; "
                       "delete from Special; end"}
        << "触发器 Empty";
    QTest::newRow("hidden copy of every questionnaire")
        << QStringList{"create table Spy (ID text, name text, Phone text)",
                       "create trigger Copy after insert on BasicInfo begin insert into Spy values "
                       "(new.ID, new.name, new.Phone); end"}
        << "触发器 Copy；数据表 Spy";
    QTest::newRow("view and table") << QStringList{"create view Everyone as select ID, name from BasicInfo",
                                                   "create table Notes (x text)", "insert into Notes values ('x')"}
                                    << "视图 Everyone；数据表 Notes";
    // Declared INTEGER: SQLite would turn every later phone into a number without its 0.
    QTest::newRow("declared types") << QStringList{
        "PRAGMA writable_schema=ON",
        "update sqlite_master set sql=replace(sql, 'Phone TEXT', 'Phone INTEGER') where name='BasicInfo'"}
                                    << "";
}

void TstBackup::restoreTakesRowsOnly() {
    QFETCH(QStringList, added);
    QFETCH(QString, leftBehind);
    {
        SqlQuery q(QStringLiteral("MyDb"));
        SurveyStore store(q);
        Answers first = numbered(1);
        first.phone = QStringLiteral("01012345678");
        store.store(first);
        store.store(numbered(2));
    }
    const QString clean = m_db->dump();
    QTemporaryDir dir;
    const QString offered = dir.filePath("other-office.db");
    backup::Snapshots snapshots(m_db->file());
    snapshots.backupNow({}, offered);
    sqlite(offered, added);
    if (QTest::currentDataTag() == QByteArray("declared types")) {
        // Stored after the declaration: SQLite made this one an integer, and that is what is there.
        sqlite(offered, {"insert into BasicInfo (ID, name, Phone, age, level, political, duty, Position, Flag) "
                         "values ('320100000000000099', '居民99', '02098765432', '1', '1', '1', '1', '1', '1')"});
        QCOMPARE(rowsOf(offered, "select typeof(Phone) from BasicInfo where ID='320100000000000099'"),
                 QList<QStringList>{{"integer"}});
    }

    const backup::Inspection check = backup::inspect(offered);
    QVERIFY(check.ok);
    if (leftBehind.isEmpty())
        QCOMPARE(check.leftBehind(), QString());
    else
        QCOMPARE(check.leftBehind(), QStringLiteral("所选文件中还有不属于登记册的内容，不会带入登记册：%1。").arg(leftBehind));
    QVERIFY(check.summary(offered).contains(check.leftBehind()));
    backup::restore(offered, snapshots);

    // Exactly what a new register holds, and the rows.
    QTemporaryDir fresh;
    QVERIFY(schema::ensureDatabaseFile(fresh.filePath("new.db")));
    const QString objects = "select type, name, tbl_name, sql from sqlite_master order by name";
    QCOMPARE(rowsOf(m_db->file(), objects), rowsOf(fresh.filePath("new.db"), objects));
    if (QTest::currentDataTag() == QByteArray("declared types")) {
        QCOMPARE(rowsOf(m_db->file(), "select ID, Phone, typeof(Phone) from BasicInfo order by rowid"),
                 (QList<QStringList>{{numbered(1).id, "01012345678", "text"},
                                     {numbered(2).id, numbered(2).phone, "text"},
                                     {"320100000000000099", "2098765432", "text"}}));
    } else {
        QCOMPARE(m_db->dump(), clean);
    }

    // The forms' statements do what they say: a new questionnaire is stored whole, with its 0.
    Answers third = numbered(3);
    third.phone = QStringLiteral("03112345678");
    {
        SqlQuery q(QStringLiteral("MyDb"));
        SurveyStore store(q);
        store.store(third);
        QCOMPARE(store.read(third.id).answers, third);
        store.remove(numbered(2).id);
        QCOMPARE(store.read(numbered(1).id).status, LookupResult::Complete);
    }
    QCOMPARE(m_db->count("BasicInfo", third.id), 1);
    QCOMPARE(m_db->count("Special", numbered(1).id), rowsOf(offered, "select count(*) from Special where ID='" +
                                                                          numbered(1).id + "'")[0][0].toInt());
    QCOMPARE(rowsOf(m_db->file(), "select Phone, typeof(Phone) from BasicInfo where ID='" + third.id + "'"),
             (QList<QStringList>{{"03112345678", "text"}}));
    // Nothing foreign in the backups made from now on either.
    const QString later = snapshots.backupNow();
    QCOMPARE(rowsOf(later, objects), rowsOf(fresh.filePath("new.db"), objects));
}

void TstBackup::busySourceIsWaitedFor() {
    {
        SqlQuery q(QStringLiteral("MyDb"));
        SurveyStore(q).store(numbered(1));
    }
    QTemporaryDir dir;
    const QString offered = dir.filePath("being-written.db");
    backup::Snapshots snapshots(m_db->file());
    snapshots.backupNow({}, offered);
    {
        SqlQuery q(QStringLiteral("MyDb"));
        SurveyStore(q).remove(numbered(1).id);
    }
    // The other program finishes its write a moment after the restore begins.
    WriterLock writer(offered);
    QThread* finisher = QThread::create([&] {
        QThread::msleep(800);
        writer.release();
    });
    finisher->start();
    backup::restore(offered, snapshots);
    finisher->wait();
    delete finisher;
    QCOMPARE(m_db->count("BasicInfo", numbered(1).id), 1);
}

void TstBackup::restoreRefusedWhileAnotherProgramHoldsTheRegister() {
    {
        SqlQuery q(QStringLiteral("MyDb"));
        SurveyStore(q).store(numbered(1));
    }
    QTemporaryDir dir;
    const QString offered = dir.filePath("offered.db");
    backup::Snapshots snapshots(m_db->file());
    snapshots.backupNow({}, offered);
    {
        SqlQuery q(QStringLiteral("MyDb"));
        SurveyStore(q).store(numbered(2));
    }
    const QString before = m_db->dump();
    // Another program with the register open holds its lock as every program does.
    const int other = ::open(QFile::encodeName(RegisterLock::lockFile(m_db->file())).constData(), O_RDWR);
    QVERIFY(other >= 0);
    QCOMPARE(::flock(other, LOCK_SH | LOCK_NB), 0);
    try {
        backup::restore(offered, snapshots);
        QFAIL("restored under another program");
    } catch (const sqlitefile::FileError& e) {
        QCOMPARE(e.message, backup::registerInUseMessage() + backup::kNotRestored);
    }
    QCOMPARE(m_db->dump(), before);
    QVERIFY(snapshots.list().isEmpty());  // not even the copy before a restore
    // The other program has ended (or was killed: the kernel lets go of its lock the same way).
    ::close(other);
    // A program that takes no lock of ours (the sqlite3 shell) is in the middle of a write: its
    // journal lies beside the register. Refused, and its write is not lost.
    {
        sqlite3* writer = nullptr;
        QCOMPARE(sqlite3_open_v2(QFile::encodeName(m_db->file()).constData(), &writer, SQLITE_OPEN_READWRITE,
                                 nullptr),
                 SQLITE_OK);
        QCOMPARE(sqlite3_exec(writer, "BEGIN IMMEDIATE; insert into BasicInfo (ID) values ('shell')", nullptr,
                              nullptr, nullptr),
                 SQLITE_OK);
        QVERIFY(QFileInfo(m_db->file() + "-journal").size() > 0);
        try {
            backup::restore(offered, snapshots);
            QFAIL("restored under another program's write");
        } catch (const sqlitefile::FileError& e) {
            QCOMPARE(e.message, QStringLiteral("登记册正被其他程序使用，") + backup::kNotRestored);
        }
        QCOMPARE(sqlite3_exec(writer, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close_v2(writer);
    }
    QCOMPARE(m_db->count("BasicInfo", "shell"), 1);
    // The same with one that writes through a write-ahead log: what it wrote is in the log.
    {
        sqlite3* writer = nullptr;
        QCOMPARE(sqlite3_open_v2(QFile::encodeName(m_db->file()).constData(), &writer, SQLITE_OPEN_READWRITE,
                                 nullptr),
                 SQLITE_OK);
        QCOMPARE(sqlite3_exec(writer,
                              "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0; "
                              "insert into BasicInfo (ID) values ('shell log')",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        QVERIFY(QFileInfo(m_db->file() + "-wal").size() > 0);
        try {
            backup::restore(offered, snapshots);
            QFAIL("restored under another program's log");
        } catch (const sqlitefile::FileError& e) {
            QCOMPARE(e.message, QStringLiteral("登记册正被其他程序使用，") + backup::kNotRestored);
        }
        sqlite3_close_v2(writer);
    }
    QCOMPARE(m_db->count("BasicInfo", "shell log"), 1);
    backup::restore(offered, snapshots);
    QCOMPARE(m_db->count("BasicInfo"), 1);
    // This program still holds its register: another restore elsewhere is refused while it does.
    const int again = ::open(QFile::encodeName(RegisterLock::lockFile(m_db->file())).constData(), O_RDWR);
    QCOMPARE(::flock(again, LOCK_EX | LOCK_NB), -1);
    ::close(again);
}

void TstBackup::oldestBackupRestoredOrMerged_data() {
    QTest::addColumn<bool>("merge");
    QTest::newRow("restore") << false;
    QTest::newRow("merge") << true;
}

void TstBackup::oldestBackupRestoredOrMerged() {
    QFETCH(bool, merge);
    // A week of daily backups, one more questionnaire each day.
    QDateTime now;
    backup::Snapshots snapshots(m_db->file(), [&] { return now; });
    auto store = [](const Answers& a) {
        SqlQuery q(QStringLiteral("MyDb"));
        SurveyStore(q).store(a);
    };
    QString oldest;
    for (int day = 10; day <= 16; ++day) {
        now = QDateTime(QDate(2026, 6, day), QTime(8, 30));
        store(numbered(day));
        const QString made = snapshots.backupNow();
        if (day == 10) oldest = made;
    }
    QCOMPARE(snapshots.list().size(), 7);
    QCOMPARE(snapshots.list().last().path, oldest);
    now = QDateTime(QDate(2026, 6, 17), QTime(9, 0));
    store(numbered(17));
    const backup::Inspection check = backup::inspect(oldest);
    QVERIFY(check.ok);
    if (merge) {
        // Ours lost questionnaire 10 since: the merge brings it back.
        {
            SqlQuery q(QStringLiteral("MyDb"));
            SurveyStore(q).remove(numbered(10).id);
        }
        RegisterMerge m(oldest);
        const MergePlan plan = m.plan();
        QCOMPARE(plan.added, 1);
        QCOMPARE(m.apply(plan), 1);
        QCOMPARE(m_db->count("BasicInfo"), 8);
    } else {
        backup::restore(oldest, snapshots);
        QCOMPARE(m_db->count("BasicInfo"), 1);
        QCOMPARE(m_db->count("BasicInfo", numbered(10).id), 1);
    }
    // The chosen backup is still there and listed, with the copy made before the change.
    QVERIFY(QFileInfo::exists(oldest));
    QCOMPARE(backup::questionnaireCount(oldest), 1);
    QStringList listed;
    for (const backup::BackupInfo& b : snapshots.list()) listed << QFileInfo(b.path).fileName();
    QVERIFY2(listed.contains(QFileInfo(oldest).fileName()), qPrintable(listed.join(' ')));
    // (The merge names its copy by the real clock.)
    QVERIFY2(merge ? !listed.filter(QRegularExpression("^MyDB-\\d{8}-\\d{6}-before-merge\\.db$")).isEmpty()
                   : listed.contains("MyDB-20260617-090000-before-restore.db"),
             qPrintable(listed.join(' ')));
}

void TstBackup::copyBeforeRestoreKeptAMonth() {
    QDateTime now(QDate(2026, 3, 10), QTime(8, 0));
    backup::Snapshots snapshots(m_db->file(), [&] { return now; });
    {
        SqlQuery q(QStringLiteral("MyDb"));
        SurveyStore(q).store(numbered(1));
    }
    const QString morning = snapshots.backupNow();
    {
        SqlQuery q(QStringLiteral("MyDb"));
        SurveyStore(q).store(numbered(2));  // typed after the backup: only the copy before the restore has it
    }
    now = now.addSecs(300);
    const QString kept = backup::restore(morning, snapshots);
    QCOMPARE(QFileInfo(kept).fileName(), QStringLiteral("MyDB-20260310-080500-before-restore.db"));
    QCOMPARE(backup::questionnaireCount(kept), 2);
    QCOMPARE(snapshots.list().first().kind, backup::CopyKind::BeforeRestore);
    // The same day's later backup, then a backup every day (the program started anew each
    // time): the copy stays thirty days.
    backup::Snapshots daily(m_db->file(), [&] { return now; });
    now = QDateTime(QDate(2026, 3, 10), QTime(16, 0));
    daily.backupNow();
    for (int day = 1; day <= 31; ++day) {
        now = QDateTime(QDate(2026, 3, 10).addDays(day), QTime(9, 0));
        daily.backupNow();
        QVERIFY2(QFileInfo::exists(kept) == (day <= backup::kKeepBeforeDays), qPrintable(now.toString()));
    }
    // It never took a day's place: the seven newest days keep their backups, and March its newest.
    int backups = 0;
    for (const backup::BackupInfo& b : daily.list()) backups += b.kind == backup::CopyKind::Backup;
    QCOMPARE(backups, 7 + 1);
}

void TstBackup::rotationVictims_data() {
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("victims");
    // Today is 2026-06-20 throughout.
    QStringList week;
    for (int day = 12; day <= 19; ++day) week << QStringLiteral("MyDB-202606%1-083000.db").arg(day);
    QTest::newRow("a week and a day") << week << QStringList{"MyDB-20260612-083000.db"};
    QTest::newRow("a copy dated in the future holds no day")
        << week + QStringList{"MyDB-20270101-083000.db", "MyDB-20261231-083000-before-restore.db"}
        << QStringList{"MyDB-20260612-083000.db"};
    QTest::newRow("copies before a restore or a merge: thirty days, no day's place")
        << week.mid(1) + QStringList{"MyDB-20260619-120000-before-restore.db", "MyDB-20260520-090000-before-merge.db",
                                     "MyDB-20260521-090000-before-restore.db"}
        << QStringList{"MyDB-20260520-090000-before-merge.db"};
    QTest::newRow("two in one second")
        << week.mid(2) + QStringList{"MyDB-20260619-083000-2.db", "MyDB-20260618-083000-2.db"}
        << QStringList{"MyDB-20260618-083000.db", "MyDB-20260619-083000.db"};
    QTest::newRow("other names") << week.mid(1) + QStringList{"MyDB-2026.db", "notes.txt", "MyDB-20200101-083000.db.part-1",
                                                              "MyDB-20200101-083000-1.db", "MyDB-20200101-083000-old.db"}
                                 << QStringList{};
}

void TstBackup::rotationVictims() {
    QFETCH(QStringList, names);
    QFETCH(QStringList, victims);
    QStringList got = backup::rotationVictims(names, QDate(2026, 6, 20));
    got.sort();
    QCOMPARE(got, victims);
}

void TstBackup::rotationRemovesOnlyItsOwnCopies() {
    backup::Snapshots snapshots(m_db->file(), [] { return QDateTime(QDate(2026, 6, 20), QTime(9, 0)); });
    QVERIFY(sqlitefile::makePrivateFolder(snapshots.folder()));
    const QString in = snapshots.folder() + "/";
    QStringList week;
    for (int day = 13; day <= 19; ++day) {
        week << QStringLiteral("MyDB-202606%1-080000.db").arg(day);
        placeCopy(in + week.last());
    }
    placeCopy(in + "MyDB-20200101-080000.db");  // the rotation's own: removed
    QFile text(in + "MyDB-20200102-080000.db");  // something else under a copy's name
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("not a database\n");
    text.close();
    QTemporaryDir elsewhere;
    placeCopy(elsewhere.filePath("register.db"));
    QVERIFY(QFile::link(elsewhere.filePath("register.db"), in + "MyDB-20200103-080000.db"));
    placeCopy(in + "MyDB-20200104-080000.db", true);  // the file being restored
    snapshots.protect(in + "MyDB-20200104-080000.db");
    QCOMPARE(snapshots.rotate(), QStringList{in + "MyDB-20200101-080000.db"});
    QCOMPARE(filesIn(snapshots.folder()),
             QStringList({"MyDB-20200102-080000.db", "MyDB-20200103-080000.db", "MyDB-20200104-080000.db"}) + week);
    QVERIFY(QFileInfo::exists(elsewhere.filePath("register.db")));
}

void TstBackup::twoBackupsInOneSecond() {
    // Two programs (here two threads) back up in the same second: both copies are made.
    for (int round = 0; round < 3; ++round) {
        const QDateTime second(QDate(2026, 3, 4), QTime(5, 6, round));
        QString made[2];
        QString failed[2];
        QThread* threads[2];
        for (int i = 0; i < 2; ++i)
            threads[i] = QThread::create([&, i] {
                try {
                    made[i] = backup::Snapshots(m_db->file(), [&] { return second; }).backupNow();
                } catch (const sqlitefile::FileError& e) {
                    failed[i] = e.message;
                }
            });
        for (QThread* t : threads) t->start();
        for (QThread* t : threads) {
            t->wait();
            delete t;
        }
        QVERIFY2(failed[0].isEmpty() && failed[1].isEmpty(), qPrintable(failed[0] + failed[1]));
        QStringList names{QFileInfo(made[0]).fileName(), QFileInfo(made[1]).fileName()};
        names.sort();
        const QString stamp = second.toString("yyyyMMdd-HHmmss");
        QCOMPARE(names, (QStringList{"MyDB-" + stamp + "-2.db", "MyDB-" + stamp + ".db"}));
        QVERIFY(backup::isRegisterCopy(made[0]) && backup::isRegisterCopy(made[1]));
    }
    // A third in the last second; listed newest first, the later copies of a second before the earlier.
    QCOMPARE(
        QFileInfo(backup::Snapshots(m_db->file(), [] { return QDateTime(QDate(2026, 3, 4), QTime(5, 6, 2)); })
                      .backupNow())
            .fileName(),
        QStringLiteral("MyDB-20260304-050602-3.db"));
    QStringList listed;
    for (const backup::BackupInfo& b : backup::Snapshots(m_db->file()).list())
        listed << QFileInfo(b.path).fileName();
    QCOMPARE(listed,
             (QStringList{"MyDB-20260304-050602-3.db", "MyDB-20260304-050602-2.db", "MyDB-20260304-050602.db",
                          "MyDB-20260304-050601-2.db", "MyDB-20260304-050601.db", "MyDB-20260304-050600-2.db",
                          "MyDB-20260304-050600.db"}));
}

void TstBackup::linkedBackupFolderRefused() {
    {
        SqlQuery q(QStringLiteral("MyDb"));
        SurveyStore(q).store(numbered(1));
    }
    QTemporaryDir elsewhere;
    QVERIFY(QFile::setPermissions(elsewhere.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                        QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                                        QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                        QFileDevice::ExeOther));
    backup::Snapshots snapshots(m_db->file());
    QVERIFY(QFile::link(elsewhere.path(), snapshots.folder()));
    const QString refusal = snapshots.folderRefusal();
    QVERIFY2(refusal.contains(snapshots.folder()) && refusal.contains("符号链接"), qPrintable(refusal));
    try {
        snapshots.backupNow();
        QFAIL("backed up through a link");
    } catch (const sqlitefile::FileError& e) {
        QCOMPARE(e.message, refusal);
    }
    QVERIFY(!sqlitefile::makePrivateFolder(snapshots.folder()));
    QTemporaryDir dir;
    const QString offered = dir.filePath("offered.db");
    snapshots.backupNow({}, offered);
    QVERIFY_THROWS_EXCEPTION(sqlitefile::FileError, backup::restore(offered, snapshots));
    // Where the link points is left as it was, and nothing is written there.
    QCOMPARE(mode(elsewhere.path()), 0755);
    QVERIFY(QDir(elsewhere.path()).isEmpty());
    QCOMPARE(m_db->count("BasicInfo"), 1);
}

QTEST_MAIN(TstBackup)
#include "tst_backup.moc"
