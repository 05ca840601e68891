// quenvale-cli export and export-stats, and the target rule of every verb that writes a file
// (export, export-stats, check --csv, merge --report, backup --out, report --pdf): usage, exit
// status, output, the clear line on failure, and what is left in the folder. Runs the real
// executable with a home folder of its own.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TstExportCli : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        m_cli = QCoreApplication::applicationDirPath() + QStringLiteral("/quenvale-cli");
        if (!QFileInfo::exists(m_cli)) QSKIP("quenvale-cli not built");
    }
    void status_data();
    void status();
    void nameNotUtf8_data();
    void nameNotUtf8();

private:
    std::tuple<int, QString, QString> run(const QStringList& args);
    QProcessEnvironment environment() const;
    QString m_cli;
    QTemporaryDir m_home;
};

void TstExportCli::status_data() {
    QTest::addColumn<QStringList>("args");  // "@" stands for the temporary folder
    QTest::addColumn<int>("exitCode");      // -1: 0 or 1 (the data check says whether it found something)
    QTest::addColumn<QString>("stdoutHas");
    QTest::addColumn<QString>("stderrHas");
    // Made in the folder first: "old:NAME" a file of its own, "link:NAME" a symbolic link to a file
    // elsewhere, "register:NAME" a copy of the register (to merge). Files of the user stay as
    // they were unless the row's exit status is 0 and --force was given.
    QTest::addColumn<QString>("prepare");
    QTest::newRow("help") << QStringList{"export", "--help"} << 0 << "--layout L   wide：每份问卷一行"
                          << ""
                          << "";
    QTest::newRow("stats help") << QStringList{"export-stats", "--help"} << 0 << "--out FILE   要写的 Excel 工作簿"
                                << ""
                                << "";
    QTest::newRow("unknown format") << QStringList{"export", "--format", "pdf", "--out", "@/x.pdf"} << 2 << ""
                                    << "请用 --format 给出 xlsx、csv、csv-plain、sav 或 dta"
                                    << "";
    QTest::newRow("no format, an extension that names none")
        << QStringList{"export", "--out", "@/x.txt"} << 2 << ""
        << "请用 --format"
        << "";
    QTest::newRow("unknown layout") << QStringList{"export", "--format", "csv",    "--layout",
                                                   "long",   "--out",    "@/x.csv"}
                                    << 2 << ""
                                    << "--layout 只能是 wide 或 tables"
                                    << "";
    QTest::newRow("no target") << QStringList{"export", "--format", "csv"} << 2 << ""
                               << "请用 --out PATH"
                               << "";
    QTest::newRow("target a folder") << QStringList{"export", "--format", "xlsx", "--out", "@"} << 1 << ""
                                     << "是一个文件夹"
                                     << "";
    QTest::newRow("csv") << QStringList{"export", "--format", "csv", "--layout", "tables", "--out", "@/t.csv"}
                         << 0 << "份问卷"
                         << ""
                         << "";
    QTest::newRow("stats") << QStringList{"export-stats", "--out", "@/s.xlsx"} << 0 << "份问卷"
                           << ""
                           << "";
    QTest::newRow("stats into a folder") << QStringList{"export-stats", "--out", "@"} << 1 << ""
                                         << "是一个文件夹"
                                         << "";

    // The target rule, the same for every writer.
    const QString old = QStringLiteral("old:");
    const QString link = QStringLiteral("link:");
    QTest::newRow("export: format from the extension")
        << QStringList{"export", "--out", "@/x.sav"} << 0 << "x.sav"
        << ""
        << "";
    QTest::newRow("export: csv-plain")
        << QStringList{"export", "--format", "csv-plain", "--out", "@/p.csv"} << 0 << "p.csv"
        << ""
        << "";
    QTest::newRow("export: an existing file") << QStringList{"export", "--out", "@/a.csv"} << 1 << ""
                                              << "已经存在" << old + "a.csv";
    QTest::newRow("export: replaced with --force")
        << QStringList{"export", "--out", "@/a.csv", "--force"} << 0 << "a.csv"
        << "" << old + "a.csv";
    QTest::newRow("export: a link, even with --force")
        << QStringList{"export", "--out", "@/a.csv", "--force"} << 1 << ""
        << "符号链接" << link + "a.csv";
    QTest::newRow("export: the extension of another format")
        << QStringList{"export", "--format", "csv", "--out", "@/x.xlsx"} << 1 << ""
        << "扩展名"
        << "";
    QTest::newRow("export-stats: an existing file")
        << QStringList{"export-stats", "--out", "@/s.xlsx"} << 1 << ""
        << "已经存在" << old + "s.xlsx";
    QTest::newRow("export-stats: replaced with --force")
        << QStringList{"export-stats", "--out", "@/s.xlsx", "--force"} << 0 << "s.xlsx"
        << "" << old + "s.xlsx";
    QTest::newRow("export-stats: a link")
        << QStringList{"export-stats", "--out", "@/s.xlsx", "--force"} << 1 << ""
        << "符号链接" << link + "s.xlsx";
    QTest::newRow("export-stats: a CSV name") << QStringList{"export-stats", "--out", "@/s.csv"} << 1 << ""
                                              << "扩展名"
                                              << "";
    QTest::newRow("check: an existing list") << QStringList{"check", "--csv", "@/c.csv"} << 1 << ""
                                             << "已经存在" << old + "c.csv";
    QTest::newRow("check: replaced with --force")
        << QStringList{"check", "--csv", "@/c.csv", "--force"} << -1 << "问卷"
        << "" << old + "c.csv";
    QTest::newRow("check: a link") << QStringList{"check", "--csv", "@/c.csv", "--force"} << 1 << ""
                                   << "符号链接" << link + "c.csv";
    QTest::newRow("check: a workbook name") << QStringList{"check", "--csv", "@/c.xlsx"} << 1 << ""
                                            << "扩展名"
                                            << "";
    QTest::newRow("merge: an existing report")
        << QStringList{"merge", "@/other.db", "--dry-run", "--report", "@/m.csv"} << 1 << ""
        << "已经存在"
        << "register:other.db " + old + "m.csv";
    QTest::newRow("merge: replaced with --force")
        << QStringList{"merge", "@/other.db", "--dry-run", "--report", "@/m.csv", "--force"} << 0 << "新增\t0"
        << ""
        << "register:other.db " + old + "m.csv";
    QTest::newRow("merge: a link") << QStringList{"merge",    "@/other.db", "--dry-run",
                                                  "--report", "@/m.csv",    "--force"}
                                   << 1 << ""
                                   << "符号链接"
                                   << "register:other.db " + link + "m.csv";
    QTest::newRow("backup: an existing file") << QStringList{"backup", "--out", "@/b.db"} << 1 << ""
                                              << "已经存在" << old + "b.db";
    QTest::newRow("backup: replaced with --force")
        << QStringList{"backup", "--out", "@/b.db", "--force"} << 0 << "b.db"
        << "" << old + "b.db";
    QTest::newRow("backup: a link") << QStringList{"backup", "--out", "@/b.db", "--force"} << 1 << ""
                                    << "符号链接" << link + "b.db";
    QTest::newRow("backup: a CSV name") << QStringList{"backup", "--out", "@/b.csv"} << 1 << ""
                                        << "扩展名"
                                        << "";
    QTest::newRow("report: an existing file")
        << QStringList{"report", "specialty", "--pdf", "@/r.pdf"} << 1 << ""
        << "已经存在" << old + "r.pdf";
    QTest::newRow("report: replaced with --force")
        << QStringList{"report", "specialty", "--pdf", "@/r.pdf", "--force"} << 0 << "r.pdf"
        << "" << old + "r.pdf";
    QTest::newRow("report: a link") << QStringList{"report", "specialty", "--pdf", "@/r.pdf", "--force"} << 1
                                    << ""
                                    << "符号链接" << link + "r.pdf";
    QTest::newRow("report: a workbook name")
        << QStringList{"report", "specialty", "--pdf", "@/r.xlsx"} << 1 << ""
        << "扩展名"
        << "";
}

void TstExportCli::status() {
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, stdoutHas);
    QFETCH(QString, stderrHas);
    QFETCH(QString, prepare);
    QTemporaryDir out;
    QTemporaryDir elsewhere;
    const QString pointed = elsewhere.filePath(QStringLiteral("not-ours"));
    QMap<QString, QByteArray> kept;  // path -> content that must stay
    {
        QFile f(pointed);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not ours to overwrite");
        kept[pointed] = "not ours to overwrite";
    }
    for (const QString& step : prepare.split(u' ', Qt::SkipEmptyParts)) {
        const QString kind = step.section(u':', 0, 0), name = out.filePath(step.section(u':', 1));
        if (kind == QLatin1String("old")) {
            QFile f(name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("the user's own file");
            kept[name] = "the user's own file";
        } else if (kind == QLatin1String("link")) {
            QVERIFY(QFile::link(pointed, name));
        } else if (kind == QLatin1String("register")) {
            QVERIFY2(std::get<0>(run({QStringLiteral("backup"), QStringLiteral("--out"), name})) == 0,
                     "a register to merge");
        }
    }
    for (QString& a : args) a.replace(u'@', out.path());
    const auto [code, said, err] = run(args);
    if (exitCode >= 0) QVERIFY2(code == exitCode, qPrintable(said + err));
    if (exitCode < 0) QVERIFY2(code == 0 || code == 1, qPrintable(said + err));
    QVERIFY2(said.contains(stdoutHas), qPrintable(said));
    QVERIFY2(err.contains(stderrHas), qPrintable(err));
    if (exitCode > 0) QVERIFY(said.isEmpty());                    // nothing but the reason, on stderr
    if (exitCode == 0) QVERIFY2(err.isEmpty(), qPrintable(err));  // no progress line off a terminal
    const bool replaced = exitCode != 1 && args.contains(QStringLiteral("--force"));
    for (auto it = kept.cbegin(); it != kept.cend(); ++it) {
        QFile f(it.key());
        QVERIFY(f.open(QIODevice::ReadOnly));
        if (replaced && it.key() != pointed)
            QVERIFY2(f.readAll() != it.value(), qPrintable(it.key()));
        else
            QVERIFY2(f.readAll() == it.value(), qPrintable(it.key()));
    }
    // Never a temporary left behind.
    for (const QString& n : QDir(out.path()).entryList(QDir::Files | QDir::Hidden | QDir::System))
        QVERIFY2(!n.contains(QLatin1String(".quenvale-")), qPrintable(n));
}

void TstExportCli::nameNotUtf8_data() {
    QTest::addColumn<QString>("verb");  // the command before the name, for the shell
    QTest::newRow("export") << "export --format csv --out";
    QTest::newRow("export-stats") << "export-stats --out";
    QTest::newRow("check") << "check --csv";
    // The name joined to its option: the same bytes after the "=".
    QTest::newRow("export --out=") << "export --format csv --out=";
    QTest::newRow("check --csv=") << "check --csv=";
}

void TstExportCli::nameNotUtf8() {
    // A name in bytes that are no UTF-8 (as an old USB stick's folder may have): written under
    // exactly that name, or refused; never written under another name with success said.
    QFETCH(QString, verb);
    QTemporaryDir out;
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"),
             QStringLiteral("exec \"$0\" %1\"$1/$(printf 'n\\377me.csv')\"").arg(verb.endsWith(u'=') ? verb : verb + u' '),
             m_cli, out.path()});
    QVERIFY(p.waitForFinished(60000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QCOMPARE(p.exitCode(), 1);
    QVERIFY2(err.contains(QStringLiteral("不是 UTF-8")), qPrintable(err));
    QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
}

std::tuple<int, QString, QString> TstExportCli::run(const QStringList& args) {
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(m_cli, args);
    if (!p.waitForFinished(60000)) return {-1, QString(), QStringLiteral("timed out")};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QProcessEnvironment TstExportCli::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.path() + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_STATE_HOME"), m_home.path() + QStringLiteral("/state"));
    // The report renders with Qt's GUI, which asks for a runtime folder of the user's own.
    const QString runtime = m_home.path() + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    return env;
}

QTEST_GUILESS_MAIN(TstExportCli)
#include "tst_exportcli.moc"
