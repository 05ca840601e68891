#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "TestDb.h"
#include "app/Fonts.h"
#include "stats/TFrm_Report.h"
#include "stats/TalentReport.h"
#include "ui/ScriptedPrompt.h"

namespace {

using Row = QPair<QString, QString>;  // name, count as printed
using Rows = QList<Row>;
using Stored = QList<QPair<QString, int>>;  // code, how many questionnaires ticked it

// The category names by code, as the printed report must show them.
const QList<QPair<QString, QString>> kNames = {
    {"01", "医疗护理"}, {"02", "法律"},     {"03", "教育"},           {"04", "金融"},
    {"05", "计算机"},   {"06", "电器维修"}, {"07", "体育运动"},       {"08", "音乐"},
    {"09", "科普"},     {"10", "农艺"},     {"11", "书画及美术设计"}, {"12", "政治理论"},
    {"13", "心理咨询"}, {"14", "建筑装潢"}, {"15", "办公室技能"},     {"16", "舞蹈"},
    {"17", "驾驶"},     {"18", "外语"},     {"19", "家政"},           {"20", "传播(如编辑、表演)"},
    {"99", "其它"},
};

int g_id = 0;

// Stores `count` specialty answers with `code`, each for another questionnaire.
void seed(TestDb& db, const QString& code, int count) {
    for (int i = 0; i < count; ++i)
        db.exec(QStringLiteral("insert into Special (ID, Code, Name) values (?, ?, '')"),
                {QStringLiteral("1101011990%08d").arg(++g_id), code});
}

// Every code once more than the one before: "01" once ... "99" 21 times.
void seedAll(TestDb& db) {
    for (int i = 0; i < kNames.size(); ++i) seed(db, kNames[i].first, i + 1);
}

Rows walk(TFrm_Report& form) {
    Rows rows;
    for (form.first(); !form.eof(); form.next())
        rows << Row{form.displayText(QStringLiteral("Name")), form.displayText(QStringLiteral("icount"))};
    return rows;
}

QString pdfText(const QString& file) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

}  // namespace

class TstTalentReport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QUENVALE_SKIP_WITHOUT_ENGINE();
        fonts::install();
    }
    void init() { Prompt::install(&m_prompt); }
    void cleanup() {
        Prompt::install(nullptr);
        m_prompt.clear();
    }

    void rows_data() {
        QTest::addColumn<Stored>("stored");
        QTest::addColumn<Rows>("printed");
        QTest::newRow("empty") << Stored{} << Rows{};
        QTest::newRow("01 08 99") << Stored{{"99", 2}, {"08", 1}, {"01", 3}}
                                  << Rows{{"医疗护理", "3"}, {"音乐", "1"}, {"其它", "2"}};
        QTest::newRow("unknown code") << Stored{{"42", 4}, {"02", 1}} << Rows{{"法律", "1"}, {"", "4"}};
        QTest::newRow("not a number")
            << Stored{{"x1", 2}, {"20", 1}} << Rows{{"传播(如编辑、表演)", "1"}, {"", "2"}};
        QTest::newRow("no grouping") << Stored{{"05", 1234}} << Rows{{"计算机", "1234"}};
        Rows all;
        for (int i = 0; i < kNames.size(); ++i) all << Row{kNames[i].second, QString::number(i + 1)};
        Stored every;
        for (int i = 0; i < kNames.size(); ++i) every << qMakePair(kNames[i].first, i + 1);
        QTest::newRow("every code") << every << all;
    }
    void rows() {
        QFETCH(Stored, stored);
        QFETCH(Rows, printed);
        TestDb db;
        for (const auto& [code, count] : stored) seed(db, code, count);
        TFrm_Report form;
        QCOMPARE(form.objectName(), QStringLiteral("Frm_Report"));
        QCOMPARE(walk(form), printed);
        // A second walk runs the statement again and sees the same rows.
        QCOMPARE(walk(form), printed);
        QVERIFY(m_prompt.messages().isEmpty());
    }

    void codeText_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("01") << "01"
                            << "代码1";
        QTest::newRow("02") << "02"
                            << "代码2";
        QTest::newRow("99") << "99"
                            << "其他";
        QTest::newRow("03") << "03"
                            << "";
        QTest::newRow("20") << "20"
                            << "";
        QTest::newRow("not a number") << "ab"
                                      << "";
    }
    void codeText() {
        QFETCH(QString, code);
        QFETCH(QString, text);
        TestDb db;
        seed(db, code, 1);
        TFrm_Report form;
        form.first();
        QVERIFY(!form.eof());
        QCOMPARE(form.displayText(QStringLiteral("Code")), text);
    }

    // The query that cannot be opened: the error box, then the empty report all the same.
    void queryFails() {
        TestDb db(false);
        // An empty server database would get its tables; one lone table makes it unusable.
        if (TestDb::isServer()) db.exec("CREATE TABLE Love (ID TEXT)");
        TFrm_Report form;
        QCOMPARE(m_prompt.messages().size(), 1);
        QCOMPARE(m_prompt.messages()[0].kind, ScriptedPrompt::Kind::Fail);
        QVERIFY(form.eof());
        const QList<report::PageLayout> pages = form.Rpt_Special.layout();
        QCOMPARE(pages.size(), 1);
        QList<report::BandKind> kinds;
        for (const report::PlacedBand& b : pages[0].bands) kinds << b.kind;
        QCOMPARE(kinds,
                 (QList<report::BandKind>{report::BandKind::PageHeader, report::BandKind::Title,
                                          report::BandKind::ColumnHeader, report::BandKind::PageFooter}));
    }

    void pdf() {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext is not installed");
        TestDb db;
        seedAll(db);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("special.pdf"));
        QString error;
        QVERIFY2(talentreport::exportPdf(file, &error), qPrintable(error));
        QString text = pdfText(file);
        QVERIFY(text.contains(QStringLiteral("Marrowgate街道办事处")));
        QVERIFY(text.contains(QStringLiteral("专业及特长人数统计")));
        QVERIFY(text.contains(QStringLiteral("人数")));
        QCOMPARE(text.count(u'\f'), 1);  // one page for 21 rows
        for (int i = 0; i < kNames.size(); ++i) {
            const QRegularExpression row(QRegularExpression::escape(kNames[i].second) +
                                         QStringLiteral("\\s+") + QString::number(i + 1) +
                                         QStringLiteral("\\s*\\n"));
            QVERIFY2(text.contains(row), qPrintable(kNames[i].second));
        }

        // Newly stored questionnaires show in the next rendering.
        seed(db, QStringLiteral("08"), 100);
        seed(db, QStringLiteral("77"), 5);
        QVERIFY(talentreport::exportPdf(file, &error));
        text = pdfText(file);
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("音乐\\s+108\\s*\\n"))));
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("\\n\\s+5\\s*\\n"))));
        QVERIFY(!text.contains(QRegularExpression(QStringLiteral("音乐\\s+8\\s*\\n"))));
    }

    void pdfToUnwritableFile() {
        TestDb db;
        QString error;
        QVERIFY(!talentreport::exportPdf(QStringLiteral("/nonexistent-folder/special.pdf"), &error));
        QVERIFY(!error.isEmpty());
    }

    void preview_data() {
        QTest::addColumn<bool>("databaseMissing");
        QTest::addColumn<int>("failures");
        QTest::newRow("rows") << false << 0;
        QTest::newRow("query fails") << true << 1;
    }
    // The preview opens over its parent, titled, at 100 %, and returns when it is closed;
    // the report form is gone afterwards.
    void preview() {
        QFETCH(bool, databaseMissing);
        QFETCH(int, failures);
        TestDb db(!databaseMissing);
        if (!databaseMissing) seedAll(db);
        if (databaseMissing && TestDb::isServer()) db.exec("CREATE TABLE Love (ID TEXT)");
        QWidget host;
        QString title;
        double zoom = 0;
        int pages = -1;
        QPageSize::PageSizeId paper = QPageSize::Custom;
        bool formAlive = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* dialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            title = dialog->windowTitle();
            if (auto* view = dialog->findChild<QPrintPreviewWidget*>()) {
                zoom = view->zoomFactor();
                pages = view->pageCount();
            }
            paper = dialog->printer()->pageLayout().pageSize().id();
            for (QWidget* w : QApplication::allWidgets())
                if (w->objectName() == QLatin1String("Frm_Report")) formAlive = true;
            dialog->close();
        });
        poll.start(0);
        talentreport::preview(&host);
        poll.stop();
        QCOMPARE(title, QStringLiteral("报表预览和打印"));
        QCOMPARE(zoom, 1.0);
        QCOMPARE(pages, 1);
        QCOMPARE(paper, QPageSize::A4);
        QVERIFY(formAlive);
        QCOMPARE(int(m_prompt.messages().size()), failures);
        for (QWidget* w : QApplication::allWidgets()) QVERIFY(w->objectName() != QLatin1String("Frm_Report"));
    }

private:
    ScriptedPrompt m_prompt;
};

QTEST_MAIN(TstTalentReport)
#include "tst_talentreport.moc"
