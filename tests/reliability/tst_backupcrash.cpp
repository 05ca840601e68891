// Kill a backup, a restore and a merge at random moments: the register is always the old one
// or the new one, whole, and every backup file that exists is a whole copy. And what a power
// cut would find: every file they put in place was on the disk before it took its name.
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>
#include <csignal>
#include <random>

#include "TestDb.h"
#include "core/backup/Restore.h"
#include "core/backup/Snapshots.h"
#include "core/exchange/RegisterMerge.h"
#include "core/store/Connection.h"
#include "core/store/Schema.h"
#include "core/store/SqlQuery.h"
#include "core/store/SurveyStore.h"

using namespace catalogue;

namespace {

const char* const kModeEnv = "QUENVALE_BACKUPCRASH_MODE";
// Set: the child does its work once and ends instead of waiting to be killed.
const char* const kOnceEnv = "QUENVALE_BACKUPCRASH_ONCE";

Answers numbered(int n, int version = 0) {
    Answers a = completeAnswers(QStringLiteral("5101%1").arg(n, 14, 10, QLatin1Char('0')));
    a.name = QStringLiteral("居民%1-%2").arg(n).arg(version);
    for (GroupId g : answerTables()) {
        auto& t = a[g].ticked;
        for (int b = 0; b < t.size(); ++b) t[b] = (n + b + version) % 4 == 0;
        t[(n + version) % t.size()] = true;
        if (group(g).hasOther() && t.last()) a[g].otherText = QStringLiteral("其它%1").arg(n);
    }
    return a;
}

// A register file holding questionnaires [from, to) of a version.
void fill(const QString& file, int from, int to, int version, const QList<int>& other = {}) {
    QVERIFY(schema::ensureDatabaseFile(file));
    connection::define({QStringLiteral("Fill"), QStringLiteral("Fill"), false, {}, {}, file});
    {
        SqlQuery q(QStringLiteral("Fill"));
        SurveyStore s(q);
        for (int n = from; n < to; ++n) s.store(numbered(n, other.contains(n) ? version + 1 : version));
    }
    connection::closeAll();
}

// Every table's rows, sorted; opening read-write first rolls back what a killed writer left.
QString dumpOf(const QString& file) {
    const QString name = QStringLiteral("dump-") + QUuid::createUuid().toString(QUuid::Id128);
    QString out;
    {
        QString error;
        if (!schema::openExisting(name, file, &error)) return QStringLiteral("<cannot open: %1>").arg(error);
        QSqlDatabase db = QSqlDatabase::database(name, false);
        QSqlQuery q(db);
        q.exec(QStringLiteral("PRAGMA integrity_check"));
        if (!q.next() || q.value(0).toString() != QLatin1String("ok")) out = QStringLiteral("<damaged>");
        for (const QString& t : schema::tables()) {
            QStringList lines;
            q.exec(QStringLiteral("select * from ") + t);
            while (q.next()) {
                QStringList r;
                for (int i = 0; i < q.record().count(); ++i) r << q.value(i).toString();
                lines << r.join(u'|');
            }
            lines.sort();
            out += t + u'\n' + lines.join(u'\n') + u'\n';
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return out;
}

[[noreturn]] void waitToBeKilled() {
    for (;;) QThread::sleep(1);
}

int childMain(const QString& mode, const QString& file, const QString& a, const QString& b) {
    connection::define({QStringLiteral("MyDb"), QStringLiteral("Velmora"), false, {}, {}, file});
    QTextStream out(stdout);
    backup::Snapshots snapshots(file);
    const bool once = qEnvironmentVariableIsSet(kOnceEnv);
    try {
        if (mode == QLatin1String("backup")) {
            for (int i = 0;; ++i) {
                snapshots.backupNow({}, a + QStringLiteral("/copy-%1.db").arg(i));
                out << "B " << i << Qt::endl;
                if (once) {
                    snapshots.backupNow();  // and one into the backup folder
                    return 0;
                }
            }
        } else if (mode == QLatin1String("restore")) {
            for (int i = 0;; ++i) {
                backup::restore(i % 2 ? a : b, snapshots);
                out << "R " << (i % 2 ? "A" : "B") << Qt::endl;
                if (once) return 0;
            }
        } else {
            RegisterMerge merge(a);
            MergePlan plan = merge.plan();
            for (MergeConflict& c : plan.conflicts) c.takeTheirs = true;
            merge.apply(plan);
            out << "M done" << Qt::endl;
            if (once) return 0;
        }
    } catch (const sqlitefile::FileError& e) {
        QTextStream(stderr) << "failed: " << e.detail << Qt::endl;
        return 3;
    }
    waitToBeKilled();
}

}  // namespace

class TstBackupCrash : public QObject {
    Q_OBJECT
private slots:
    void killedAtRandomMoments_data() {
        QTest::addColumn<QString>("mode");
        QTest::newRow("backup") << "backup";
        QTest::newRow("restore") << "restore";
        QTest::newRow("merge") << "merge";
    }
    void killedAtRandomMoments();
    void flushedBeforeNamed_data();
    void flushedBeforeNamed();
};

void TstBackupCrash::killedAtRandomMoments() {
    QFETCH(QString, mode);
    // The register the child works on. This process only looks at it between kills and holds
    // no data module on it: a restore is refused while another program has the register open.
    QTemporaryDir home;
    QVERIFY(QDir().mkpath(home.path() + "/Data"));
    const struct {
        QString path;
        const QString& file() const { return path; }
    } db{home.path() + "/Data/MyDB.db"};
    connection::closeAll();
    QTemporaryDir dir;
    // The register, the other register or backups, and the states allowed after a kill.
    const QString oldFile = dir.filePath("old.db"), newFile = dir.filePath("new.db");
    QString a, b;
    fill(oldFile, 0, 150, 0);
    if (mode == "backup") {
        a = dir.filePath("copies");
        QDir().mkpath(a);
        QFile::copy(oldFile, newFile);
    } else if (mode == "restore") {
        fill(newFile, 100, 400, 1);
        a = oldFile;
        b = newFile;
    } else {
        // Theirs: 50 identical, 50 conflicting (taken), 200 new.
        a = dir.filePath("theirs.db");
        QList<int> conflicting;
        for (int n = 100; n < 150; ++n) conflicting << n;
        fill(a, 50, 350, 0, conflicting);
        QFile::copy(oldFile, newFile);
        connection::define({QStringLiteral("Fill"), QStringLiteral("Fill"), false, {}, {}, newFile});
        {
            SqlQuery q(QStringLiteral("Fill"));
            SurveyStore s(q);
            for (int n = 100; n < 150; ++n) s.replace(numbered(n, 1));
            for (int n = 150; n < 350; ++n) s.store(numbered(n, 0));
        }
        connection::closeAll();
    }
    const QString oldDump = dumpOf(oldFile), newDump = dumpOf(newFile);
    QVERIFY(oldDump != newDump || mode == "backup");

    std::mt19937 rng(20261208);
    // A merge starts with reading both registers and a backup: give it time to reach its writing.
    std::uniform_int_distribution<int> delay(5, mode == "merge" ? 1200 : 250);
    const int rounds = qEnvironmentVariableIntValue("QUENVALE_CRASH_ROUNDS") > 0
                           ? qEnvironmentVariableIntValue("QUENVALE_CRASH_ROUNDS")
                           : 40;
    int kills = 0, sawOld = 0, sawNew = 0, copies = 0;
    for (int round = 0; round < rounds; ++round) {
        if (mode != "restore" || round == 0) {
            connection::closeAll();
            QFile::remove(db.file());
            QFile::remove(db.file() + "-journal");
            QFile::remove(db.file() + "-wal");
            QFile::remove(db.file() + "-shm");
            QVERIFY(QFile::copy(oldFile, db.file()));
            QFile::setPermissions(db.file(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(kModeEnv, mode);
        env.insert("QUENVALE_BACKUPCRASH_FILE", db.file());
        env.insert("QUENVALE_BACKUPCRASH_A", a);
        env.insert("QUENVALE_BACKUPCRASH_B", b);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForStarted());
        QTest::qWait(delay(rng));
        const qint64 pid = child.processId();
        QVERIFY2(pid > 0 && child.state() == QProcess::Running,
                 qPrintable(QStringLiteral("the child died by itself before it was killed: %1")
                                .arg(QString::fromLocal8Bit(child.readAllStandardError()))));
        ::kill(pid_t(pid), SIGKILL);
        QVERIFY(child.waitForFinished(5000));
        // The work may have ended between the look and the kill: then it must have succeeded.
        if (child.exitStatus() == QProcess::NormalExit)
            QVERIFY2(child.exitCode() == 0, qPrintable(QString::fromLocal8Bit(child.readAllStandardError())));
        ++kills;

        const QString now = dumpOf(db.file());
        QVERIFY2(now == oldDump || now == newDump,
                 qPrintable(QStringLiteral("round %1: neither old nor new").arg(round)));
        (now == oldDump ? sawOld : sawNew) += 1;
        if (mode == "backup") {
            for (const QFileInfo& f : QDir(a).entryInfoList({"copy-*.db"}, QDir::Files)) {
                QCOMPARE(dumpOf(f.absoluteFilePath()), oldDump);
                QFile::remove(f.absoluteFilePath());
                ++copies;
            }
        }
    }
    if (mode == "backup")
        qInfo("backup: %d kills, register unchanged every time, %d whole copies made and checked", kills,
              copies);
    else
        qInfo("%s: %d kills, register old %d times, new %d times, never anything else", qPrintable(mode),
              kills, sawOld, sawNew);
}

void TstBackupCrash::flushedBeforeNamed_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QStringList>("named");  // the files put in place, by name, sorted
    QTest::newRow("backup") << "backup" << QStringList{"MyDB-\\d{8}-\\d{6}\\.db", "copy-0\\.db"};
    QTest::newRow("restore") << "restore"
                             << QStringList{"MyDB-\\d{8}-\\d{6}-before-restore\\.db", "MyDB\\.db"};
    QTest::newRow("merge") << "merge"
                           << QStringList{"MyDB-\\d{8}-\\d{6}-before-merge\\.db", "MyDB-\\d{8}-\\d{6}\\.db"};
}

// Each copy kept and each register put in place is written under a hidden name, flushed to the
// disk after its last write and before it takes its name, and its folder flushed after: a power
// cut leaves the old file or the whole new one, and never shows a half-written one by name.
// Watched through the system calls the work makes (strace).
void TstBackupCrash::flushedBeforeNamed() {
    QFETCH(QString, mode);
    QFETCH(QStringList, named);
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    if (strace.isEmpty()) QSKIP("strace is not installed");
    QTemporaryDir home, dir;
    QVERIFY(QDir().mkpath(home.path() + "/Data"));
    const QString file = home.path() + "/Data/MyDB.db";
    connection::closeAll();
    fill(file, 0, 30, 0);
    QString a = dir.filePath("other.db");
    if (mode == "backup") {
        a = dir.path();
    } else {
        QList<int> conflicting{25, 26};
        fill(a, 20, 60, 0, conflicting);
    }
    const QString log = dir.filePath("calls.log");
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kModeEnv, mode);
    env.insert(kOnceEnv, "1");
    env.insert("QUENVALE_BACKUPCRASH_FILE", file);
    env.insert("QUENVALE_BACKUPCRASH_A", a);
    env.insert("QUENVALE_BACKUPCRASH_B", a);
    // LeakSanitizer cannot run under a tracer (the sanitizer build); its children are checked elsewhere.
    env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":detect_leaks=0");
    child.setProcessEnvironment(env);
    child.start(strace, {"-f", "-y", "-qq", "-s", "0", "-o", log, "-e",
                         "trace=openat,write,pwrite64,pwritev,pwritev2,fsync,fdatasync,link,linkat,rename,"
                         "renameat,renameat2",
                         QCoreApplication::applicationFilePath()});
    QVERIFY(child.waitForFinished(60000));
    const QString said = QString::fromLocal8Bit(child.readAllStandardError());
    if (said.contains("ptrace", Qt::CaseInsensitive))
        QSKIP(qPrintable("strace cannot watch a program here: " + said));
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, qPrintable(said));

    // The calls in the order they were made: name, the file of its descriptor, the paths it names.
    struct Call {
        QString name, fdPath;
        QStringList paths;
    };
    QList<Call> calls;
    QFile f(log);
    QVERIFY(f.open(QIODevice::ReadOnly));
    static const QRegularExpression line(QStringLiteral("^\\d+\\s+(\\w+)\\((.*)$"));
    static const QRegularExpression fd(QStringLiteral("^\\d+<([^>]*)>"));
    static const QRegularExpression quoted(QStringLiteral("\"([^\"]*)\""));
    while (!f.atEnd()) {
        const QString text = QString::fromUtf8(f.readLine()).trimmed();
        const auto m = line.match(text);
        // A call still running when another thread's is logged counts where it began; a failed
        // one (a name that was taken) not at all.
        if (!m.hasMatch() || (!text.contains("<unfinished") && !text.contains(QRegularExpression("= \\d+$"))))
            continue;
        Call c{m.captured(1), fd.match(m.captured(2)).captured(1), {}};
        for (auto it = quoted.globalMatch(m.captured(2)); it.hasNext();) c.paths << it.next().captured(1);
        calls << c;
    }
    auto isWrite = [](const QString& n) { return n.startsWith("write") || n.startsWith("pwrite"); };
    auto isSync = [](const QString& n) { return n == "fsync" || n == "fdatasync"; };
    QStringList names;
    for (int i = 0; i < calls.size(); ++i) {
        const Call& c = calls[i];
        if (!c.name.startsWith("link") && !c.name.startsWith("rename")) continue;
        QVERIFY2(c.paths.size() == 2, qPrintable(c.name + ": " + c.paths.join(' ')));
        const QString from = c.paths[0], to = c.paths[1];
        names << QFileInfo(to).fileName();
        QVERIFY2(QFileInfo(from).fileName().startsWith(u'.'),
                 qPrintable("written under a visible name: " + from));
        int lastWrite = -1;
        for (int j = 0; j < i; ++j)
            if (isWrite(calls[j].name) && calls[j].fdPath == from) lastWrite = j;
        QVERIFY2(lastWrite >= 0, qPrintable("never written: " + from));
        bool flushed = false;
        for (int j = lastWrite + 1; j < i; ++j)
            flushed = flushed || (isSync(calls[j].name) && calls[j].fdPath == from);
        QVERIFY2(flushed, qPrintable("named before it was on the disk: " + to));
        bool folderFlushed = false;
        for (int j = i + 1; j < calls.size(); ++j)
            folderFlushed =
                folderFlushed || (isSync(calls[j].name) && calls[j].fdPath == QFileInfo(to).absolutePath());
        QVERIFY2(folderFlushed, qPrintable("its folder was not flushed after: " + to));
    }
    names.sort();
    QVERIFY2(names.size() == named.size(), qPrintable(names.join(' ')));
    for (int i = 0; i < names.size(); ++i)
        QVERIFY2(QRegularExpression("^" + named[i] + "$").match(names[i]).hasMatch(),
                 qPrintable(names.join(' ')));
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(kModeEnv))
        return childMain(qEnvironmentVariable(kModeEnv), qEnvironmentVariable("QUENVALE_BACKUPCRASH_FILE"),
                         qEnvironmentVariable("QUENVALE_BACKUPCRASH_A"),
                         qEnvironmentVariable("QUENVALE_BACKUPCRASH_B"));
    TstBackupCrash t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_backupcrash.moc"
