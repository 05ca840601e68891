// Damaged and unavailable database files: nothing crashes, no existing file is overwritten,
// filled or repaired, and each form reports its own fixed message.
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "TestDb.h"
#include "app/TFrm_Main.h"
#include "core/report/TalentReport.h"
#include "core/store/Connection.h"
#include "core/store/Registry.h"
#include "core/store/SqlQuery.h"
#include "core/store/SurveyStore.h"
#include "gui/forms/QuestionnairePages.h"
#include "gui/forms/TFrm_Edit.h"
#include "gui/forms/TFrm_New.h"
#include "gui/forms/TFrm_Query.h"
#include "gui/stats/TFrm_Total.h"
#include "gui/ui/ScriptedPrompt.h"

namespace {

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool setImmutable(const QString& path, bool on) {
    QProcess p;
    p.start("chattr", {on ? "+i" : "-i", path});
    return p.waitForFinished() && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

void typeQuestionnaire(QWidget* form, const Answers& a) {
    auto* pages = form->findChild<QuestionnairePages*>("PageControl1");
    pages->idEdit()->setText(a.id);
    pages->load(a);
}

const QStringList kNewFailures = {"新增失败！,请检查身份证号码！", "新增失败,请检查身份证号码！",
                                  "新增失败！"};

}  // namespace

class TstDamaged : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void formsReportDamage_data() {
        QTest::addColumn<QString>("kind");
        for (const char* k : {"missing", "read-only", "zero-length", "not a database", "truncated", "locked"})
            QTest::newRow(k) << QString(k);
    }
    void formsReportDamage() {
        QFETCH(QString, kind);
        TestDb db;
        {
            SqlQuery q("MyDb");
            SurveyStore store(q);
            for (int i = 0; i < 40; ++i) store.store(completeAnswers(QString::number(100 + i)));
        }
        connection::closeAll();  // checkpoints the log into the file
        QProcess locker;
        bool immutable = false;
        if (kind == "missing") {
            QFile::remove(db.file());
        } else if (kind == "read-only") {
            immutable = setImmutable(db.file(), true);
            if (!immutable) {
                if (::geteuid() == 0) QSKIP("cannot make a file read-only for root here (no chattr)");
                QFile::setPermissions(db.file(), QFileDevice::ReadOwner);
            }
        } else if (kind == "zero-length") {
            QFile::resize(db.file(), 0);
        } else if (kind == "not a database") {
            QFile f(db.file());
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QByteArray("居民名单\n张三,幸福路1号\n").repeated(500));
        } else if (kind == "truncated") {
            QFile::resize(db.file(), QFileInfo(db.file()).size() / 2);
        } else if (kind == "locked") {
            locker.start("sqlite3", {db.file()});
            QVERIFY2(locker.waitForStarted(), "sqlite3 is needed for this test");
            locker.write("BEGIN IMMEDIATE;\n.print locked\n");
            QVERIFY(locker.waitForReadyRead(5000));
            QCOMPARE(locker.readAllStandardOutput().trimmed(), QByteArray("locked"));
        }
        const QByteArray before = bytesOf(db.file());
        ScriptedPrompt prompt;

        // New form: its failure message, nothing stored, the questionnaire still on screen.
        {
            TFrm_New form;
            typeQuestionnaire(&form, completeAnswers("200"));
            QElapsedTimer timer;
            timer.start();
            form.Button1Click();
            const qint64 waited = timer.elapsed();
            QCOMPARE(prompt.messages().size(), 1);
            QVERIFY2(kNewFailures.contains(prompt.messages()[0].text), qPrintable(prompt.messages()[0].text));
            QCOMPARE(form.findChild<QuestionnairePages*>("PageControl1")->idEdit()->text(), QString("200"));
            // A locked file holds a form up for the busy timeout at most (3 s), never longer.
            QVERIFY2(waited < 3000 + 2000, qPrintable(QString::number(waited)));
            if (kind == "locked") qInfo("locked file: the New form reported after %lld ms", waited);
        }
        // Query form: lookup and delete each report with the form's own texts.
        prompt.clear();
        {
            TFrm_Query form;
            form.findChild<QLineEdit*>("Edt_ID")->setText("100");
            form.Btn_QryClick();
            form.findChild<QPushButton*>("Btn_Delete")->setEnabled(true);
            prompt.answerConfirmations({true});
            form.Btn_DeleteClick();
            const QStringList texts = prompt.texts();
            QVERIFY(!texts.isEmpty());
            QCOMPARE(texts.last(), QString("删除失败！"));
            for (const QString& t : texts.mid(0, texts.size() - 1))
                QVERIFY2(
                    QStringList({"查询失败！", "没有符合条件的记录", "你真的要删除此条记录吗？"}).contains(t),
                    qPrintable(t));
        }
        // Edit form: the lookup's texts only.
        prompt.clear();
        {
            TFrm_Edit form;
            form.findChild<QLineEdit*>("Edt_ID")->setText("100");
            form.Btn_QryClick();
            for (const QString& t : prompt.texts())
                QVERIFY2(QStringList({"查询失败！", "没有符合条件的记录"}).contains(t), qPrintable(t));
        }
        // Statistics: silence; the report: one error box at most, then its (empty) page.
        prompt.clear();
        {
            TFrm_Total form;
            QVERIFY(prompt.messages().isEmpty());
        }
        QTemporaryDir out;
        talentreport::exportPdf(out.path() + "/r.pdf");
        QVERIFY(prompt.messages().size() <= 1);

        QCOMPARE(bytesOf(db.file()), before);  // never overwritten, filled or repaired
        if (kind == "missing") QVERIFY(!QFile::exists(db.file()));

        // Start-up still brings up the main window, and says once, naming the file, that the
        // database cannot be used (a missing file is simply made anew).
        prompt.clear();
        connection::closeAll();
        {
            Registry hive(db.dir() + "/other-hive.reg");
            TFrm_Main main(nullptr, db.dir(), &hive);
            main.show();
            QVERIFY(QTest::qWaitForWindowExposed(&main));
        }
        if (kind == "missing") {
            QVERIFY(prompt.messages().isEmpty());
        } else {
            QCOMPARE(prompt.messages().size(), 1);
            QCOMPARE(prompt.messages()[0].kind, ScriptedPrompt::Kind::Fail);
            QVERIFY2(prompt.messages()[0].text.contains(db.file()), qPrintable(prompt.messages()[0].text));
        }
        if (kind != "missing")
            QCOMPARE(bytesOf(db.file()), before);
        else
            QVERIFY(QFileInfo(db.file()).size() > 0);  // only a missing file is made anew

        if (immutable) setImmutable(db.file(), false);
        if (locker.state() == QProcess::Running) {
            locker.closeWriteChannel();
            locker.kill();
            locker.waitForFinished();
        }
    }

    void unwritableDataFolder() {
        QTemporaryDir dir;
        QFile blocker(dir.path() + "/Data");
        QVERIFY(blocker.open(QIODevice::WriteOnly));  // a file where the Data folder belongs
        blocker.close();
        ScriptedPrompt prompt;
        Registry hive(dir.path() + "/hive.reg");
        TFrm_Main main(nullptr, dir.path(), &hive);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QVERIFY(prompt.messages().isEmpty());
        const QString dbq = hive.readValue("\\SoftWare\\ODBC\\ODBC.ini\\Velmora", "DBQ").toString();
        QVERIFY2(!dbq.startsWith(dir.path()), qPrintable(dbq));  // the per-user folder is named instead
        QVERIFY(QFileInfo(dbq).isFile());
    }
};

QTEST_MAIN(TstDamaged)
#include "tst_damaged.moc"
