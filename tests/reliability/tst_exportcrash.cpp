// Kill an export at random moments (kill -9): nothing ever appears under the final names, and
// what the killed export left is removed by the next export into the folder or by the
// program's next start; never a file of the user's, never the temporary of a running export.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QtTest>
#include <csignal>
#include <random>

#include "TestDb.h"
#include "core/exchange/PendingWrites.h"
#include "core/exchange/QuestionnaireExport.h"
#include "core/exchange/Temporaries.h"
#include "core/store/Connection.h"

namespace {

const char* const kChildEnv = "QUENVALE_EXPORTCRASH_CHILD";
constexpr int kQuestionnaires = 20000;

// Exports the register `file` in the tables layout as CSV to `target`: "P" once it has begun,
// "D" when it is done.
int childMain(const QString& file, const QString& target) {
    connection::define({QStringLiteral("MyDb"), QStringLiteral("Velmora"), false, {}, {}, file});
    bool said = false;
    const auto r = exchange::exportQuestionnaires({exchange::Format::Csv, exchange::Layout::Tables, target},
                                                  [&](qint64, qint64) {
                                                      if (!said) {
                                                          std::fputs("P\n", stdout);
                                                          std::fflush(stdout);
                                                          said = true;
                                                      }
                                                      return true;
                                                  });
    std::fputs(r.ok ? "D\n" : "F\n", stdout);
    std::fflush(stdout);
    connection::closeAll();
    return r.ok ? 0 : 1;
}

}  // namespace

class TstExportCrash : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void killedTenTimesThenExported();
    void killedThenTheProgramStarts();
    void sweepTakesOnlyWhatDeadWritersLeft();

private:
    // Starts exports and kills each one at a random moment after it began; returns the kills.
    int killExports(int kills);
    QStringList folder() const {
        return QDir(m_out->path())
            .entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    static QStringList temporariesIn(const QStringList& names) {
        QStringList out;
        for (const QString& n : names)
            if (exchange::temporaries::isTemporaryName(n)) out << n;
        return out;
    }

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<QTemporaryDir> m_out;
    QTemporaryDir m_state;
    std::mt19937 m_rng{20261208};
    int m_exportMs = 500;
};

void TstExportCrash::initTestCase() {
    // The notes of running exports go to a state folder of this test's own.
    qputenv("XDG_STATE_HOME", m_state.path().toUtf8());
    m_db = std::make_unique<TestDb>(TestDb::Engine::File);
    // A register large enough for an export to take a while: every table full.
    const QString n =
        QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) ")
            .arg(kQuestionnaires);
    m_db->exec(n + QStringLiteral(
                       "insert into BasicInfo select printf('%018d', i), '居民' || i, '幸福路' || i || '号', "
                       "'单位', '010' || i, '1', '1', '1', '1', '1', '1' from n"));
    for (const char* t : {"Special", "Love", "Team", "Service", "Train", "Reason", "Who", "Type", "Time1",
                          "ReinForce", "Depend", "Channel"})
        m_db->exec(n + QStringLiteral("insert into %1 select printf('%018d', i), '01', null from n")
                           .arg(QLatin1String(t)));
    // How long one whole export takes here, so that the kills fall inside one.
    QTemporaryDir probe;
    QElapsedTimer t;
    t.start();
    QVERIFY(exchange::exportQuestionnaires(
                {exchange::Format::Csv, exchange::Layout::Tables, probe.filePath(QStringLiteral("x.csv"))})
                .ok);
    m_exportMs = int(std::max<qint64>(50, t.elapsed()));
    qInfo("one export of %d questionnaires in the tables layout: %d ms", kQuestionnaires, m_exportMs);
}

void TstExportCrash::cleanupTestCase() { m_db.reset(); }

void TstExportCrash::init() { m_out = std::make_unique<QTemporaryDir>(); }

int TstExportCrash::killExports(int kills) {
    const QString target = m_out->filePath(QStringLiteral("x.csv"));
    std::uniform_int_distribution<int> delay(0, m_exportMs + m_exportMs / 4);
    int killed = 0;
    for (int round = 0; killed < kills && round < kills * 4; ++round) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QLatin1String(kChildEnv), m_db->file() + u'\n' + target);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        if (!child.waitForStarted()) return -1;
        QByteArray said;
        while (!said.contains('P') && child.state() == QProcess::Running) {
            child.waitForReadyRead(100);
            said += child.readAllStandardOutput();
        }
        QTest::qWait(delay(m_rng));
        const qint64 pid = child.processId();
        // Only ever signal a live child: kill() with a pid of 0 would hit this test's group.
        if (pid > 0 && child.state() == QProcess::Running) ::kill(pid_t(pid), SIGKILL);
        child.waitForFinished(10000);
        said += child.readAllStandardOutput();
        if (!said.contains('D') && child.exitStatus() != QProcess::CrashExit) return -1;
        QStringList finals = folder();
        for (const QString& t : temporariesIn(finals)) finals.removeOne(t);
        if (finals.contains(QStringLiteral("x.csv"))) {
            // It had finished (the target is renamed last): then all thirteen files are there.
            // Clear them for the next round; the kill did not test anything.
            if (finals.size() != 13) {
                qWarning("a target without all its tables: %s", qPrintable(finals.join(u' ')));
                return -1;
            }
            for (const QString& n : finals) QFile::remove(m_out->filePath(n));
            continue;
        }
        ++killed;
        // Nothing under a final name: only temporaries, and only those of this one export (each
        // export removed what the killed one before it left).
        const int left = int(temporariesIn(folder()).size());
        if (!finals.isEmpty() || left > 13) {
            qWarning("after kill %d: %s", killed, qPrintable(folder().join(u' ')));
            return -1;
        }
    }
    return killed;
}

void TstExportCrash::killedTenTimesThenExported() {
    const int killed = killExports(10);
    QCOMPARE(killed, 10);
    const int left = int(temporariesIn(folder()).size());
    qInfo("after 10 kills, %d temporaries of the last one remain", left);
    QVERIFY2(left > 0, "the kills fell where no temporary existed yet: nothing was tried");
    // A user's own hidden file beside them stays.
    {
        QFile mine(m_out->filePath(QStringLiteral(".x.csv.mine")));
        QVERIFY(mine.open(QIODevice::WriteOnly));
        mine.write("mine");
    }
    const auto r = exchange::exportQuestionnaires(
        {exchange::Format::Csv, exchange::Layout::Tables, m_out->filePath(QStringLiteral("x.csv"))});
    QVERIFY2(r.ok, qPrintable(r.error));
    QStringList expected;
    for (const QString& f : r.files) expected << QFileInfo(f).fileName();
    expected << QStringLiteral(".x.csv.mine");
    expected.sort();
    QStringList names = folder();
    names.sort();
    QCOMPARE(names, expected);
}

void TstExportCrash::killedThenTheProgramStarts() {
    QCOMPARE(killExports(3), 3);
    QVERIFY(!temporariesIn(folder()).isEmpty());
    // What the desktop program does at its start: it knows the folder only from the notes.
    const QStringList removed = exchange::PendingWrites::sweepAll();
    QVERIFY(!removed.isEmpty());
    QCOMPARE(folder(), QStringList());
    QVERIFY(QDir(exchange::PendingWrites::notesFolder()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

void TstExportCrash::sweepTakesOnlyWhatDeadWritersLeft() {
    auto make = [&](const QString& name, const QByteArray& content = "x") {
        QFile f(m_out->filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    };
    QTemporaryDir elsewhere;
    const QString users = elsewhere.filePath(QStringLiteral("report.csv"));
    {
        QFile f(users);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("the user's");
    }
    make(QStringLiteral(".x.csv.quenvale-Ab12Cd"));  // left by a dead writer: goes
    make(QStringLiteral(".x.csv.quenvale-Ab1"));     // not the pattern
    make(QStringLiteral(".x.csv.Ab12Cd"));           // another program's temporary
    make(QStringLiteral("x.csv.quenvale-Ab12Cd"));   // not hidden
    make(QStringLiteral("x.csv"));                   // a file under a final name
    QVERIFY(QFile::link(users, m_out->filePath(QStringLiteral(".y.csv.quenvale-Zz99Zz"))));
    QVERIFY(QDir(m_out->path()).mkdir(QStringLiteral(".z.csv.quenvale-Qq11Qq")));
    // A running writer's temporary: created and locked as a writer does it.
    exchange::temporaries::Held running =
        exchange::temporaries::create(m_out->filePath(QStringLiteral("w.csv")));
    const QStringList removed = exchange::temporaries::sweep(m_out->path());
    QCOMPARE(removed, QStringList{m_out->filePath(QStringLiteral(".x.csv.quenvale-Ab12Cd"))});
    QVERIFY(QFileInfo::exists(running.path));
    QVERIFY(QFileInfo(m_out->filePath(QStringLiteral(".y.csv.quenvale-Zz99Zz"))).isSymLink());
    QVERIFY(QFileInfo(m_out->filePath(QStringLiteral(".z.csv.quenvale-Qq11Qq"))).isDir());
    QFile f(users);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("the user's"));
    // Once its writer is gone (the lock dropped), its temporary goes too.
    exchange::temporaries::release(running);
    QCOMPARE(exchange::temporaries::sweep(m_out->path()), QStringList{running.path});
    QCOMPARE(folder().size(), 5);
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet(kChildEnv)) {
        QCoreApplication app(argc, argv);
        const QStringList parts = qEnvironmentVariable(kChildEnv).split(u'\n');
        return childMain(parts.value(0), parts.value(1));
    }
    QCoreApplication app(argc, argv);
    TstExportCrash t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_exportcrash.moc"
