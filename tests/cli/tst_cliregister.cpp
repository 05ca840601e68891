// The programs as a user runs them: every verb of an installed quenvale-cli works on the one
// register the desktop program uses, makes nothing others can read, refuses a restore while the
// desktop program has the register open, takes file names that are no valid text, and never
// shows a secret. Runs copies of the real executables with a home folder of their own.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDirIterator>
#include <QProcess>
#include <QtTest>
#include <csignal>

#include "TestDb.h"
#include "core/store/Connection.h"
#include "core/store/DataSource.h"
#include "core/store/RegisterLock.h"
#include "core/store/Registry.h"
#include "core/store/Schema.h"
#include "core/store/SqlQuery.h"
#include "core/store/SurveyStore.h"

namespace {

int modeOf(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

// A register file holding `count` questionnaires.
void fill(const QString& file, int count) {
    QVERIFY(schema::ensureDatabaseFile(file));
    connection::define({QStringLiteral("Fill"), QStringLiteral("Fill"), false, {}, {}, file});
    {
        SqlQuery q(QStringLiteral("Fill"));
        SurveyStore s(q);
        for (int n = 0; n < count; ++n) s.store(completeAnswers(QStringLiteral("1101011990%1").arg(n, 8, 10, QChar('0'))));
    }
    connection::closeAll();
}

int questionnaires(const QString& file) {
    const QString name = QStringLiteral("count-") + QUuid::createUuid().toString(QUuid::Id128);
    int n = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("select count(*) from BasicInfo")) && q.next()) n = q.value(0).toInt();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return n;
}

struct Run {
    int exitCode = -1;
    QString out, err;
};

// Another program holds the register `file` open: no one can have it to themselves.
bool heldByAnother(const QString& file) {
    const int fd = ::open(QFile::encodeName(RegisterLock::lockFile(file)).constData(), O_RDWR);
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

// The processes `parent` started, by their ids.
QList<pid_t> childrenOf(qint64 parent) {
    QList<pid_t> found;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        bool number = false;
        const pid_t pid = entry.toInt(&number);
        if (!number) continue;
        QFile stat("/proc/" + entry + "/stat");
        if (!stat.open(QIODevice::ReadOnly)) continue;
        // "pid (name) state ppid ...": the name may hold spaces, the closing parenthesis ends it.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> rest = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (rest.size() > 1 && rest[1].toLongLong() == parent) found << pid;
    }
    return found;
}

// The files process `pid` has open.
QStringList openFiles(pid_t pid) {
    QStringList files;
    const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
    for (const QString& fd : QDir(fds).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot))
        files << QFile::symLinkTarget(fds + '/' + fd);
    return files;
}

}  // namespace

class TstCliRegister : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void everyVerbFindsTheOneRegister();
    void restoreRefusedWhileTheDesktopRuns();
    void namesThatAreNoText_data();
    void namesThatAreNoText();
    void secretsNeitherStoredNorShown();
    void previewOpensTheSameRegister_data();
    void previewOpensTheSameRegister();

private:
    /// Copies the executables into `root`/bin; `installed` adds ../share/quenvale beside them.
    void layOut(const QString& root, bool installed);
    /// The environment of a user whose home is `home`: nothing of the test's own.
    QProcessEnvironment userEnvironment(const QString& home) const;
    Run cli(const QString& root, const QString& home, const QStringList& args);
    QString m_built;
};

void TstCliRegister::initTestCase() {
    m_built = QCoreApplication::applicationDirPath();
    for (const char* exe : {"quenvale", "quenvale-cli", "quenvale-report-preview"})
        if (!QFileInfo::exists(m_built + '/' + exe)) QSKIP("the programs are not built");
}

void TstCliRegister::layOut(const QString& root, bool installed) {
    QVERIFY(QDir().mkpath(root + "/bin"));
    for (const char* exe : {"quenvale", "quenvale-cli"})
        QVERIFY(QFile::copy(m_built + '/' + exe, root + "/bin/" + exe));
    // The report's preview window: beside the programs in a build, in libexec when installed.
    const QString preview = installed ? root + "/libexec/quenvale" : root + "/bin";
    QVERIFY(QDir().mkpath(preview));
    QVERIFY(QFile::copy(m_built + "/quenvale-report-preview", preview + "/quenvale-report-preview"));
    if (installed) QVERIFY(QDir().mkpath(root + "/share/quenvale"));
}

QProcessEnvironment TstCliRegister::userEnvironment(const QString& home) const {
    QProcessEnvironment env;
    env.insert("PATH", "/usr/bin:/bin");
    env.insert("HOME", home);
    env.insert("LANG", "C.UTF-8");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QT_LOGGING_RULES", "qt.qpa.*=false");
    return env;
}

Run TstCliRegister::cli(const QString& root, const QString& home, const QStringList& args) {
    QProcess p;
    p.setProcessEnvironment(userEnvironment(home));
    p.start(root + "/bin/quenvale-cli", args);
    Run r;
    if (!p.waitForFinished(120000)) return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

void TstCliRegister::everyVerbFindsTheOneRegister() {
    QTemporaryDir root, home, out;
    layOut(root.path(), true);
    const QString data = home.path() + "/.local/share/Quenvale/Data";
    const QString file = data + "/MyDB.db";
    // The data source first: the registration it writes is as private as everything else.
    const QList<std::pair<QStringList, int>> verbs = {
        {{"datasource", "local"}, 0},
        {{"datasource", "show"}, 0},
        {{"check"}, 0},
        {{"backup"}, 0},
        {{"backups"}, 0},
        {{"export", "--format", "csv", "--out", out.filePath("q.csv")}, 0},
        {{"export-stats", "--out", out.filePath("s.xlsx")}, 0},
        {{"report", "specialty", "--pdf", out.filePath("r.pdf")}, 0},
        {{"backup", "--out", out.filePath("copy.db")}, 0},
        {{"merge", out.filePath("copy.db"), "--dry-run"}, 0},
        {{"merge", out.filePath("copy.db")}, 0},
        {{"restore", out.filePath("copy.db")}, 1},  // without --yes: only the summary
        {{"restore", out.filePath("copy.db"), "--yes"}, 0},
    };
    for (const auto& [args, status] : verbs) {
        const Run r = cli(root.path(), home.path(), args);
        QVERIFY2(r.exitCode == status, qPrintable(args.join(' ') + ": " + r.out + r.err));
        if (args == QStringList{"datasource", "show"}) QCOMPARE(r.out, "file " + file + '\n');
    }
    // Exactly one register, the desktop program's, and the registration names it.
    QStringList registers;
    for (const QString& where : {home.path(), root.path()}) {
        QDirIterator it(where, {"*.db"}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString f = it.next();
            if (!f.contains("/Backup/")) registers << f;
        }
    }
    QCOMPARE(registers, QStringList{file});
    Registry hive(home.path() + "/.config/Quenvale/HKEY_LOCAL_MACHINE.reg");
    QCOMPARE(hive.readValue("\\SoftWare\\ODBC\\ODBC.ini\\Velmora", "DBQ").toString(), file);
    // Every file and folder the verbs made is private to the user.
    QStringList open;
    for (const QString& where : {home.path(), out.path()}) {
        QDirIterator it(where, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString f = it.next();
            if (modeOf(f) != (it.fileInfo().isDir() ? 0700 : 0600))
                open << QStringLiteral("%1 %2").arg(modeOf(f), 0, 8).arg(f);
        }
    }
    QVERIFY2(open.isEmpty(), qPrintable(open.join('\n')));
}

void TstCliRegister::restoreRefusedWhileTheDesktopRuns() {
    QTemporaryDir root, home;
    layOut(root.path(), false);
    const QString file = root.path() + "/bin/Data/MyDB.db";
    QVERIFY(QDir().mkpath(root.path() + "/bin/Data"));
    fill(file, 2);
    const QString offered = root.path() + "/last-week.db";
    fill(offered, 5);

    QProcess desktop;
    desktop.setProcessEnvironment(userEnvironment(home.path()));
    desktop.start(root.path() + "/bin/quenvale", {});
    QVERIFY(desktop.waitForStarted());
    // Up and holding its register: no other program can have the register to itself.
    QTRY_VERIFY_WITH_TIMEOUT(heldByAnother(file), 30000);

    Run r = cli(root.path(), home.path(), {"restore", offered, "--yes"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("登记册正在其他程序中打开") && r.err.contains("请先关闭其他程序"), qPrintable(r.err));
    QCOMPARE(questionnaires(file), 2);
    // Verbs that do not replace the file work beside it.
    r = cli(root.path(), home.path(), {"backup", "--out", root.path() + "/now.db"});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));

    // Killed, it holds nothing any more.
    ::kill(pid_t(desktop.processId()), SIGKILL);
    QVERIFY(desktop.waitForFinished(10000));
    r = cli(root.path(), home.path(), {"restore", offered, "--yes"});
    QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));
    QCOMPARE(questionnaires(file), 5);
}

void TstCliRegister::namesThatAreNoText_data() {
    QTest::addColumn<QString>("verb");
    QTest::addColumn<QString>("said");
    QTest::addColumn<int>("after");
    QTest::newRow("restore") << "restore" << "已从备份 " << 4;
    QTest::newRow("merge") << "merge" << "新增\t3" << 4;
}

void TstCliRegister::namesThatAreNoText() {
    QFETCH(QString, verb);
    QFETCH(QString, said);
    QFETCH(int, after);
    QTemporaryDir root, home;
    layOut(root.path(), false);
    const QString file = root.path() + "/bin/Data/MyDB.db";
    QVERIFY(QDir().mkpath(root.path() + "/bin/Data"));
    fill(file, 1);
    // "café.db" as a Latin-1 system wrote it: the byte E9 alone is no UTF-8.
    QTemporaryDir other;
    fill(other.filePath("made.db"), 4);
    const QByteArray raw = QFile::encodeName(root.path()) + "/caf\xe9.db";
    QVERIFY(::rename(QFile::encodeName(other.filePath("made.db")).constData(), raw.constData()) == 0);
    // (A name Qt cannot hold is one its temporary folder cannot remove either.)
    const struct Remove {
        QByteArray name;
        ~Remove() { ::unlink(name.constData()); }
    } remove{raw};
    // Its first questionnaire is ours too: the merge adds the other three, the restore takes all four.
    QProcess p;
    p.setProcessEnvironment(userEnvironment(home.path()));
    // The shell passes the name byte for byte, as a terminal does.
    p.start("/bin/sh", {"-c", "exec \"$0\" \"$1\" \"$(printf '%s/caf\\351.db' \"$2\")\" $3", root.path() + "/bin/quenvale-cli",
                        verb, root.path(), verb == "restore" ? "--yes" : ""});
    QVERIFY(p.waitForFinished(60000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput()), err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(p.exitCode() == 0, qPrintable(out + err));
    QVERIFY2(out.contains(verb == "restore" ? said + root.path() + "/caf\uFFFD.db 恢复 4 份问卷" : said), qPrintable(out));
    QCOMPARE(questionnaires(file), after);
}

void TstCliRegister::secretsNeitherStoredNorShown() {
    QTemporaryDir root, home;
    layOut(root.path(), true);
    // Saved by an earlier version that let the passphrase through.
    const QString hive = home.path() + "/.config/Quenvale/HKEY_LOCAL_MACHINE.reg";
    QVERIFY(QDir().mkpath(QFileInfo(hive).absolutePath()));
    datasource::setServer("host=db.office.lan dbname=r sslpassword=topsecret", hive);
    Run r = cli(root.path(), home.path(), {"datasource", "show"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.out.startsWith("server ") && r.out.contains("sslpassword=********") && !r.out.contains("topsecret"),
             qPrintable(r.out));
    // A new one is refused before anything is tried or written.
    datasource::setServer(QString(), hive);
    r = cli(root.path(), home.path(), {"datasource", "server", "host=db.office.lan dbname=r sslpassword=p4ss"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("sslpassword") && r.err.contains("不能含密码"), qPrintable(r.err));
    QFile f(hive);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(!f.readAll().contains("p4ss"));
}

void TstCliRegister::previewOpensTheSameRegister_data() {
    QTest::addColumn<bool>("installed");
    QTest::newRow("build") << false;
    QTest::newRow("installed") << true;
}

void TstCliRegister::previewOpensTheSameRegister() {
    // The preview window is a program of its own, found where the layout puts it; it opens the
    // register the command line would, and the command line waits for it and says how it ended.
    QFETCH(bool, installed);
    QTemporaryDir root, home;
    layOut(root.path(), installed);
    const QString file =
        installed ? home.path() + "/.local/share/Quenvale/Data/MyDB.db" : root.path() + "/bin/Data/MyDB.db";
    QProcess cli;
    cli.setProcessEnvironment(userEnvironment(home.path()));
    cli.start(root.path() + "/bin/quenvale-cli", {"report", "specialty", "--preview"});
    QVERIFY(cli.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(heldByAnother(file), 30000);
    const QList<pid_t> started = childrenOf(cli.processId());
    QCOMPARE(started.size(), 1);
    const pid_t preview = started.first();
    // Whatever fails below, the window goes with the test.
    const struct Close {
        pid_t pid;
        ~Close() { ::kill(pid, SIGKILL); }
    } close{preview};
    QCOMPARE(QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(preview)),
             root.path() + (installed ? "/libexec/quenvale" : "/bin") + "/quenvale-report-preview");
    // The window holds the register; the command line itself holds none.
    QVERIFY(openFiles(preview).contains(RegisterLock::lockFile(file)));
    QVERIFY(!openFiles(pid_t(cli.processId())).contains(RegisterLock::lockFile(file)));
    QVERIFY(cli.state() == QProcess::Running);
    ::kill(preview, SIGTERM);
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 1);
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    // (The offscreen platform may have had its say about the window before.)
    QVERIFY2(err.endsWith("\nquenvale-cli: 预览窗口意外关闭了。\n") || err == "quenvale-cli: 预览窗口意外关闭了。\n",
             qPrintable(err));
    // One register, the one every other verb uses.
    QStringList registers;
    for (const QString& where : {home.path(), root.path()}) {
        QDirIterator it(where, {"*.db"}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) registers << it.next();
    }
    QCOMPARE(registers, QStringList{file});
}

QTEST_GUILESS_MAIN(TstCliRegister)
#include "tst_cliregister.moc"
