// The statistics workbook read back with openpyxl: the same counts as the statistics form,
// the page-one groups, percentages, a chart per page, and no file when it cannot be written.
#include <QJsonArray>
#include <QLineEdit>
#include <QtTest>
#include <memory>

#include "ReadBack.h"
#include "TestDb.h"
#include "core/exchange/StatsWorkbook.h"
#include "core/store/SqlQuery.h"
#include "core/store/SurveyStore.h"
#include "gui/stats/TFrm_Total.h"
#include "gui/stats/TotalPages.h"

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
    void oddValuesAreListed();
    void readFailureNamesThePage();
    void refused_data();
    void refused();

private:
    void seed();
    QJsonArray sheets(const QString& path) {
        return readback::python(QStringLiteral("xlsx"), path).value("sheets").toArray();
    }
    // True when the sheet has one chart, of exactly its options: their captions and their counts.
    static bool chartDrawsOptions(const QJsonObject& sheet, int options) {
        const QString at = QStringLiteral("'%1'!$%2$4:$%2$%3").arg(sheet.value("name").toString());
        const QJsonArray ranges = sheet.value("chartRanges").toArray();
        return ranges.size() == 1 &&
               ranges[0].toArray() == QJsonArray{at.arg("A").arg(3 + options), at.arg("B").arg(3 + options)};
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
        a[Level].ticked = {i != 2, i == 2, false, false};
        a[Political].ticked = {i != 0, i == 0, false, false};
        a[Position].ticked = {i == 0 || i == 2, false, i == 1, false, false, i == 3};
        a[Position].otherText = QStringLiteral("高级工程师");
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
        QVERIFY2(chartDrawsOptions(o, int(grp.boxes.size())), qPrintable(o.value("name").toString()));
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
    // Every group of page one, each option counted as the questionnaires say, and charted.
    const QList<std::pair<QString, QList<int>>> expected = {
        {"年龄", {2, 2, 0, 0}},       {"学历", {3, 1, 0, 0}},
        {"政治面貌", {3, 1, 0, 0}},   {"职业", {0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 1}},
        {"职称", {2, 0, 1, 0, 0, 1}},  // the other ("99|高级工程师") counted as 其它
    };
    for (int i = 1; i <= 5; ++i) {
        const QJsonObject sheet = s[i].toObject();
        const auto& [name, counts] = expected[i - 1];
        QCOMPARE(sheet.value("name").toString(), name);
        QCOMPARE(sheet.value("rows").toArray().size(), 3 + counts.size());
        for (int b = 0; b < counts.size(); ++b) QCOMPARE(count(i, b), counts[b]);
        QVERIFY2(chartDrawsOptions(sheet, int(counts.size())), qPrintable(name));
    }
}

void TstStatsWorkbook::oddValuesAreListed() {
    // Codes another program stored. The workbook counts every row the statistics form reads as
    // an option (" 2 " and "+3" among them) and lists the rest; none stops it.
    seed();
    for (const char* code : {"''", "null", "'abc'", "'+3'", "' 2 '", "'77'"})
        m_db->exec(
            QStringLiteral("insert into Special (ID, Code) values ('110101199001011000', %1)").arg(code));
    m_db->exec(QStringLiteral(
        "insert into BasicInfo values ('x1', '', '', '', '', 'abc', '1', '1', '1', '1', '2')"));
    m_db->exec(
        QStringLiteral("insert into BasicInfo values ('x2', '', '', '', '', null, '1', '1', '', '1', null)"));
    const QString path = m_out->filePath(QStringLiteral("odd.xlsx"));
    const auto r = exchange::exportStatistics(path);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.questionnaires, 6);
    QCOMPARE(r.unknownRows, 4 + 2 + 1 + 2);
    QVERIFY2(r.summary().contains(QStringLiteral("另有 9 条未能识别的数据")), qPrintable(r.summary()));
    const QJsonArray s = sheets(path);
    QCOMPARE(s.size(), 1 + 5 + 12 + 1);
    // 医疗护理 ("1" five times), 心理咨询 ("02" never, " 2 " once), 法律咨询 ("+3" once).
    const QJsonArray special = s[6].toObject().value("rows").toArray();
    QCOMPARE(special[3].toArray()[1].toInt(), 5);
    QCOMPARE(special[4].toArray()[1].toInt(), 1);
    QCOMPARE(special[5].toArray()[1].toInt(), 1);
    QCOMPARE(s[0].toObject().value("rows").toArray()[2].toArray()[1].toInt(), 6);

    const QJsonObject odd = s[18].toObject();
    QCOMPARE(odd.value("name").toString(), QStringLiteral("未能识别的数据"));
    QList<QStringList> listed;
    for (const QJsonValue& v : odd.value("rows").toArray()) {
        QStringList row;
        for (const QJsonValue& c : v.toArray())
            row << (c.isDouble() ? QString::number(c.toInt()) : c.toString());
        listed << row;
    }
    // In page order, each value as stored, with its rows and why; captions, never table names.
    const QList<QStringList> want = {{"所在页", "存储的值", "行数", "说明"},
                                     {"页一 年龄", "", "1", "空值（NULL）"},
                                     {"页一 年龄", "abc", "1", "不是选项代码"},
                                     {"页一 职业", "", "1", "空白"},
                                     {"页二 专业及特长", "", "1", "空值（NULL）"},
                                     {"页二 专业及特长", "", "1", "空白"},
                                     {"页二 专业及特长", "77", "1", "没有这个选项"},
                                     {"页二 专业及特长", "abc", "1", "不是选项代码"},
                                     {"页七 是否愿意参加", "", "1", "空值（NULL）"},
                                     {"页七 是否愿意参加", "2", "1", "只有“1”（是）和“0”（否）计入"}};
    QVERIFY2(listed == want, qPrintable([&] {
                 QStringList l;
                 for (const auto& r : listed) l << r.join(u'|');
                 return l.join(u'\n');
             }()));
}

void TstStatsWorkbook::readFailureNamesThePage() {
    seed();
    m_db->exec(QStringLiteral("drop table Love"));
    const auto r = exchange::exportStatistics(m_out->filePath(QStringLiteral("s.xlsx")));
    QVERIFY(!r.ok);
    QCOMPARE(r.error, QStringLiteral("读取“页三 业余爱好”的数据时出错，未导出统计表。"));
    QVERIFY(QDir(m_out->path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

void TstStatsWorkbook::refused_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("replace");
    QTest::addColumn<QString>("message");
    QTest::newRow("a folder") << "@" << true << "是一个文件夹";
    QTest::newRow("folder missing") << "missing/s.xlsx" << true << "不存在";
    QTest::newRow("an existing file") << "old.xlsx" << false << "已经存在";
    QTest::newRow("a symbolic link") << "link.xlsx" << true << "符号链接";
    QTest::newRow("a CSV name") << "s.csv" << true << "扩展名";
}

void TstStatsWorkbook::refused() {
    QFETCH(QString, target);
    QFETCH(bool, replace);
    QFETCH(QString, message);
    const QString path = target == QLatin1String("@") ? m_out->path() : m_out->filePath(target);
    if (target == QLatin1String("old.xlsx")) {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("last year");
    }
    if (target == QLatin1String("link.xlsx"))
        QVERIFY(QFile::link(m_out->filePath(QStringLiteral("old.xlsx")), path));
    const QStringList before = QDir(m_out->path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    const auto r = exchange::exportStatistics(path, {}, replace);
    QVERIFY(!r.ok);
    QVERIFY2(r.error.contains(message), qPrintable(r.error));
    QCOMPARE(QDir(m_out->path()).entryList(QDir::Files | QDir::Hidden | QDir::System), before);
    if (target == QLatin1String("old.xlsx")) {
        QFile old(path);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("last year"));
        QVERIFY(exchange::exportStatistics(path, {}, true).ok);
    }
}

QTEST_MAIN(TstStatsWorkbook)
#include "tst_statsworkbook.moc"
