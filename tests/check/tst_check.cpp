// The data check: a register seeded with every kind of problem (through plain SQL, as years of
// typing and the old program's failed runs leave them) is listed exactly, nothing else is, and
// nothing is changed; the CSV file; the window, its groups and counts, and opening a row.
#include <QAction>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

#include "TestDb.h"
#include "app/Startup.h"
#include "app/TFrm_Main.h"
#include "core/check/ProblemCsv.h"
#include "core/check/RegisterCheck.h"
#include "core/store/DbError.h"
#include "core/store/Registry.h"
#include "core/store/SqlQuery.h"
#include "core/store/SurveyStore.h"
#include "gui/data/TFrm_Check.h"
#include "gui/ui/ScriptedPrompt.h"

using K = CheckProblem::Kind;

namespace {

const QDate kToday(2026, 12, 8);

// Numbers worked out by hand (ISO 7064 MOD 11-2).
const char* const kRight = "110101199003071233";
const char* const kRightX = "11010519491231002X";
const char* const kWrongCheck = "320102198506150875";  // should end in 4
const char* const kFeb29Common = "440305198102290018";
const char* const kFuture = "110101209001011232";
const char* const kFifteen = "440305800229001";       // 18-digit form 440305198002290010
const char* const kFifteenAlone = "510107720401331";  // its 18-digit form is not stored
const char* const kEighteenOfFifteen = "440305198002290010";
const char* const kLowerX = "11010519491231002x";
const char* const kRightBlank = "110101199003071233 ";  // kRight, typed elsewhere with a blank
// One more resident twice, whose numbers sort between kEighteenOfFifteen and kFifteen.
const char* const kBetweenX = "44030519900101107X";
const char* const kBetweenLowerX = "44030519900101107x";

struct Row {
    QString id;
    QString name;
    QString age = QStringLiteral("1"), level = QStringLiteral("1"), political = QStringLiteral("1"),
            duty = QStringLiteral("1"), position = QStringLiteral("1"), flag = QStringLiteral("1");
};

void basic(TestDb& db, const Row& r) {
    db.exec(QStringLiteral("insert into BasicInfo values (?,?,?,?,?,?,?,?,?,?,?)"),
            {r.id, r.name, r.name + QStringLiteral("的住址"), QStringLiteral("单位"), QStringLiteral("123"),
             r.age, r.level, r.political, r.duty, r.position, r.flag});
}

void answer(TestDb& db, const QString& table, const QString& id, const QVariant& code) {
    db.exec(QStringLiteral("insert into %1 (ID, Code) values (?, ?)").arg(table), {id, code});
}

QList<std::pair<K, QString>> kindsAndIds(const CheckResult& r) {
    QList<std::pair<K, QString>> out;
    for (const CheckProblem& p : r.problems) out << std::pair{p.kind, p.id};
    return out;
}

const CheckProblem* find(const CheckResult& r, K kind, const QString& id) {
    for (const CheckProblem& p : r.problems)
        if (p.kind == kind && p.id == id) return &p;
    return nullptr;
}

}  // namespace

class TstCheck : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDb> db;
    std::unique_ptr<ScriptedPrompt> prompt;

    // One register with every kind of problem, and right questionnaires around them.
    void seedEveryKind() {
        basic(*db, {kRight, QStringLiteral("甲")});
        basic(*db, {kRightX, QStringLiteral("乙")});
        basic(*db, {kWrongCheck, QStringLiteral("丙")});
        basic(*db, {kFeb29Common, QStringLiteral("丁")});
        basic(*db, {kFuture, QStringLiteral("戊")});
        basic(*db, {kFifteen, QStringLiteral("己")});
        basic(*db, {kEighteenOfFifteen, QStringLiteral("己")});
        basic(*db, {kFifteenAlone, QStringLiteral("庚")});
        basic(*db, {kLowerX, QStringLiteral("乙")});
        basic(*db, {kRightBlank, QStringLiteral("甲")});
        basic(*db, {QStringLiteral("12345"), QStringLiteral("辛")});
        basic(*db, {QStringLiteral("1101011990030X1233"), QStringLiteral("壬")});
        basic(*db, {kBetweenX, QStringLiteral("癸")});
        basic(*db, {kBetweenLowerX, QStringLiteral("癸")});
        // Answer rows of right questionnaires, in canonical and in merely readable forms.
        answer(*db, QStringLiteral("Special"), kRight, QStringLiteral("01"));
        answer(*db, QStringLiteral("Special"), kRight, QStringLiteral("20"));
        answer(*db, QStringLiteral("Special"), kRight, QStringLiteral("99"));
        answer(*db, QStringLiteral("Special"), kRightX, QStringLiteral("1"));  // the lookup reads it as 01
        answer(*db, QStringLiteral("Time1"), kRight, QStringLiteral("6"));
        // Codes no box has.
        answer(*db, QStringLiteral("Special"), kRightX, QStringLiteral("21"));
        answer(*db, QStringLiteral("Time1"), kRightX, QStringLiteral("99"));  // Time has no other option
        answer(*db, QStringLiteral("Channel"), kRight, QStringLiteral("ab"));
        answer(*db, QStringLiteral("Love"), kRight, QVariant(QMetaType::fromType<QString>()));
        // Answer rows of a questionnaire whose BasicInfo row is gone.
        answer(*db, QStringLiteral("Special"), QStringLiteral("310104197001011234"), QStringLiteral("01"));
        answer(*db, QStringLiteral("Special"), QStringLiteral("310104197001011234"), QStringLiteral("02"));
        answer(*db, QStringLiteral("Depend"), QStringLiteral("310104197001011234"), QStringLiteral("01"));
    }

private slots:
    void initTestCase() { startup::prepareApplication(*qApp); }

    void init() {
        db = std::make_unique<TestDb>();
        prompt = std::make_unique<ScriptedPrompt>();
        Prompt::install(prompt.get());
    }

    void cleanup() {
        Prompt::install(nullptr);
        prompt.reset();
        db.reset();
    }

    void everyKindIsFound() {
        seedEveryKind();
        const QString before = db->dump();
        const CheckResult r = RegisterCheck().run(kToday);
        QCOMPARE(db->dump(), before);  // the check changes nothing
        QCOMPARE(r.questionnaires, 14);
        QVERIFY(!r.cancelled);

        const QList<std::pair<K, QString>> expected = {
            {K::WrongCheck, kWrongCheck},
            {K::ImpossibleDate, kFuture},
            {K::ImpossibleDate, kFeb29Common},
            {K::Fifteen, kFifteen},
            {K::Fifteen, kFifteenAlone},
            {K::SameResident, kLowerX},
            {K::SameResident, kRightX},
            {K::SameResident, kRight},
            {K::SameResident, kRightBlank},
            {K::SameResident, kEighteenOfFifteen},
            {K::SameResident, kFifteen},
            {K::SameResident, kBetweenX},
            {K::SameResident, kBetweenLowerX},
            {K::NotAnId, QStringLiteral("1101011990030X1233")},
            {K::NotAnId, QStringLiteral("12345")},
            {K::NotAnId, kRightBlank},
            {K::OrphanRows, QStringLiteral("310104197001011234")},
            {K::UnknownCode, kRightX},
            {K::UnknownCode, kRightX},
            {K::UnknownCode, kRight},
            {K::UnknownCode, kRight},
        };
        auto sorted = [](QList<std::pair<K, QString>> l) {
            std::sort(l.begin(), l.end());
            return l;
        };
        QCOMPARE(sorted(kindsAndIds(r)), sorted(expected));

        // Listed by kind; the records of one resident side by side, even where another
        // resident's numbers sort between theirs.
        for (int i = 1; i < r.problems.size(); ++i) QVERIFY(r.problems[i - 1].kind <= r.problems[i].kind);
        QList<QString> residents;
        for (const CheckProblem& p : r.problems)
            if (p.kind == K::SameResident) residents << p.resident;
        QCOMPARE(residents, (QList<QString>{kRight, kRight, kRightX, kRightX, kEighteenOfFifteen,
                                            kEighteenOfFifteen, kBetweenX, kBetweenX}));

        // What each explanation says.
        QCOMPARE(find(r, K::WrongCheck, kWrongCheck)->detail, QStringLiteral("校验码应为 4"));
        QCOMPARE(find(r, K::WrongCheck, kWrongCheck)->name, QStringLiteral("丙"));
        QCOMPARE(find(r, K::WrongCheck, kWrongCheck)->address, QStringLiteral("丙的住址"));
        QCOMPARE(find(r, K::ImpossibleDate, kFeb29Common)->detail,
                 QStringLiteral("出生日期 19810229 不存在"));
        QCOMPARE(find(r, K::ImpossibleDate, kFuture)->detail, QStringLiteral("出生日期 20900101 晚于今天"));
        QCOMPARE(find(r, K::Fifteen, kFifteen)->detail, QStringLiteral("18位号码为 440305198002290010"));
        QCOMPARE(find(r, K::SameResident, kFifteen)->detail,
                 QStringLiteral("与 440305198002290010 为同一居民"));
        QCOMPARE(find(r, K::SameResident, kLowerX)->detail,
                 QStringLiteral("与 11010519491231002X 为同一居民"));
        QCOMPARE(find(r, K::SameResident, kRightBlank)->detail,
                 QStringLiteral("与 110101199003071233 为同一居民"));
        QCOMPARE(find(r, K::NotAnId, QStringLiteral("12345"))->detail, QStringLiteral("共 5 位"));
        const CheckProblem* orphan = find(r, K::OrphanRows, QStringLiteral("310104197001011234"));
        QCOMPARE(orphan->detail, QStringLiteral("答案行在：专业及特长、依靠哪类居民参与？"));
        QVERIFY(orphan->name.isEmpty());
        QStringList codes;
        for (const CheckProblem& p : r.problems)
            if (p.kind == K::UnknownCode) codes << p.detail;
        codes.sort();
        QCOMPARE(codes,
                 (QStringList{QStringLiteral("专业及特长：“21”"), QStringLiteral("业余爱好：空值"),
                              QStringLiteral("渠道：“ab”"), QStringLiteral("社区活动时间安排：“99”")}));
    }

    // Page one's stored values as the lookup reads them: out of range or not a number is listed,
    // the other option's forms and readable numbers are not.
    void pageOneValues_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("detail");  // empty: nothing to list
        const QVariant null(QMetaType::fromType<QString>());
        QTest::newRow("age 4") << "age" << QVariant("4") << "";
        QTest::newRow("age 5") << "age" << QVariant("5") << "年龄：“5”";
        QTest::newRow("age 0") << "age" << QVariant("0") << "年龄：“0”";
        QTest::newRow("age ' 2'") << "age" << QVariant(" 2") << "";
        QTest::newRow("level x") << "level" << QVariant("x") << "学历：“x”";
        QTest::newRow("political empty") << "political" << QVariant("") << "政治面貌：“”";
        QTest::newRow("duty 11") << "duty" << QVariant("11") << "";
        QTest::newRow("duty 12") << "duty" << QVariant("12") << "职业：“12”";
        QTest::newRow("duty other") << "duty" << QVariant("99|摄影") << "";
        QTest::newRow("duty text") << "duty" << QVariant("abc") << "";  // read as the other option
        QTest::newRow("duty null") << "duty" << null << "职业：空值";
        QTest::newRow("position 6") << "Position" << QVariant("6") << "职称：“6”";
        QTest::newRow("position 99") << "Position" << QVariant("99") << "";
        QTest::newRow("position text") << "Position" << QVariant("高工") << "";  // read as the other option
        QTest::newRow("flag 0") << "Flag" << QVariant("0") << "";
        QTest::newRow("flag 2") << "Flag" << QVariant("2") << "是否愿意参加：“2”";
    }

    void pageOneValues() {
        QFETCH(QString, column);
        QFETCH(QVariant, value);
        QFETCH(QString, detail);
        basic(*db, {kRight, QStringLiteral("甲")});
        db->exec(QStringLiteral("update BasicInfo set %1 = ?").arg(column), {value});
        const CheckResult r = RegisterCheck().run(kToday);
        if (detail.isEmpty()) {
            QVERIFY(r.isClean());
        } else {
            QCOMPARE(r.problems.size(), 1);
            QCOMPARE(r.problems[0].kind, K::UnknownCode);
            QCOMPARE(r.problems[0].detail, detail);
            QCOMPARE(r.problems[0].name, QStringLiteral("甲"));
        }
    }

    // Answer codes near the edges of each page's codes.
    void answerCodes_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("listed");
        QTest::newRow("Special 09") << "Special"
                                    << "09" << false;
        QTest::newRow("Special 10") << "Special"
                                    << "10" << false;
        QTest::newRow("Special 00") << "Special"
                                    << "00" << true;
        QTest::newRow("Special 0a") << "Special"
                                    << "0a" << true;
        QTest::newRow("Special 1x") << "Special"
                                    << "1x" << true;
        QTest::newRow("Special 100") << "Special"
                                     << "100" << true;
        QTest::newRow("Special 98") << "Special"
                                    << "98" << true;
        QTest::newRow("Special 9") << "Special"
                                   << "9" << false;  // read as 09
        QTest::newRow("Special empty") << "Special"
                                       << "" << true;
        QTest::newRow("Channel 05") << "Channel"
                                    << "05" << false;
        QTest::newRow("Channel 06") << "Channel"
                                    << "06" << true;
        QTest::newRow("ReinForce 04") << "ReinForce"
                                      << "04" << false;
        QTest::newRow("ReinForce 05") << "ReinForce"
                                      << "05" << true;
        QTest::newRow("Reason 12") << "Reason"
                                   << "12" << false;
        QTest::newRow("Reason 13") << "Reason"
                                   << "13" << true;
        QTest::newRow("Time1 1") << "Time1"
                                 << "1" << false;
        QTest::newRow("Time1 7") << "Time1"
                                 << "7" << true;
        QTest::newRow("Time1 0") << "Time1"
                                 << "0" << true;
        QTest::newRow("Time1 01") << "Time1"
                                  << "01" << false;  // read as 1
    }

    void answerCodes() {
        QFETCH(QString, table);
        QFETCH(QString, code);
        QFETCH(bool, listed);
        basic(*db, {kRight, QStringLiteral("甲")});
        answer(*db, table, kRight, code);
        const CheckResult r = RegisterCheck().run(kToday);
        QCOMPARE(r.problems.size(), listed ? 1 : 0);
        if (listed) QCOMPARE(r.problems[0].kind, K::UnknownCode);
    }

    // Many codes in one table, each stored twice: the codes are found one distinct value at a
    // time along the Code index, or, when that walk cannot be trusted (a stored value of another
    // type, more distinct values than any page has codes), by reading every row. Both must list
    // the same rows.
    void mixedCodesInOneTable_data() {
        QTest::addColumn<QString>("extra");
        QTest::newRow("codes") << "";
        QTest::newRow("with a blob") << "blob";
        QTest::newRow("1,200 distinct codes") << "many";
    }
    void mixedCodesInOneTable() {
        QFETCH(QString, extra);
        if (extra == "blob" && TestDb::isServer()) QSKIP("a text column holds no blob on a server");
        basic(*db, {kRight, QStringLiteral("甲")});
        const QVariantList codes = {"", "0", "00", "01", "1", "1x", "20", "21", "98", "99", "100", QVariant()};
        int listed = 2 * 8;  // all but 01, 1, 20 and 99, twice
        for (int twice = 0; twice < 2; ++twice)
            for (const QVariant& c : codes) answer(*db, QStringLiteral("Special"), kRight, c);
        if (extra == "blob") answer(*db, QStringLiteral("Special"), kRight, QByteArray("01"));
        if (extra == "many") {
            db->exec(QStringLiteral("begin"));
            for (int i = 0; i < 1200; ++i)
                answer(*db, QStringLiteral("Special"), kRight, QStringLiteral("z%1").arg(i, 4, 10, QLatin1Char('0')));
            db->exec(QStringLiteral("commit"));
            listed += 1200;
        }
        const CheckResult r = RegisterCheck().run(kToday);
        QCOMPARE(r.count(K::UnknownCode), listed);
        QCOMPARE(r.problems.size(), listed);
        QStringList details;
        for (const CheckProblem& p : r.problems)
            if (!details.contains(p.detail)) details << p.detail;
        QVERIFY2(details.contains(QStringLiteral("专业及特长：空值")), qPrintable(details.join(u' ')));
        QVERIFY(details.contains(QStringLiteral("专业及特长：“1x”")));
        QVERIFY(!details.contains(QStringLiteral("专业及特长：“01”")));
    }

    void cleanRegister() {
        SqlQuery q(QStringLiteral("MyDb"));
        SurveyStore store(q);
        for (const char* id : {kRight, kRightX, kEighteenOfFifteen}) store.store(completeAnswers(id));
        const CheckResult r = RegisterCheck().run(kToday);
        QCOMPARE(r.questionnaires, 3);
        QVERIFY(r.isClean());
    }

    void emptyRegister() {
        const CheckResult r = RegisterCheck().run(kToday);
        QCOMPARE(r.questionnaires, 0);
        QVERIFY(r.isClean());
    }

    void progressAndCancel() {
        seedEveryKind();
        QList<int> steps;
        RegisterCheck().run(kToday, [&](int done, int total) {
            steps << done;
            return total == RegisterCheck::stepCount();
        });
        QCOMPARE(steps.size(), RegisterCheck::stepCount());
        QCOMPARE(steps.last(), RegisterCheck::stepCount());
        // Cancelled after BasicInfo: the numbers are judged, the answer tables not read.
        const CheckResult r = RegisterCheck().run(kToday, [](int, int) { return false; });
        QVERIFY(r.cancelled);
        QVERIFY(!r.isClean());
        QCOMPARE(r.count(K::OrphanRows), 0);
        QVERIFY(r.count(K::WrongCheck) == 1);
    }

    void failedStatementRaises() {
        basic(*db, {kRight, QStringLiteral("甲")});
        db->exec(QStringLiteral("drop table Love"));
        try {
            RegisterCheck().run(kToday);
            QFAIL("no error");
        } catch (const DbError& e) {
            QCOMPARE(e.statement(), QStringLiteral("Love"));
        }
    }

    void csv() {
        CheckResult r;
        r.problems = {{K::WrongCheck, kWrongCheck, QStringLiteral("张,三"), QStringLiteral("幸福路\"1\"号"),
                       QStringLiteral("校验码应为 4"), QString()},
                      {K::OrphanRows, QStringLiteral("1"), QStringLiteral("=HYPERLINK(\"http://x\")"),
                       QStringLiteral("两行\n住址"),
                       QStringLiteral("答案行在：渠道"), QString()}};
        const QByteArray text = problemcsv::render(r);
        QVERIFY(text.startsWith("\xEF\xBB\xBF"));
        const QString body = QString::fromUtf8(text.mid(3));
        // Identity numbers after a tab (a spreadsheet keeps them text), a formula after an
        // apostrophe (a spreadsheet shows it), everything else as it is.
        QCOMPARE(body, QStringLiteral(
                           "类别,身份证号码,姓名,住址,说明\r\n"
                           "校验码错误,\"\t320102198506150875\",\"张,三\",\"幸福路\"\"1\"\"号\",校验码应为 4\r\n"
                           "答案行缺少基本信息,\"\t1\",\"'=HYPERLINK(\"\"http://x\"\")\",\"两行\n住址\",答案行在：渠道\r\n"));

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("检查.csv"));
        QVERIFY(problemcsv::write(r, path));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), text);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("检查.csv")});
        QString error;
        QVERIFY(!problemcsv::write(r, dir.filePath(QStringLiteral("no/such/folder/x.csv")), &error));
        QVERIFY(!error.isEmpty());
        // The target rule: an existing list stays unless it may be replaced.
        QVERIFY(!problemcsv::write(CheckResult(), path, &error));
        QVERIFY2(error.contains(QStringLiteral("已经存在")), qPrintable(error));
        QVERIFY(f.seek(0));
        QCOMPARE(f.readAll(), text);
        QVERIFY(problemcsv::write(CheckResult(), path, &error, true));
        QCOMPARE(QFileInfo(path).size(), qint64(problemcsv::render(CheckResult()).size()));
    }

    // The window: groups in the check's order with their counts, the rows under them, sorting
    // that keeps the groups, opening and copying a row.
    void window() {
        seedEveryKind();
        TFrm_Check w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.objectName(), QStringLiteral("Frm_Check"));
        QCOMPARE(w.windowTitle(), QStringLiteral("数据检查"));
        auto* tree = w.findChild<QTreeWidget*>(QStringLiteral("Tree_Problems"));
        auto* summary = w.findChild<QLabel*>(QStringLiteral("Lbl_Summary"));
        auto* open = w.findChild<QPushButton*>(QStringLiteral("Btn_Open"));
        auto* copy = w.findChild<QPushButton*>(QStringLiteral("Btn_Copy"));
        QVERIFY(tree && summary && open && copy);
        QCOMPARE(summary->text(), QStringLiteral("共检查 14 份问卷，发现 21 个问题。"));

        const QStringList groups = {"校验码错误（1）",        "出生日期不可能（2）",
                                    "15位旧号码（2）",        "同一居民重复登记（8）",
                                    "不是身份证号码（3）",    "答案行缺少基本信息（1）",
                                    "无法识别的选项代码（4）"};
        auto groupTexts = [tree] {
            QStringList out;
            for (int i = 0; i < tree->topLevelItemCount(); ++i) out << tree->topLevelItem(i)->text(0);
            return out;
        };
        QCOMPARE(groupTexts(), groups);
        QTreeWidgetItem* wrong = tree->topLevelItem(0);
        QCOMPARE(wrong->childCount(), 1);
        QCOMPARE(wrong->child(0)->text(0), QString::fromLatin1(kWrongCheck));
        QCOMPARE(wrong->child(0)->text(1), QStringLiteral("丙"));
        QCOMPARE(wrong->child(0)->text(2), QStringLiteral("丙的住址"));
        QCOMPARE(wrong->child(0)->text(3), QStringLiteral("校验码应为 4"));

        // Sorting by name, descending: the groups keep their order; rows follow the column.
        tree->sortByColumn(1, Qt::DescendingOrder);
        QCOMPARE(groupTexts(), groups);
        QTreeWidgetItem* dates = tree->topLevelItem(1);
        QCOMPARE(dates->child(0)->text(1), QStringLiteral("戊"));
        tree->sortByColumn(1, Qt::AscendingOrder);
        QCOMPARE(dates->child(0)->text(1), QStringLiteral("丁"));
        // By identity number, the records of one resident stay side by side.
        tree->sortByColumn(0, Qt::AscendingOrder);
        QTreeWidgetItem* same = tree->topLevelItem(3);
        QStringList sameIds;
        for (int i = 0; i < same->childCount(); ++i) sameIds << same->child(i)->text(0);
        QCOMPARE(sameIds, (QStringList{kRight, kRightBlank, kRightX, kLowerX, kEighteenOfFifteen, kFifteen,
                                       kBetweenX, kBetweenLowerX}));

        // Without an opener a row can only be copied.
        QVERIFY(!copy->isEnabled());
        tree->setCurrentItem(wrong->child(0));
        QVERIFY(copy->isEnabled());
        QVERIFY(!open->isEnabled());
        QTest::mouseClick(copy, Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), QString::fromLatin1(kWrongCheck));

        // With one, the row opens (button, double click or Enter), and the list is read again.
        QStringList opened;
        w.setOpener([&](const QString& id) {
            opened << id;
            db->exec(QStringLiteral("delete from BasicInfo where ID = ?"), {id});  // as the Query form may
        });
        QVERIFY(open->isEnabled());
        QTest::mouseClick(open, Qt::LeftButton);
        QCOMPARE(opened, QStringList{kWrongCheck});
        QCOMPARE(groupTexts().first(), QStringLiteral("校验码错误（0）"));
        tree->setCurrentItem(tree->topLevelItem(1)->child(0));
        const QString dateId = tree->currentItem()->text(0);
        QTest::keyClick(tree, Qt::Key_Return);
        QCOMPARE(opened.last(), dateId);
        // An orphaned questionnaire has no record to open.
        tree->setCurrentItem(tree->topLevelItem(5)->child(0));
        QVERIFY(!open->isEnabled());
        QVERIFY(copy->isEnabled());
        QTest::keyClick(tree, Qt::Key_Return);
        QCOMPARE(opened.size(), 2);
        QVERIFY(prompt->messages().isEmpty());
    }

    void windowOnCleanAndFailingRegisters() {
        {
            TFrm_Check w;
            QCOMPARE(w.findChild<QLabel*>(QStringLiteral("Lbl_Summary"))->text(),
                     QStringLiteral("共检查 0 份问卷，没有发现问题。"));
        }
        db->exec(QStringLiteral("drop table Special"));
        TFrm_Check w;
        QCOMPARE(prompt->texts(), QStringList{QStringLiteral("数据检查失败！")});
        QCOMPARE(prompt->messages().first().caption, QStringLiteral("提示"));
        QCOMPARE(w.findChild<QLabel*>(QStringLiteral("Lbl_Summary"))->text(),
                 QStringLiteral("数据检查失败！"));
    }

    void dataMenuItem() {
        Registry registry(db->hive());
        TFrm_Main main(nullptr, db->dir(), &registry);
        auto* item = main.findChild<QAction*>(QStringLiteral("N_Check"));
        QVERIFY(item);
        QCOMPARE(item->text(), QStringLiteral("数据检查(&K)..."));
        QVERIFY(main.dataMenu()->actions().contains(item));
    }
};

QTEST_MAIN(TstCheck)
#include "tst_check.moc"
