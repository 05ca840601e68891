#include <QtTest>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include "TestDb.h"
#include "app/Fonts.h"
#include "stats/TFrm_Total.h"
#include "ui/StatusPanels.h"

namespace {

// Written out by hand, apart from the form's own tables: page, box prefix, number of boxes.
struct ExpectedPage {
    const char* sheet;
    const char* tab;
    const char* prefix;
    int boxes;
};
const ExpectedPage kExpected[] = {
    {"Tab_Special", "页1", "Edt_Special", 21},     {"Tab_Love", "页二", "Edt_Love", 17},
    {"Tab_Team", "页三", "Edt_Team", 18},          {"TabSheet5", "页四", "Edt_Service", 16},
    {"Tab_Train", "页五", "Edt_Train", 11},        {"TabSheet7", "页六", nullptr, 2},
    {"Tab_Reason", "页七", "Edt_Reason", 13},      {"Tab_Who", "页八", "Edt_WHo", 13},
    {"Tab_Type", "页九", "Edt_TYpe", 10},          {"Tab_Time", "页十", "Edt_Time", 6},
    {"Tab_ReinForce", "页十一", "Edt_ReinForce", 5}, {"Tab_Depend", "页十二", "Edt_Depend", 7},
    {"Tab_Channel", "页十三", "Edt_Channel", 6},
};

QStringList expectedNames(const ExpectedPage& p) {
    if (!p.prefix) return {QStringLiteral("Edt_Flag1"), QStringLiteral("Edt_Flag0")};
    QStringList names;
    for (int i = 1; i <= p.boxes; ++i) names << QString::fromLatin1(p.prefix) + QString::number(i);
    return names;
}

QStringList allNames() {
    QStringList names;
    for (const ExpectedPage& p : kExpected) names << expectedNames(p);
    return names;
}

int serial = 0;

void seed(TestDb& db, const QString& table, const QVariant& code, int rows) {
    for (int i = 0; i < rows; ++i)
        db.exec(QStringLiteral("INSERT INTO %1 (ID, Code, Name) VALUES (?, ?, '')").arg(table),
                {QStringLiteral("id%1").arg(++serial), code});
}

void seedFlag(TestDb& db, const QVariant& flag, int rows) {
    for (int i = 0; i < rows; ++i)
        db.exec(QStringLiteral("INSERT INTO BasicInfo (ID, Flag) VALUES (?, ?)"),
                {QStringLiteral("id%1").arg(++serial), flag});
}

QString boxText(const TFrm_Total& form, const QString& name) {
    auto* box = form.findChild<QLineEdit*>(name);
    return box ? box->text() : QStringLiteral("<missing %1>").arg(name);
}

// Every box shows "0" except those in `counts`.
void compareAll(const TFrm_Total& form, const QHash<QString, QString>& counts) {
    for (const QString& name : allNames()) {
        const QString expected = counts.value(name, QStringLiteral("0"));
        if (boxText(form, name) != expected)
            QFAIL(qPrintable(QStringLiteral("%1 shows '%2', expected '%3'").arg(name, boxText(form, name), expected)));
    }
}

}  // namespace

class TstTotal : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { fonts::install(); }

    void emptyDatabaseShowsZeroEverywhere() {
        TestDb db;
        TFrm_Total form;
        compareAll(form, {});
        QCOMPARE(form.findChild<StatusPanels*>(QStringLiteral("Sb"))->panelText(0), QString());
    }

    void unreachableDatabaseShowsZero() {
        TestDb db(false);
        TFrm_Total form;
        compareAll(form, {});
    }

    void countsLandInTheirBoxes_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("box");
        QTest::newRow("first specialty") << "Special" << "1" << "Edt_Special1";
        QTest::newRow("padded code") << "Special" << "07" << "Edt_Special7";
        QTest::newRow("last specialty") << "Special" << "20" << "Edt_Special20";
        QTest::newRow("other specialty") << "Special" << "99" << "Edt_Special21";
        QTest::newRow("hobby") << "Love" << "12" << "Edt_Love12";
        QTest::newRow("other hobby") << "Love" << "99" << "Edt_Love17";
        QTest::newRow("other team") << "Team" << "99" << "Edt_Team18";
        QTest::newRow("service") << "Service" << "15" << "Edt_Service15";
        QTest::newRow("other training") << "Train" << "99" << "Edt_Train11";
        QTest::newRow("reason") << "Reason" << "3" << "Edt_Reason3";
        QTest::newRow("other reason") << "Reason" << "99" << "Edt_Reason13";
        QTest::newRow("whom") << "Who" << "12" << "Edt_WHo12";
        QTest::newRow("kind") << "Type" << "9" << "Edt_TYpe9";
        QTest::newRow("other kind") << "Type" << "99" << "Edt_TYpe10";
        QTest::newRow("last time") << "Time1" << "6" << "Edt_Time6";
        QTest::newRow("other strengthen") << "ReinForce" << "99" << "Edt_ReinForce5";
        QTest::newRow("rely on") << "Depend" << "6" << "Edt_Depend6";
        QTest::newRow("other channel") << "Channel" << "99" << "Edt_Channel6";
    }
    void countsLandInTheirBoxes() {
        QFETCH(QString, table);
        QFETCH(QString, code);
        QFETCH(QString, box);
        TestDb db;
        seed(db, table, code, 3);
        seedFlag(db, QStringLiteral("1"), 2);
        seedFlag(db, QStringLiteral("0"), 4);
        TFrm_Total form;
        compareAll(form, {{box, "3"}, {"Edt_Flag1", "2"}, {"Edt_Flag0", "4"}});
    }

    void codesWithoutBoxArePassedOver_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("boxless");
        QTest::addColumn<QString>("later");  // a code read after the boxless one still counts
        QTest::addColumn<QString>("box");
        QTest::newRow("specialty 21") << "Special" << "21" << "3" << "Edt_Special3";
        QTest::newRow("hobby 17") << "Love" << "17" << "9" << "Edt_Love9";
        QTest::newRow("time 99") << "Time1" << "99" << "1" << "Edt_Time1";
        QTest::newRow("specialty 0") << "Special" << "0" << "5" << "Edt_Special5";
        QTest::newRow("channel 0") << "Channel" << "0" << "5" << "Edt_Channel5";
        QTest::newRow("training 11") << "Train" << "11" << "2" << "Edt_Train2";
    }
    void codesWithoutBoxArePassedOver() {
        QFETCH(QString, table);
        QFETCH(QString, boxless);
        QFETCH(QString, later);
        QFETCH(QString, box);
        TestDb db;
        seed(db, table, boxless, 5);
        seed(db, table, later, 2);
        seed(db, QStringLiteral("Depend"), QStringLiteral("2"), 1);
        TFrm_Total form;
        compareAll(form, {{box, "2"}, {"Edt_Depend2", "1"}});
    }

    void twoSpellingsAddUp_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("box");
        QTest::newRow("1 and 01") << "Special" << "1" << "01" << "Edt_Special1";
        QTest::newRow("9 and 09") << "Who" << "09" << "9" << "Edt_WHo9";
        QTest::newRow("blank around") << "Time1" << "4" << " 4" << "Edt_Time4";
    }
    void twoSpellingsAddUp() {
        QFETCH(QString, table);
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, box);
        TestDb db;
        seed(db, table, first, 2);
        seed(db, table, second, 3);
        TFrm_Total form;
        compareAll(form, {{box, "5"}});
    }

    void failedStatementLeavesOnlyItsOwnBoxes_data() {
        QTest::addColumn<QString>("drop");
        QTest::addColumn<QStringList>("lost");  // boxes whose counts the failure loses
        QTest::newRow("hobbies") << "Love" << QStringList{"Edt_Love2"};
        QTest::newRow("questionnaires") << "BasicInfo" << QStringList{"Edt_Flag1", "Edt_Flag0"};
        QTest::newRow("specialties, the first statement") << "Special" << QStringList{"Edt_Special2"};
        QTest::newRow("channels, the last statement") << "Channel" << QStringList{"Edt_Channel2"};
    }
    void failedStatementLeavesOnlyItsOwnBoxes() {
        QFETCH(QString, drop);
        QFETCH(QStringList, lost);
        TestDb db;
        const QHash<QString, QString> all = {{"Edt_Special2", "1"}, {"Edt_Love2", "1"}, {"Edt_Team2", "1"},
                                             {"Edt_Flag1", "1"},    {"Edt_Flag0", "1"}, {"Edt_Channel2", "1"}};
        for (const char* t : {"Special", "Love", "Team", "Channel"}) seed(db, QString::fromLatin1(t), "2", 1);
        seedFlag(db, "1", 1);
        seedFlag(db, "0", 1);
        db.exec(QStringLiteral("DROP TABLE %1").arg(drop));
        TFrm_Total form;
        QHash<QString, QString> expected = all;
        for (const QString& b : lost) expected.remove(b);
        compareAll(form, expected);
    }

    void badCodeEndsItsStatement_data() {
        QTest::addColumn<QVariant>("bad");
        QTest::addColumn<QString>("special1");  // read before the bad code or not at all
        QTest::newRow("empty code, read first") << QVariant(QString()) << "0";
        QTest::newRow("null code, read first") << QVariant() << "0";
        QTest::newRow("letters, read last") << QVariant(QStringLiteral("xx")) << "2";
    }
    void badCodeEndsItsStatement() {
        QFETCH(QVariant, bad);
        QFETCH(QString, special1);
        TestDb db;
        seed(db, QStringLiteral("Special"), QStringLiteral("1"), 2);
        seed(db, QStringLiteral("Special"), bad, 1);
        seed(db, QStringLiteral("Love"), QStringLiteral("1"), 1);
        TFrm_Total form;
        QHash<QString, QString> expected = {{"Edt_Love1", "1"}};
        if (special1 != "0") expected.insert("Edt_Special1", special1);
        compareAll(form, expected);
    }

    void flagOtherThanZeroOrOneCountsNowhere() {
        TestDb db;
        seedFlag(db, "1", 3);
        seedFlag(db, "0", 2);
        for (const QVariant& f : {QVariant("2"), QVariant(""), QVariant(), QVariant(" 1"), QVariant("01")})
            seedFlag(db, f, 1);
        TFrm_Total form;
        compareAll(form, {{"Edt_Flag1", "3"}, {"Edt_Flag0", "2"}});
    }

    void refreshShowsNewCountsOnPageOne() {
        TestDb db;
        seed(db, QStringLiteral("Reason"), QStringLiteral("4"), 1);
        TFrm_Total form;
        auto* tabs = form.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
        auto* refresh = form.findChild<QPushButton*>(QStringLiteral("Btn_Refesh"));
        auto* sb = form.findChild<StatusPanels*>(QStringLiteral("Sb"));
        compareAll(form, {{"Edt_Reason4", "1"}});

        tabs->setCurrentIndex(7);
        form.findChild<QLineEdit*>(QStringLiteral("Edt_WHo1"))->setText(QStringLiteral("123"));
        form.findChild<QLineEdit*>(QStringLiteral("Edt_Reason4"))->setText(QStringLiteral("abc"));
        seed(db, QStringLiteral("Reason"), QStringLiteral("4"), 2);
        seed(db, QStringLiteral("Who"), QStringLiteral("99"), 1);
        seedFlag(db, "0", 1);
        QTest::mouseClick(refresh, Qt::LeftButton);

        compareAll(form, {{"Edt_Reason4", "3"}, {"Edt_WHo13", "1"}, {"Edt_Flag0", "1"}});
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(sb->panelText(0), QStringLiteral("统计结束。"));
        QVERIFY(refresh->isEnabled());
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    void escAndCloseButtonClose_data() {
        QTest::addColumn<bool>("byKey");
        QTest::newRow("Esc") << true;
        QTest::newRow("关闭") << false;
    }
    void escAndCloseButtonClose() {
        QFETCH(bool, byKey);
        TestDb db;
        TFrm_Total form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        if (byKey)
            QTest::keyClick(&form, Qt::Key_Escape);
        else
            QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("Button2")), Qt::LeftButton);
        QVERIFY(!form.isVisible());
    }

    void pagesHoldTheirBoxes() {
        TestDb db;
        TFrm_Total form;
        auto* tabs = form.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
        QCOMPARE(tabs->count(), 13);
        int total = 0;
        for (int i = 0; i < 13; ++i) {
            const ExpectedPage& p = kExpected[i];
            QWidget* sheet = tabs->widget(i);
            QCOMPARE(sheet->objectName(), QString::fromLatin1(p.sheet));
            QCOMPARE(tabs->tabText(i), QString::fromUtf8(p.tab));
            QStringList onSheet;
            for (auto* box : sheet->findChildren<QLineEdit*>()) onSheet << box->objectName();
            QCOMPARE(onSheet, expectedNames(p));
            total += int(onSheet.size());
        }
        QCOMPARE(total, 145);
        QCOMPARE(form.findChildren<QLineEdit*>().size(), 145);
    }

    void captionsBesideTheirBoxes_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("caption");
        QTest::newRow("specialty 1") << "Edt_Special1" << "医疗护理";
        QTest::newRow("specialty 11") << "Edt_Special11" << "书画及美术设计";
        QTest::newRow("short specialty 20") << "Edt_Special20" << "传播";
        QTest::newRow("other specialty") << "Edt_Special21" << "其它";
        QTest::newRow("short hobby 12") << "Edt_Love12" << "拳类";
        QTest::newRow("team 8") << "Edt_Team8" << "音乐发烧友协会";
        QTest::newRow("yes") << "Edt_Flag1" << "是";
        QTest::newRow("no") << "Edt_Flag0" << "否";
        QTest::newRow("reason 12") << "Edt_Reason12" << "为未来工作做准备";
        QTest::newRow("time 6") << "Edt_Time6" << "重大活动前后";
        QTest::newRow("channel 1") << "Edt_Channel1" << "议事园等宣传栏";
    }
    void captionsBesideTheirBoxes() {
        QFETCH(QString, box);
        QFETCH(QString, caption);
        TestDb db;
        TFrm_Total form;
        auto* edit = form.findChild<QLineEdit*>(box);
        QVERIFY(edit);
        QLabel* label = nullptr;
        for (auto* l : edit->parentWidget()->findChildren<QLabel*>())
            if (l->buddy() == edit) label = l;
        QVERIFY(label);
        QCOMPARE(label->text(), caption);
        const QRect lg = label->geometry(), eg = edit->geometry();
        QVERIFY(lg.right() < eg.left() && eg.left() - lg.right() <= 8);
        QCOMPARE(lg.center().y(), eg.center().y());
    }

    // Nothing clipped or overlapping: every caption fits its label, every label and box lies
    // inside its page, and no caption covers another box.
    void layoutFitsThePages() {
        TestDb db;
        TFrm_Total form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* tabs = form.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            QWidget* sheet = tabs->widget(i);
            const QRect area = sheet->rect();
            const auto boxes = sheet->findChildren<QLineEdit*>();
            for (auto* l : sheet->findChildren<QLabel*>()) {
                QVERIFY2(area.contains(l->geometry()), qPrintable(l->text()));
                QVERIFY2(l->fontMetrics().horizontalAdvance(l->text()) <= l->width(), qPrintable(l->text()));
                for (auto* b : boxes) QVERIFY2(!l->geometry().intersects(b->geometry()), qPrintable(l->text()));
            }
            for (auto* b : boxes) QVERIFY2(area.contains(b->geometry()), qPrintable(b->objectName()));
        }
    }
};

QTEST_MAIN(TstTotal)
#include "tst_total.moc"
