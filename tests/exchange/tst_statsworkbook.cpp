// The statistics workbook read back with openpyxl: the same counts as the statistics form,
// the page-one groups, percentages, a chart per page, and no file when it cannot be written.
#include <QJsonArray>
#include <QLineEdit>
#include <QtTest>
#include <memory>

#include "ReadBack.h"
#include "TestDb.h"
#include "exchange/StatsWorkbook.h"
#include "stats/TFrm_Total.h"
#include "stats/TotalPages.h"
#include "store/SqlQuery.h"
#include "store/SurveyStore.h"

using namespace catalogue;

class TstStatsWorkbook : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_db = std::make_unique<TestDb>();
        m_out = std::make_unique<QTemporaryDir>();
    }
    void cleanup() {
        m_db.reset();
        m_out.reset();
    }
    void sameCountsAsTheForm();
    void pageOneGroups();
    void refused_data();
    void refused();

private:
    void seed();
    QJsonArray sheets(const QString& path) {
        return readback::python(QStringLiteral("xlsx"), path).value("sheets").toArray();
    }
    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<QTemporaryDir> m_out;
};

void TstStatsWorkbook::seed() {
    SqlQuery q(QStringLiteral("MyDb"));
    SurveyStore store(q);
    for (int i = 0; i < 4; ++i) {
        Answers a = completeAnswers(QStringLiteral("11010119900101%1").arg(1000 + i));
        a[Age].ticked = {false, false, false, false};
        a[Age].ticked[i % 2] = true;
        a[Flag].ticked = {i < 3, i >= 3};
        a[Duty].ticked.fill(false);
        a[Duty].ticked[i == 0 ? 11 : 9] = true;  // one other (99|...), three "10"
        a[Duty].otherText = QStringLiteral("园艺师");
        a[Special].ticked[4] = i > 0;
        a[Channel].ticked.last() = true;
        a[Channel].otherText = QStringLiteral("网络");
        store.store(a);
    }
    // One option stored in two spellings: "01" and "1" are counted in the same box.
    m_db->exec(QStringLiteral("insert into Special (ID, Code) values ('x', '1')"));
}

void TstStatsWorkbook::sameCountsAsTheForm() {
    seed();
    const QString path = m_out->filePath(QStringLiteral("统计.xlsx"));
    const auto r = exchange::exportStatistics(path);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.questionnaires, 4);
    const QJsonArray s = sheets(path);
    QCOMPARE(s.size(), 1 + 5 + 12);
    QCOMPARE(s[0].toObject().value("name").toString(), QStringLiteral("汇总"));
    const QJsonArray summary = s[0].toObject().value("rows").toArray();
    QCOMPARE(summary[2].toArray()[0].toString(), QStringLiteral("问卷总数"));
    QCOMPARE(summary[2].toArray()[1].toInt(), 4);
    QCOMPARE(summary[7].toArray()[0].toString(), QStringLiteral("是"));
    QCOMPARE(summary[7].toArray()[1].toInt(), 3);
    QCOMPARE(summary[8].toArray()[1].toInt(), 1);
    QCOMPARE(summary[8].toArray()[2].toDouble(), 0.25);

    // Every answer-table sheet says what the statistics form shows.
    TFrm_Total form;
    int sheet = 6;
    for (GroupId g : answerTables()) {
        const QJsonObject o = s[sheet++].toObject();
        QCOMPARE(o.value("charts").toInt(), 1);
        const QJsonArray rows = o.value("rows").toArray();
        const Group& grp = group(g);
        const total::Page* page = nullptr;
        for (const total::Page& p : total::pages())
            if (p.group == g) page = &p;
        QVERIFY(page);
        for (int b = 0; b < int(grp.boxes.size()); ++b) {
            const QJsonArray row = rows[3 + b].toArray();
            QCOMPARE(row[0].toString(), qs(grp.boxes[b].caption));
            const auto* box = form.findChild<QLineEdit*>(total::boxName(*page, b));
            QVERIFY(box);
            QCOMPARE(row[1].toInt(), box->text().toInt());
            QCOMPARE(row[2].toDouble(), box->text().toDouble() / 4.0);
        }
    }
    // Spot checks written out: 医疗护理 1+4 ("01" four times, "1" once), 计算机 3, 渠道 other 4.
    QCOMPARE(s[6].toObject().value("rows").toArray()[3].toArray()[1].toInt(), 5);
    QCOMPARE(s[6].toObject().value("rows").toArray()[7].toArray()[1].toInt(), 3);
    QCOMPARE(s[17].toObject().value("rows").toArray()[8].toArray()[0].toString(), QStringLiteral("其它"));
    QCOMPARE(s[17].toObject().value("rows").toArray()[8].toArray()[1].toInt(), 4);
}

void TstStatsWorkbook::pageOneGroups() {
    seed();
    const QString path = m_out->filePath(QStringLiteral("s.xlsx"));
    QVERIFY(exchange::exportStatistics(path).ok);
    const QJsonArray s = sheets(path);
    auto count = [&](int sheet, int box) {
        return s[sheet].toObject().value("rows").toArray()[3 + box].toArray()[1].toInt();
    };
    QCOMPARE(s[1].toObject().value("name").toString(), QStringLiteral("年龄"));
    QCOMPARE(count(1, 0), 2);
    QCOMPARE(count(1, 1), 2);
    QCOMPARE(count(1, 2), 0);
    QCOMPARE(s[4].toObject().value("name").toString(), QStringLiteral("职业"));
    QCOMPARE(count(4, 9), 3);   // 无业人员 ("10")
    QCOMPARE(count(4, 11), 1);  // 其它 ("99|园艺师")
    QCOMPARE(count(4, 0), 0);
    for (int i = 1; i <= 5; ++i) QCOMPARE(s[i].toObject().value("charts").toInt(), 1);
}

void TstStatsWorkbook::refused_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("message");
    QTest::newRow("a folder") << "@"
                              << "是一个文件夹";
    QTest::newRow("folder missing") << "missing/s.xlsx"
                                    << "不存在";
}

void TstStatsWorkbook::refused() {
    QFETCH(QString, target);
    QFETCH(QString, message);
    const QString path = target == QLatin1String("@") ? m_out->path() : m_out->filePath(target);
    const auto r = exchange::exportStatistics(path);
    QVERIFY(!r.ok);
    QVERIFY2(r.error.contains(message), qPrintable(r.error));
    QVERIFY(QDir(m_out->path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

QTEST_MAIN(TstStatsWorkbook)
#include "tst_statsworkbook.moc"
