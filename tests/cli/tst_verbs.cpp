// Every verb of quenvale-cli run as a process, as a user or a script runs it: help, bad usage,
// both spellings of an option's value, failures, the question before a restore, an empty
// listing, and what the program links. Runs an installed layout of the built programs with a
// home folder of its own, without a display or a runtime folder (as cron runs it).
#include <signal.h>

#include <QDirIterator>
#include <QtTest>

#include "CliRun.h"
#include "core/store/DataSource.h"

using clirun::Run;

class TstVerbs : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void help_data();
    void help();
    void usage_data();
    void usage();
    void bothSpellings_data();
    void bothSpellings();
    void failures_data();
    void failures();
    void brokenRegister_data();
    void brokenRegister();
    void restoreAsks_data();
    void restoreAsks();
    void backupsListing();
    void interrupted();
    void noWidgets();

private:
    Run cli(const QString& home, const QStringList& args, const QProcessEnvironment& extra = {}) const;
    static QString registerOf(const QString& home) {
        return home + QStringLiteral("/.local/share/Quenvale/Data/MyDB.db");
    }
    /// A copy of the register holding `count` (2 or 5) questionnaires at `file`.
    void copyRegister(int count, const QString& file) const;
    QTemporaryDir m_root;
    QString m_cli;
};

namespace {

const QStringList kVerbs = {"report", "check",   "export", "export-stats", "backup",
                            "backups", "restore", "merge",  "datasource"};

// Every file and folder below `dir`.
QStringList everything(const QString& dir) {
    QStringList all;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) all << it.next();
    return all;
}

QByteArray contentOf(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

}  // namespace

void TstVerbs::initTestCase() {
    const QString built = QCoreApplication::applicationDirPath();
    if (!QFileInfo::exists(built + "/quenvale-cli") || !QFileInfo::exists(built + "/quenvale-report-preview"))
        QSKIP("quenvale-cli and quenvale-report-preview not built");
    // As the package installs them: the register then lives in the user's home.
    const QString root = m_root.path();
    QVERIFY(QDir().mkpath(root + "/bin") && QDir().mkpath(root + "/libexec/quenvale") &&
            QDir().mkpath(root + "/share/quenvale"));
    QVERIFY(QFile::copy(built + "/quenvale-cli", root + "/bin/quenvale-cli"));
    QVERIFY(QFile::copy(built + "/quenvale-report-preview", root + "/libexec/quenvale/quenvale-report-preview"));
    m_cli = root + "/bin/quenvale-cli";
    for (int count : {2, 5}) clirun::fill(root + QStringLiteral("/%1.db").arg(count), count);
}

void TstVerbs::copyRegister(int count, const QString& file) const {
    QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
    QVERIFY(QFile::copy(m_root.path() + QStringLiteral("/%1.db").arg(count), file));
}

Run TstVerbs::cli(const QString& home, const QStringList& args, const QProcessEnvironment& extra) const {
    QProcessEnvironment env = clirun::userEnvironment(home);
    env.insert(extra);
    return clirun::run(m_cli, args, env);
}

void TstVerbs::help_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("says");  // on stdout, besides the usage line of the verb
    QTest::newRow("overview --help") << QStringList{"--help"} << "备份数据库";
    QTest::newRow("overview -h") << QStringList{"-h"} << "退出状态：0 成功";
    QTest::newRow("overview help") << QStringList{"help"} << "--out=FILE";
    const QStringList says = {"专业及特长人数统计报表", "检查登记册，不做任何改动", "导出问卷",
                              "导出统计表",             "备份数据库",               "最新的在前",
                              "用备份文件 FILE 替换登记册", "逐份问卷合并到本登记册", "数据源设置"};
    for (int i = 0; i < kVerbs.size(); ++i)
        for (const char* flag : {"-h", "--help"})
            QTest::addRow("%s %s", qPrintable(kVerbs[i]), flag) << QStringList{kVerbs[i], flag} << says[i];
    // Asked for among other arguments, even wrong ones, the help is all that happens.
    QTest::newRow("backup --out FILE --help") << QStringList{"backup", "--out", "x.db", "--help"} << "--force";
    QTest::newRow("merge with an unknown option -h") << QStringList{"merge", "--bogus", "-h"} << "--dry-run";
    QTest::newRow("restore FILE -h") << QStringList{"restore", "some.db", "-h"} << "--yes";
}

void TstVerbs::help() {
    QFETCH(QStringList, args);
    QFETCH(QString, says);
    QTemporaryDir home;
    const Run r = cli(home.path(), args);
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    QVERIFY2(r.out.contains(says), qPrintable(r.out));
    if (kVerbs.contains(args.first())) {
        QVERIFY2(r.out.contains(QRegularExpression("^用法：quenvale-cli " + args.first() + "[ \n]")), qPrintable(r.out));
    } else {
        // The overview names every verb with its usage, and what each does.
        for (const QString& verb : kVerbs) {
            QVERIFY2(r.out.contains(QRegularExpression("(^用法：|\n      )quenvale-cli " + verb + "( |\n)")),
                     qPrintable(verb));
            QVERIFY2(r.out.contains(QRegularExpression("\n  " + verb + " +\\S")), qPrintable(verb));
        }
    }
    // It fits a terminal of 80 columns, where a Chinese character takes two.
    for (const QString& line : r.out.split(u'\n')) {
        int columns = 0;
        for (const QChar c : line) columns += c.unicode() >= 0x2E80 ? 2 : 1;
        QVERIFY2(columns <= 80, qPrintable(line));
    }
    // Nothing was opened or made for it.
    QCOMPARE(everything(home.path()), QStringList());
}

void TstVerbs::usage_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("names");  // what the one line must name
    QTest::newRow("no verb") << QStringList{} << "请给出一个命令";
    QTest::newRow("unknown verb") << QStringList{"frobnicate"} << "“frobnicate”";
    QTest::newRow("an option for a verb") << QStringList{"--out", "x"} << "--out";
    for (const QString& verb : kVerbs) {
        QStringList args{verb};
        if (verb == "report") args << "specialty";
        if (verb == "datasource") args << "show";
        QTest::addRow("%s: unknown option", qPrintable(verb)) << (args + QStringList{"--bogus"}) << "不认识的选项 --bogus";
    }
    QTest::newRow("unknown option with a value") << QStringList{"check", "--cvs=x.csv"} << "不认识的选项 --cvs";
    QTest::newRow("unknown single-dash option") << QStringList{"backups", "-x"} << "不认识的选项 -x";
    // An option that takes a value, last.
    QTest::newRow("backup --out") << QStringList{"backup", "--out"} << "--out 后面缺少它的值";
    QTest::newRow("check --csv") << QStringList{"check", "--csv"} << "--csv 后面缺少它的值";
    QTest::newRow("export --out") << QStringList{"export", "--format", "csv", "--out"} << "--out 后面缺少它的值";
    QTest::newRow("export --format") << QStringList{"export", "--out", "x.csv", "--format"} << "--format 后面缺少它的值";
    QTest::newRow("export-stats --out") << QStringList{"export-stats", "--out"} << "--out 后面缺少它的值";
    QTest::newRow("merge --prefer") << QStringList{"merge", "x.db", "--prefer"} << "--prefer 后面缺少它的值";
    QTest::newRow("merge --report") << QStringList{"merge", "x.db", "--report"} << "--report 后面缺少它的值";
    QTest::newRow("report --pdf") << QStringList{"report", "specialty", "--pdf"} << "--pdf 后面缺少它的值";
    // A flag given a value.
    QTest::newRow("backup --force=yes") << QStringList{"backup", "--out", "x.db", "--force=yes"} << "--force 不带值";
    QTest::newRow("restore --yes=1") << QStringList{"restore", "x.db", "--yes=1"} << "--yes 不带值";
    // Positional arguments missing or too many.
    QTest::newRow("restore without FILE") << QStringList{"restore", "--yes"} << "备份文件 FILE";
    QTest::newRow("merge without FILE") << QStringList{"merge", "--dry-run"} << "登记册文件 FILE";
    QTest::newRow("report without its name") << QStringList{"report", "--pdf", "x.pdf"} << "specialty";
    QTest::newRow("datasource alone") << QStringList{"datasource"} << "show、server CONNINFO 或 local";
    QTest::newRow("backup FILE") << QStringList{"backup", "x.db"} << "多余的参数“x.db”";
    QTest::newRow("backups with an argument") << QStringList{"backups", "all"} << "多余的参数“all”";
    QTest::newRow("check with an argument") << QStringList{"check", "x.csv"} << "多余的参数“x.csv”";
    QTest::newRow("restore two files") << QStringList{"restore", "a.db", "b.db"} << "多余的参数“b.db”";
    QTest::newRow("datasource show x") << QStringList{"datasource", "show", "x"} << "多余的参数“x”";
    // Values the verb does not know.
    QTest::newRow("export --format pdf") << QStringList{"export", "--format=pdf", "--out", "x.pdf"} << "--format";
    QTest::newRow("export to no known extension") << QStringList{"export", "--out", "x.txt"} << "--format";
    QTest::newRow("export --layout long") << QStringList{"export", "--layout", "long", "--out", "x.csv"} << "wide 或 tables";
    QTest::newRow("export without --out") << QStringList{"export", "--format", "csv"} << "--out PATH";
    QTest::newRow("export-stats without --out") << QStringList{"export-stats"} << "--out FILE.xlsx";
    QTest::newRow("merge --prefer mine") << QStringList{"merge", "x.db", "--prefer=mine"} << "ours 或 theirs";
    QTest::newRow("report another") << QStringList{"report", "hobbies", "--pdf", "x.pdf"} << "“hobbies”";
    QTest::newRow("report neither") << QStringList{"report", "specialty"} << "--pdf FILE 或 --preview";
    QTest::newRow("report both") << QStringList{"report", "specialty", "--pdf", "x.pdf", "--preview"}
                                 << "--pdf FILE 或 --preview";
    QTest::newRow("report --preview without a display") << QStringList{"report", "specialty", "--preview"}
                                                        << "--preview 需要显示器";
    QTest::newRow("datasource another") << QStringList{"datasource", "remote"} << "“remote”";
    QTest::newRow("datasource server without CONNINFO") << QStringList{"datasource", "server"} << "CONNINFO";
    QTest::newRow("datasource local x") << QStringList{"datasource", "local", "x"} << "多余的参数“x”";
}

void TstVerbs::usage() {
    QFETCH(QStringList, args);
    QFETCH(QString, names);
    QTemporaryDir home;
    const Run r = cli(home.path(), args);
    QVERIFY2(r.exitCode == 2, qPrintable(QString::number(r.exitCode) + r.err));
    QVERIFY2(r.out.isEmpty(), qPrintable(r.out));
    QCOMPARE(r.errLines().size(), 1);
    QVERIFY2(r.err.startsWith("quenvale-cli: ") && r.err.contains(names), qPrintable(r.err));
    // Where to read further: the verb's help, or the overview.
    const QString verb = kVerbs.contains(args.value(0)) ? args.value(0) + ' ' : QString();
    QVERIFY2(r.err.contains("“quenvale-cli " + verb + "--help”"), qPrintable(r.err));
    // A command line that does not fit opens nothing and makes nothing.
    QCOMPARE(everything(home.path()), QStringList());
}

void TstVerbs::bothSpellings_data() {
    QTest::addColumn<QStringList>("args");    // "@" stands for a folder of the test's
    QTest::addColumn<QStringList>("written");  // files that must be there afterwards
    QTest::newRow("backup --out=FILE") << QStringList{"backup", "--out=@/b.db"} << QStringList{"@/b.db"};
    QTest::newRow("check --csv=FILE --force") << QStringList{"check", "--csv=@/c.csv", "--force"} << QStringList{"@/c.csv"};
    QTest::newRow("export, every option with =")
        << QStringList{"export", "--format=csv", "--layout=tables", "--out=@/t.csv"} << QStringList{"@/t.csv", "@/t_Special.csv"};
    QTest::newRow("export, both spellings mixed")
        << QStringList{"export", "--layout", "wide", "--out=@/w.xlsx"} << QStringList{"@/w.xlsx"};
    QTest::newRow("export-stats --out=FILE") << QStringList{"export-stats", "--out=@/s.xlsx"} << QStringList{"@/s.xlsx"};
    QTest::newRow("merge, options before the file")
        << QStringList{"merge", "--prefer=theirs", "--report=@/m.csv", "@/other.db"} << QStringList{"@/m.csv"};
    QTest::newRow("report --pdf=FILE") << QStringList{"report", "specialty", "--pdf=@/r.pdf"} << QStringList{"@/r.pdf"};
    QTest::newRow("an = inside the value")
        << QStringList{"backup", "--out=@/a=b.db"} << QStringList{"@/a=b.db"};
}

void TstVerbs::bothSpellings() {
    QFETCH(QStringList, args);
    QFETCH(QStringList, written);
    QTemporaryDir home, folder;
    copyRegister(2, folder.filePath("other.db"));
    for (QString& a : args) a.replace('@', folder.path());
    const Run r = cli(home.path(), args);
    QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    QVERIFY(!r.out.isEmpty());
    for (QString f : written) {
        f.replace('@', folder.path());
        QVERIFY2(QFileInfo(f).isFile() && QFileInfo(f).size() > 0, qPrintable(f));
        if (f.endsWith(".pdf")) QVERIFY(contentOf(f).startsWith("%PDF-"));
    }
    if (args.first() == "merge") {
        QVERIFY2(r.out.startsWith("新增\t2\n相同\t0\n冲突\t0\n不能导入\t0\n写入\t2"), qPrintable(r.out));
        QCOMPARE(clirun::questionnaires(registerOf(home.path())), 2);
    }
}

void TstVerbs::failures_data() {
    QTest::addColumn<QStringList>("args");  // "@" a folder of the test's, holding offered.db (5
                                            // questionnaires) and notes.txt; the register has 2
    QTest::addColumn<QString>("setUp");     // "server": the data source names a server
    QTest::addColumn<QString>("says");
    QTest::newRow("restore a missing file") << QStringList{"restore", "@/missing.db", "--yes"} << ""
                                            << "找不到所选的文件。未恢复，当前的登记册没有改动。";
    QTest::newRow("restore a text file") << QStringList{"restore", "@/notes.txt", "--yes"} << ""
                                         << "不是数据库文件";
    QTest::newRow("merge a text file") << QStringList{"merge", "@/notes.txt"} << "" << "";
    QTest::newRow("restore without --yes, no terminal")
        << QStringList{"restore", "@/offered.db"} << "" << "没有终端可以询问是否恢复；要恢复，请加上 --yes。未恢复";
    QTest::newRow("backup into a missing folder") << QStringList{"backup", "--out", "@/no/such/b.db"} << "" << "";
    QTest::newRow("export into a missing folder") << QStringList{"export", "--out", "@/no/such/q.csv"} << "" << "";
    QTest::newRow("report into a missing folder") << QStringList{"report", "specialty", "--pdf", "@/no/r.pdf"} << ""
                                                  << "";
    QTest::newRow("merge report over a file") << QStringList{"merge", "@/offered.db", "--report", "@/notes.txt"} << ""
                                              << "已经存在";
    // On a server the file commands say what to use instead.
    QTest::newRow("backup on a server") << QStringList{"backup"} << "server" << "数据库服务器";
    QTest::newRow("backups on a server") << QStringList{"backups"} << "server" << "数据库服务器";
    QTest::newRow("restore on a server") << QStringList{"restore", "@/offered.db", "--yes"} << "server"
                                         << "数据库服务器";
    QTest::newRow("merge on a server") << QStringList{"merge", "@/offered.db"} << "server" << "数据库服务器";
}

void TstVerbs::failures() {
    QFETCH(QStringList, args);
    QFETCH(QString, setUp);
    QFETCH(QString, says);
    QTemporaryDir home, folder;
    const QString file = registerOf(home.path());
    copyRegister(2, file);
    copyRegister(5, folder.filePath("offered.db"));
    {
        QFile notes(folder.filePath("notes.txt"));
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("not a register\n");
    }
    if (setUp == "server") {
        const QString hive = home.path() + "/.config/Quenvale/HKEY_LOCAL_MACHINE.reg";
        QVERIFY(QDir().mkpath(QFileInfo(hive).absolutePath()));
        datasource::setServer("host=/nonexistent dbname=register", hive);
    }
    const QByteArray before = contentOf(file);
    const QStringList folderBefore = everything(folder.path());
    for (QString& a : args) a.replace('@', folder.path());
    const Run r = cli(home.path(), args);
    QVERIFY2(r.exitCode == 1, qPrintable(QString::number(r.exitCode) + r.out + r.err));
    QVERIFY2(r.out.isEmpty(), qPrintable(r.out));
    QVERIFY2(r.errLines().size() == 1, qPrintable(r.err));
    QVERIFY2(r.err.startsWith("quenvale-cli: ") && r.err.contains(says), qPrintable(r.err));
    // Nothing changed: the register, the files offered, the folder written into.
    QVERIFY(contentOf(file) == before);
    QCOMPARE(clirun::questionnaires(file), 2);
    QCOMPARE(everything(folder.path()), folderBefore);
    QCOMPARE(contentOf(folder.filePath("notes.txt")), QByteArray("not a register\n"));
}

void TstVerbs::brokenRegister_data() {
    QTest::addColumn<QString>("setUp");  // "damaged": the register's file is no database;
                                         // "link": it is a symbolic link to a register elsewhere
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");  // on stdout for 0, on stderr otherwise
    const QString unusable = QStringLiteral("无法打开数据库文件");
    const QString link = QStringLiteral("是一个符号链接");
    // What changes the register refuses, with the reason the start-up check gives.
    QTest::newRow("damaged: restore") << "damaged" << QStringList{"restore", "@/offered.db", "--yes"} << 1 << unusable;
    QTest::newRow("damaged: merge") << "damaged" << QStringList{"merge", "@/offered.db"} << 1 << unusable;
    QTest::newRow("damaged: merge --dry-run") << "damaged" << QStringList{"merge", "@/offered.db", "--dry-run"} << 1
                                              << unusable;
    // What reads it fails on its own, in one line.
    QTest::newRow("damaged: check") << "damaged" << QStringList{"check"} << 1 << unusable;
    QTest::newRow("damaged: backup") << "damaged" << QStringList{"backup", "--out", "@/b.db"} << 1 << "备份";
    QTest::newRow("damaged: export") << "damaged" << QStringList{"export", "--out", "@/q.csv"} << 1 << "未导出";
    QTest::newRow("damaged: export-stats") << "damaged" << QStringList{"export-stats", "--out", "@/s.xlsx"} << 1
                                           << "未导出";
    QTest::newRow("damaged: report") << "damaged" << QStringList{"report", "specialty", "--pdf", "@/r.pdf"} << 1
                                     << "没有写出 PDF 文件";
    QTest::newRow("damaged: backups") << "damaged" << QStringList{"backups"} << 0 << "";
    // A link is followed by no verb, not even to read.
    QTest::newRow("link: restore") << "link" << QStringList{"restore", "@/offered.db", "--yes"} << 1 << link;
    QTest::newRow("link: merge") << "link" << QStringList{"merge", "@/offered.db"} << 1 << link;
    QTest::newRow("link: check") << "link" << QStringList{"check"} << 1 << link;
    QTest::newRow("link: backup") << "link" << QStringList{"backup"} << 1 << link;
    QTest::newRow("link: export") << "link" << QStringList{"export", "--out", "@/q.csv"} << 1 << link;
    QTest::newRow("link: report") << "link" << QStringList{"report", "specialty", "--pdf", "@/r.pdf"} << 1 << link;
    // Either way the data source can still be shown and pointed elsewhere.
    for (const char* setUp : {"damaged", "link"}) {
        QTest::addRow("%s: datasource show", setUp) << setUp << QStringList{"datasource", "show"} << 0 << "file ";
        QTest::addRow("%s: datasource local", setUp) << setUp << QStringList{"datasource", "local"} << 0 << "";
    }
}

void TstVerbs::brokenRegister() {
    QFETCH(QString, setUp);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    QTemporaryDir home, folder, elsewhere;
    const QString file = registerOf(home.path());
    QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
    QString kept = file;  // the file that must stay as it is
    if (setUp == "link") {
        kept = elsewhere.filePath("MyDB.db");
        copyRegister(2, kept);
        QVERIFY(QFile::link(kept, file));
    } else {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("SQLite format 3").append(4096 * 3, '\x5a'));
    }
    const QByteArray before = contentOf(kept);
    copyRegister(5, folder.filePath("offered.db"));
    for (QString& a : args) a.replace('@', folder.path());
    const Run r = cli(home.path(), args);
    QVERIFY2(r.exitCode == exitCode, qPrintable(QString::number(r.exitCode) + r.out + r.err));
    if (exitCode == 0) {
        QVERIFY2(r.out.contains(says), qPrintable(r.out));
    } else {
        QVERIFY2(r.out.isEmpty(), qPrintable(r.out));
        QVERIFY2(r.errLines().size() == 1 && r.err.contains(says), qPrintable(r.err));
        QCOMPARE(everything(folder.path()), QStringList{folder.filePath("offered.db")});
    }
    QVERIFY(contentOf(kept) == before);
    QVERIFY(QFileInfo(file).isSymLink() == (setUp == "link"));
}

void TstVerbs::restoreAsks_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("restored");
    QTest::newRow("是") << "是" << true;
    QTest::newRow("y") << "y" << true;
    QTest::newRow("YES") << " YES " << true;
    QTest::newRow("否") << "否" << false;
    QTest::newRow("n") << "n" << false;
    QTest::newRow("only Enter") << "" << false;
    QTest::newRow("something else") << "好的" << false;
}

void TstVerbs::restoreAsks() {
    // On a terminal the summary is shown and the answer awaited; only a yes restores.
    QFETCH(QString, answer);
    QFETCH(bool, restored);
    const QString python = QStringLiteral("/usr/bin/python3");
    if (!QFileInfo::exists(python)) QSKIP("/usr/bin/python3 is missing");
    QTemporaryDir home, folder;
    const QString file = registerOf(home.path());
    copyRegister(2, file);
    copyRegister(5, folder.filePath("offered.db"));
    QProcessEnvironment env = clirun::userEnvironment(home.path());
    env.insert("TERM", "dumb");
    const Run r = clirun::run(python,
                              {QStringLiteral(QUENVALE_SOURCE_DIR "/tests/cli/on_terminal.py"), answer, m_cli,
                               "restore", folder.filePath("offered.db")},
                              env);
    QVERIFY2(r.out.contains("问卷份数：5") && r.out.contains("确实要恢复吗？（是/否）"), qPrintable(r.out));
    if (restored) {
        QVERIFY2(r.exitCode == 0, qPrintable(r.out));
        QVERIFY2(r.out.contains("已从备份 " + folder.filePath("offered.db") + " 恢复 5 份问卷"), qPrintable(r.out));
        QCOMPARE(clirun::questionnaires(file), 5);
    } else {
        QVERIFY2(r.exitCode == 1, qPrintable(r.out));
        QVERIFY2(r.out.contains("quenvale-cli: 未恢复，当前的登记册没有改动。"), qPrintable(r.out));
        QCOMPARE(clirun::questionnaires(file), 2);
        // Not even the copy kept before a restore was made.
        QCOMPARE(QDir(QFileInfo(file).absolutePath() + "/Backup").entryList(QDir::Files), QStringList());
    }
}

void TstVerbs::backupsListing() {
    QTemporaryDir home;
    const QString file = registerOf(home.path());
    copyRegister(2, file);
    // None yet: said in one line beside an empty listing.
    Run r = cli(home.path(), {"backups"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QString());
    QVERIFY2(r.errLines().size() == 1 && r.err.contains("还没有备份"), qPrintable(r.err));
    r = cli(home.path(), {"backup"});
    QCOMPARE(r.exitCode, 0);
    const QString made = r.out.trimmed();
    r = cli(home.path(), {"backups"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    const QStringList fields = r.out.chopped(1).split('\t');
    QCOMPARE(fields.size(), 4);
    QCOMPARE(fields[0], made);
    QVERIFY(QDateTime::fromString(fields[1], "yyyy-MM-dd HH:mm:ss").isValid());
    QCOMPARE(fields[2], QString::number(QFileInfo(made).size()));
    QCOMPARE(fields[3], QStringLiteral("2"));
}

void TstVerbs::interrupted() {
    // Ctrl+C during long work: the work stops, says so in one line, and leaves nothing.
    QTemporaryDir home, folder;
    const QString file = registerOf(home.path());
    copyRegister(2, file);
    {
        // Enough questionnaires for the export to take a moment.
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "big");
        db.setDatabaseName(file);
        QVERIFY(db.open());
        const QString n = "with recursive n(i) as (select 1 union all select i + 1 from n where i < 40000) ";
        QSqlQuery q(db);
        QVERIFY(q.exec(n + "insert into BasicInfo select printf('9%017d', i), '居民', '幸福路', '单位', '010', "
                           "'1', '1', '1', '1', '1', '1' from n"));
        for (const char* t : {"Special", "Love", "Team", "Service", "Train", "Reason"})
            QVERIFY(q.exec(n + QStringLiteral("insert into %1 select printf('9%017d', i), '01', null from n").arg(t)));
    }
    QSqlDatabase::removeDatabase("big");
    QProcess p;
    p.setProcessEnvironment(clirun::userEnvironment(home.path()));
    p.start(m_cli, {"export", "--layout", "tables", "--out", folder.filePath("q.csv")});
    QVERIFY(p.waitForStarted());
    // Its first temporary file shows that the work has begun.
    QTRY_VERIFY_WITH_TIMEOUT(!everything(folder.path()).isEmpty() || p.state() != QProcess::Running, 30000);
    if (p.state() != QProcess::Running) QSKIP("the export was over before it could be interrupted");
    ::kill(pid_t(p.processId()), SIGINT);
    QVERIFY(p.waitForFinished(30000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 1);
    QCOMPARE(err, QStringLiteral("quenvale-cli: 导出已取消：登记册没有改动，也没有留下写了一半的文件。\n"));
    QCOMPARE(p.readAllStandardOutput(), QByteArray());
    QCOMPARE(everything(folder.path()), QStringList());
}

void TstVerbs::noWidgets() {
    const QString ldd = QStandardPaths::findExecutable("ldd");
    if (ldd.isEmpty()) QSKIP("ldd is missing");
    QProcess p;
    p.start(ldd, {m_cli});
    QVERIFY(p.waitForFinished(30000));
    const QString libraries = QString::fromUtf8(p.readAllStandardOutput());
    QVERIFY2(libraries.contains("libQt6Core"), qPrintable(libraries));
    QVERIFY2(!libraries.contains("libQt6Widgets") && !libraries.contains("libQt6PrintSupport"), qPrintable(libraries));
}

QTEST_GUILESS_MAIN(TstVerbs)
#include "tst_verbs.moc"
