// quenvale-cli export and export-stats: usage, exit status, output, and the clear line on
// failure. Runs the real executable with a home folder of its own.
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

private:
    QString m_cli;
    QTemporaryDir m_home;
};

void TstExportCli::status_data() {
    QTest::addColumn<QStringList>("args");  // "@" stands for the temporary folder
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stdoutHas");
    QTest::addColumn<QString>("stderrHas");
    QTest::newRow("help") << QStringList{"export", "--help"} << 0 << "--layout"
                          << "";
    QTest::newRow("stats help") << QStringList{"export-stats", "--help"} << 0 << "--out FILE"
                                << "";
    QTest::newRow("unknown format") << QStringList{"export", "--format", "pdf", "--out", "@/x.pdf"} << 2 << ""
                                    << "give --format xlsx, csv, csv-plain, sav or dta";
    QTest::newRow("no format, an extension that names none")
        << QStringList{"export", "--out", "@/x.txt"} << 2 << ""
        << "give --format";
    QTest::newRow("unknown layout") << QStringList{"export", "--format", "csv",    "--layout",
                                                   "long",   "--out",    "@/x.csv"}
                                    << 2 << ""
                                    << "--layout is wide or tables";
    QTest::newRow("no target") << QStringList{"export", "--format", "csv"} << 2 << ""
                               << "give --out PATH";
    QTest::newRow("target a folder") << QStringList{"export", "--format", "xlsx", "--out", "@"} << 1 << ""
                                     << "是一个文件夹";
    QTest::newRow("csv") << QStringList{"export", "--format", "csv", "--layout", "tables", "--out", "@/t.csv"}
                         << 0 << "份问卷"
                         << "";
    QTest::newRow("stats") << QStringList{"export-stats", "--out", "@/s.xlsx"} << 0 << "份问卷"
                           << "";
    QTest::newRow("stats into a folder") << QStringList{"export-stats", "--out", "@"} << 1 << ""
                                         << "是一个文件夹";
}

void TstExportCli::status() {
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, stdoutHas);
    QFETCH(QString, stderrHas);
    QTemporaryDir out;
    for (QString& a : args) a.replace(u'@', out.path());
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.path() + QStringLiteral("/data"));
    p.setProcessEnvironment(env);
    p.start(m_cli, args);
    QVERIFY(p.waitForFinished(60000));
    const QString said = QString::fromUtf8(p.readAllStandardOutput());
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(p.exitCode() == exitCode, qPrintable(said + err));
    QVERIFY2(said.contains(stdoutHas), qPrintable(said));
    QVERIFY2(err.contains(stderrHas), qPrintable(err));
    if (exitCode != 0) QVERIFY(said.isEmpty());                   // nothing but the reason, on stderr
    if (exitCode == 0) QVERIFY2(err.isEmpty(), qPrintable(err));  // no progress line off a terminal
}

QTEST_GUILESS_MAIN(TstExportCli)
#include "tst_exportcli.moc"
