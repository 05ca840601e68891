// The New form driven as a user drives it: typed answers, "确定(&C)", the scripted prompt.
#include <QApplication>
#include <QCheckBox>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTranslator>
#include <QtTest>
#include <memory>

#include "PageHintTable.h"
#include "TestDb.h"
#include "core/report/Fonts.h"
#include "core/store/Statements.h"
#include "gui/forms/QuestionnairePages.h"
#include "gui/forms/TFrm_New.h"
#include "gui/ui/ScriptedPrompt.h"
#include "gui/ui/StatusPanels.h"

using namespace catalogue;

namespace {

const QString kCaption = QStringLiteral("提示");

QString focusName() {
    QWidget* w = QApplication::focusWidget();
    return w ? w->objectName() : QStringLiteral("<none>");
}

}  // namespace

class TstNew : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QUENVALE_SKIP_WITHOUT_ENGINE();
        fonts::install();
    }
    void init();
    void cleanup();

    void failedCheck_data();
    void failedCheck();
    void storesEveryTable();
    void clearsAfterSuccess();
    void duplicateIdentityNumber_data();
    void duplicateIdentityNumber();
    void failedStatement_data();
    void failedStatement();
    void enterMovesFocus_data();
    void enterMovesFocus();
    void escapeDoesNothing();
    void cancelCloses();
    void typedWithKeyboard();
    void pageHints();
    void screenshots();

private:
    void show();
    void type(const Answers& a);
    void pressOk() { QTest::mouseClick(m_form->Button1, Qt::LeftButton); }
    QList<QStringList> rows(const QString& table) {
        return m_db->rows(
            QStringLiteral("select ID, Code, Name from %1 order by %2").arg(table, m_db->insertionOrder()));
    }

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<TFrm_New> m_form;
};

void TstNew::init() {
    m_db = std::make_unique<TestDb>();
    m_prompt = std::make_unique<ScriptedPrompt>();
    m_form = std::make_unique<TFrm_New>();
    show();
}

void TstNew::cleanup() {
    m_form.reset();
    m_prompt.reset();
    m_db.reset();
    QVERIFY(!QApplication::overrideCursor());
}

void TstNew::show() {
    m_form->show();
    QApplication::setActiveWindow(m_form.get());
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
}

void TstNew::type(const Answers& a) {
    m_form->PageControl1->idEdit()->setText(a.id);
    m_form->PageControl1->load(a);
    QCOMPARE(m_form->PageControl1->answers(), a);
}

// A change to a complete questionnaire that breaks exactly one thing (or two, for the ordering cases).
enum class Break { Blank, NoneTicked, TwoTicked, OtherEmpty, TwoWithOtherEmpty };
Q_DECLARE_METATYPE(Break)

static void applyBreak(Answers& a, Break b, int field, GroupId g) {
    switch (b) {
        case Break::Blank:
            if (field < 0)
                a.id.clear();
            else
                a.basic(field) = QStringLiteral(" \t ");
            break;
        case Break::NoneTicked:
            a[g].ticked.fill(false);
            break;
        case Break::TwoTicked:
            a[g].ticked.fill(false);
            a[g].ticked[0] = a[g].ticked[1] = true;
            break;
        case Break::OtherEmpty:
            a[g].ticked.fill(false);
            a[g].ticked.last() = true;
            a[g].otherText = QStringLiteral("  ");
            break;
        case Break::TwoWithOtherEmpty:
            a[g].ticked.fill(false);
            a[g].ticked[0] = a[g].ticked.last() = true;
            break;
    }
}

void TstNew::failedCheck_data() {
    QTest::addColumn<Break>("change");
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("startPage");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("focus");

    const QString ok = QStringLiteral("Button1");  // the handler leaves the focus where the click put it
    auto row = [](const char* name, Break b, int field, GroupId g, int start, const char* msg, int page,
                  const QString& focus) {
        QTest::newRow(name) << b << field << int(g) << start << QString::fromUtf8(msg) << page << focus;
    };
    using B = Break;
    // Checks 1-5 and 14, 17: page one and focus; 6-13, 15, 16: the page stays as it was.
    row("01 id", B::Blank, -1, Age, 13, "身份证号为空,请输入！", 0, "Edt_ID");
    row("02 name", B::Blank, 0, Age, 13, "姓名为空,请输入！", 0, "Edt_Name");
    row("03 address", B::Blank, 1, Age, 5, "家庭住址为空,请输入！", 0, "Edt_Address");
    row("04 work unit", B::Blank, 2, Age, 5, "工作单位为空,请输入！", 0, "Edt_WorkUnit");
    row("05 phone, from page 14", B::Blank, 3, Age, 13, "联系电话为空,请输入！", 0, "Edt_Phone");
    row("06 no age, from page 14", B::NoneTicked, 0, Age, 13, "请选择年龄！", 13, ok);
    row("07 two ages", B::TwoTicked, 0, Age, 4, "只能选择一个年龄段！", 4, ok);
    row("08 no level", B::NoneTicked, 0, Level, 13, "请选择学历！", 13, ok);
    row("09 two levels", B::TwoTicked, 0, Level, 0, "只能选择一个学历！", 0, ok);
    row("10 no political", B::NoneTicked, 0, Political, 7, "请选择政治面貌！", 7, ok);
    row("11 two political", B::TwoTicked, 0, Political, 13, "只能选择一个政治面貌！", 13, ok);
    row("12 no duty", B::NoneTicked, 0, Duty, 13, "请选择一个职业！", 13, ok);
    row("13 two duties", B::TwoTicked, 0, Duty, 13, "只能选择一个职业！", 13, ok);
    row("13 two duties, one the other without text", B::TwoWithOtherEmpty, 0, Duty, 13, "只能选择一个职业！",
        13, ok);
    row("14 duty other empty", B::OtherEmpty, 0, Duty, 13, "请输入其它职业的名称！", 0, "Edt_Duty");
    row("15 no position", B::NoneTicked, 0, Position, 13, "请选择一个职称！", 13, ok);
    row("16 two positions", B::TwoTicked, 0, Position, 13, "只能选择一个职称！", 13, ok);
    row("17 position other empty", B::OtherEmpty, 0, Position, 13, "请输入其它职称的名称！", 0,
        "Edt_Position");
    // Checks 18-42: "none ticked" shows the page, an empty other text shows it and focuses the text box.
    row("18", B::NoneTicked, 0, Special, 13, "请选择专业和特长！", 1, ok);
    row("19", B::OtherEmpty, 0, Special, 13, "请输入其它专业和特长！", 1, "Edt_Special");
    row("20", B::NoneTicked, 0, Love, 13, "请选择业余爱好！", 2, ok);
    row("21", B::OtherEmpty, 0, Love, 13, "请输入其它业余爱好！", 2, "Edt_Love");
    row("22", B::NoneTicked, 0, Team, 13, "请选择文体社团活动！", 3, ok);
    row("23", B::OtherEmpty, 0, Team, 13, "请输入其它文体活动社团！", 3, "Edt_Team");
    row("24", B::NoneTicked, 0, Service, 13, "请选择在社区开展的服务！", 4, ok);
    row("25", B::OtherEmpty, 0, Service, 13, "请输入其它你需要在社区开展的服务！", 4, "Edt_Service");
    row("26", B::NoneTicked, 0, Train, 13, "请输入你希望开展的培训或讲座！", 5, ok);
    row("27", B::OtherEmpty, 0, Train, 13, "请输入其它你希望开展的培训或讲座！", 5, "Edt_Train");
    row("28", B::NoneTicked, 0, Flag, 13, "请选择你是否愿意参加社区活动！", 6, ok);
    row("29 yes and no", B::TwoTicked, 0, Flag, 13, "你只能选择一项！", 6, ok);
    row("30", B::NoneTicked, 0, Reason, 13, "请选择你为何愿意参加社区公益活动！", 7, ok);
    row("31", B::OtherEmpty, 0, Reason, 13, "请输入其它原因！", 7, "Edt_Reason");
    row("32", B::NoneTicked, 0, Who, 13, "请选择你愿意为那种类型的社区居民提供服务！", 8, ok);
    row("33", B::OtherEmpty, 0, Who, 13, "请输入其它你愿意为那种类型的社区居民提供服务！", 8, "Edt_Who");
    row("34", B::NoneTicked, 0, Type, 13, "请选择你愿意参加的社区公益活动！", 9, ok);
    row("35", B::OtherEmpty, 0, Type, 13, "请输入其它你愿意参加的社区公益活动！", 9, "Edt_Type");
    row("36", B::NoneTicked, 0, Time, 13, "请选择你希望社区活动安排的时间！", 10, ok);
    row("37", B::NoneTicked, 0, ReinForce, 13, "请选择你希望社区活动应该加强的内容！", 11, ok);
    row("38", B::OtherEmpty, 0, ReinForce, 13, "请其它你希望社区活动应该加强的内容！", 11, "Edt_ReinForce");
    row("39", B::NoneTicked, 0, Depend, 13, "请选择社区活动应该依靠哪类人参与！", 12, ok);
    row("40", B::OtherEmpty, 0, Depend, 13, "请输入其它社区活动参与群体！", 12, "Edt_Depend");
    row("41", B::NoneTicked, 0, Channel, 0, "请选择社区增强凝聚力的渠道！", 13, ok);
    row("42", B::OtherEmpty, 0, Channel, 0, "请输入其它社区增强凝聚力的渠道！", 13, "Edt_Channel");
}

void TstNew::failedCheck() {
    QFETCH(Break, change);
    QFETCH(int, field);
    QFETCH(int, group);
    QFETCH(int, startPage);
    QFETCH(QString, message);
    QFETCH(int, page);
    QFETCH(QString, focus);

    Answers a = completeAnswers();
    applyBreak(a, change, field, GroupId(group));
    type(a);
    const QString before = m_db->dump();
    m_form->PageControl1->setCurrentIndex(startPage);
    pressOk();

    QCOMPARE(m_prompt->texts(), QStringList{message});
    QCOMPARE(m_prompt->messages().first().caption, kCaption);
    QVERIFY(!m_prompt->messages().first().busyCursor);
    QCOMPARE(m_form->PageControl1->currentIndex(), page);
    QCOMPARE(focusName(), focus);
    QCOMPARE(m_form->PageControl1->answers(), a);
    QCOMPARE(m_db->dump(), before);
}

void TstNew::storesEveryTable() {
    Answers a;
    a.id = QStringLiteral("44030119851231002X");
    a.name = QStringLiteral(" 李四 ");
    a.address = QStringLiteral("幸福路2号");
    a.workUnit = QStringLiteral("街道办");
    a.phone = QStringLiteral("0755-1234");
    a[Age].ticked[2] = true;
    a[Level].ticked[3] = true;
    a[Political].ticked[1] = true;
    a[Duty].ticked[11] = true;
    a[Duty].otherText = QStringLiteral(" 木匠 ");
    a[Position].ticked[4] = true;
    a[Position].otherText = QStringLiteral("unticked, not stored");
    a[Flag].ticked[1] = true;
    a[Special].ticked[0] = a[Special].ticked[19] = a[Special].ticked[20] = true;
    a[Special].otherText = QStringLiteral("  剪纸 ");
    a[Love].ticked[9] = true;
    a[Love].otherText = QStringLiteral("不存");  // other box unticked: ignored
    a[Team].ticked[17] = true;
    a[Team].otherText = QStringLiteral("舞龙");
    a[Service].ticked[1] = a[Service].ticked[14] = true;
    a[Train].ticked[10] = true;
    a[Train].otherText = QStringLiteral("插花");
    a[Reason].ticked[0] = true;
    a[Who].ticked[11] = true;
    a[Type].ticked[8] = a[Type].ticked[9] = true;
    a[Type].otherText = QStringLiteral("义诊");
    a[Time].ticked[2] = a[Time].ticked[5] = true;
    a[ReinForce].ticked[3] = true;
    a[Depend].ticked[0] = a[Depend].ticked[5] = true;
    a[Channel].ticked[4] = a[Channel].ticked[5] = true;
    a[Channel].otherText = QStringLiteral("网络");
    type(a);
    pressOk();

    QCOMPARE(m_prompt->texts(), QStringList{QStringLiteral("新增记录成功！")});
    const QString id = a.id;
    const QString n = QStringLiteral("<null>");
    QCOMPARE(m_db->rows(QStringLiteral("select * from BasicInfo")),
             (QList<QStringList>{{id, QStringLiteral("李四"), QStringLiteral("幸福路2号"),
                                  QStringLiteral("街道办"), QStringLiteral("0755-1234"), "3", "4", "2",
                                  QStringLiteral("99|木匠"), "5", "0"}}));
    using Rows = QList<QStringList>;
    QCOMPARE(rows("Special"), (Rows{{id, "01", n}, {id, "20", n}, {id, "99", QStringLiteral("剪纸")}}));
    QCOMPARE(rows("Love"), (Rows{{id, "10", n}}));
    QCOMPARE(rows("Team"), (Rows{{id, "99", QStringLiteral("舞龙")}}));
    QCOMPARE(rows("Service"), (Rows{{id, "02", n}, {id, "15", n}}));
    QCOMPARE(rows("Train"), (Rows{{id, "99", QStringLiteral("插花")}}));
    QCOMPARE(rows("Reason"), (Rows{{id, "01", n}}));
    QCOMPARE(rows("Who"), (Rows{{id, "12", n}}));
    QCOMPARE(rows("Type"), (Rows{{id, "09", n}, {id, "99", QStringLiteral("义诊")}}));
    QCOMPARE(rows("Time1"), (Rows{{id, "3", n}, {id, "6", n}}));
    QCOMPARE(rows("ReinForce"), (Rows{{id, "04", n}}));
    QCOMPARE(rows("Depend"), (Rows{{id, "01", n}, {id, "06", n}}));
    QCOMPARE(rows("Channel"), (Rows{{id, "05", n}, {id, "99", QStringLiteral("网络")}}));
}

void TstNew::clearsAfterSuccess() {
    Answers a = completeAnswers();
    a[Special].ticked.last() = true;
    a[Special].otherText = QStringLiteral("剪纸");
    type(a);
    m_form->PageControl1->setCurrentIndex(13);
    pressOk();

    const auto& msgs = m_prompt->messages();
    QCOMPARE(msgs.size(), 1);
    QCOMPARE(msgs[0].text, QStringLiteral("新增记录成功！"));
    QCOMPARE(msgs[0].caption, kCaption);
    QVERIFY(!msgs[0].busyCursor);
    QCOMPARE(m_db->count(QStringLiteral("BasicInfo"), a.id), 1);

    QCOMPARE(m_form->PageControl1->currentIndex(), 0);
    QCOMPARE(m_form->PageControl1->answers(), Answers());
    for (QLineEdit* e : m_form->findChildren<QLineEdit*>())
        QVERIFY2(e->text().isEmpty(), qPrintable(e->objectName()));
    for (QCheckBox* c : m_form->findChildren<QCheckBox*>())
        QVERIFY2(!c->isChecked(), qPrintable(c->objectName()));
    QCOMPARE(focusName(), QStringLiteral("Edt_ID"));
    QCOMPARE(m_form->SB->panelText(0), QStringLiteral("基本信息"));

    // The next questionnaire goes in the same way.
    type(completeAnswers(QStringLiteral("220101198001010011")));
    pressOk();
    QCOMPARE(m_prompt->texts().last(), QStringLiteral("新增记录成功！"));
    QCOMPARE(m_db->count(QStringLiteral("BasicInfo")), 2);
}

void TstNew::duplicateIdentityNumber_data() {
    QTest::addColumn<QString>("storedAs");  // the first questionnaire's number as stored
    QTest::addColumn<QString>("typed");
    QTest::newRow("same number") << "110101199001011234"
                                 << "110101199001011234";
    // Stored as "…x" by another program: the same resident.
    QTest::newRow("x stored, X typed") << "11010519491231002x"
                                       << "11010519491231002X";
}

void TstNew::duplicateIdentityNumber() {
    QFETCH(QString, storedAs);
    QFETCH(QString, typed);
    const Answers first = completeAnswers(typed);
    type(first);
    pressOk();
    QCOMPARE(m_prompt->texts(), QStringList{QStringLiteral("新增记录成功！")});
    for (int t = 0; storedAs != typed && t < statements::kTableCount; ++t)
        m_db->exec(QStringLiteral("UPDATE %1 SET ID=? WHERE ID=?").arg(statements::tableName(t)),
                   {storedAs, typed});
    const QString before = m_db->dump();

    Answers second = completeAnswers(typed);
    second.name = QStringLiteral("王五");
    second[Love].ticked[3] = true;
    type(second);
    m_prompt->clear();
    pressOk();

    QCOMPARE(m_prompt->texts(), QStringList{QStringLiteral("新增失败！,请检查身份证号码！")});
    QVERIFY(m_prompt->messages().first().busyCursor);
    QCOMPARE(m_db->dump(), before);
    QCOMPARE(m_form->PageControl1->answers(), second);
}

void TstNew::failedStatement_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("when");
    QTest::addColumn<QString>("message");

    const QString checkId = QStringLiteral("新增失败！,请检查身份证号码！");
    QTest::newRow("BasicInfo") << "BasicInfo"
                               << "1" << checkId;
    QTest::newRow("Special") << "Special"
                             << "1" << checkId;
    QTest::newRow("Love") << "Love"
                          << "1" << checkId;
    QTest::newRow("Team") << "Team"
                          << "1" << checkId;
    QTest::newRow("Service, second row")
        << "Service"
        << "NEW.Code = '02'" << QStringLiteral("新增失败,请检查身份证号码！");
    QTest::newRow("Train") << "Train"
                           << "1" << QStringLiteral("新增失败！");
    QTest::newRow("Time1") << "Time1"
                           << "1" << QStringLiteral("新增失败！");
    QTest::newRow("Channel, other row") << "Channel"
                                        << "NEW.Code = '99'" << QStringLiteral("新增失败！");
}

void TstNew::failedStatement() {
    QFETCH(QString, table);
    QFETCH(QString, when);
    QFETCH(QString, message);

    m_db->failOn(QStringLiteral("INSERT"), table, when);
    const QString before = m_db->dump();
    Answers a = completeAnswers();
    a[Service].ticked[1] = true;
    a[Channel].ticked.last() = true;
    a[Channel].otherText = QStringLiteral("网络");
    type(a);
    m_form->PageControl1->setCurrentIndex(9);
    pressOk();

    const auto& msgs = m_prompt->messages();
    QCOMPARE(msgs.size(), 1);
    QCOMPARE(msgs[0].text, message);
    QCOMPARE(msgs[0].caption, kCaption);
    QVERIFY(msgs[0].busyCursor);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(m_db->dump(), before);
    QCOMPARE(m_form->PageControl1->answers(), a);
    QCOMPARE(m_form->PageControl1->currentIndex(), 9);

    // Once the fault is gone, the same typed questionnaire stores at the next press.
    m_db->clearFailure(table);
    pressOk();
    QCOMPARE(m_prompt->texts().last(), QStringLiteral("新增记录成功！"));
    QCOMPARE(m_db->count(QStringLiteral("Service"), a.id), 2);
}

void TstNew::enterMovesFocus_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("to");

    QTest::newRow("id to name") << "Edt_ID" << int(Qt::Key_Return) << "Edt_Name";
    QTest::newRow("keypad Enter, phone to first age box") << "Edt_Phone" << int(Qt::Key_Enter) << "CBX_Age1";
    QTest::newRow("last of page one to the OK button") << "Edt_Position" << int(Qt::Key_Return) << "Button1";
    QTest::newRow("OK button is not clicked") << "Button1" << int(Qt::Key_Return) << "Button2";
    QTest::newRow("cancel button is not clicked") << "Button2" << int(Qt::Key_Enter) << "PageControl1";
}

void TstNew::enterMovesFocus() {
    QFETCH(QString, from);
    QFETCH(int, key);
    QFETCH(QString, to);

    type(completeAnswers());
    auto* start = m_form->findChild<QWidget*>(from);
    QVERIFY(start);
    start->setFocus();
    QCOMPARE(focusName(), from);
    QTest::keyClick(start, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);

    QWidget* now = QApplication::focusWidget();
    QVERIFY(now);
    // The tab control takes the focus through its tab bar.
    QCOMPARE(now == static_cast<QWidget*>(m_form->PageControl1->tabBar()) ? QStringLiteral("PageControl1")
                                                                          : now->objectName(),
             to);
    QVERIFY(m_prompt->messages().isEmpty());
    QVERIFY(m_form->isVisible());
    QCOMPARE(m_db->count(QStringLiteral("BasicInfo")), 0);
}

void TstNew::escapeDoesNothing() {
    type(completeAnswers());
    for (QWidget* w : {static_cast<QWidget*>(m_form->PageControl1->basicEdit(0)),
                       static_cast<QWidget*>(m_form->Button2)}) {
        w->setFocus();
        QTest::keyClick(w, Qt::Key_Escape);
        QVERIFY(m_form->isVisible());
        QCOMPARE(QApplication::focusWidget(), w);
    }
    QCOMPARE(m_form->PageControl1->answers(), completeAnswers());
    QVERIFY(m_prompt->messages().isEmpty());
}

void TstNew::cancelCloses() {
    type(completeAnswers());
    QTest::mouseClick(m_form->Button2, Qt::LeftButton);
    QVERIFY(!m_form->isVisible());
    QVERIFY(m_prompt->messages().isEmpty());
    QCOMPARE(m_db->count(QStringLiteral("BasicInfo")), 0);
}

// A questionnaire entered as staff enter it: page one by keyboard alone, the other pages by mouse,
// "确定(&C)" reached with Enter and pressed with Space.
void TstNew::typedWithKeyboard() {
    // Key by key, as typed; characters beyond ASCII come as key events carrying their text.
    auto keys = [](const QString& text) {
        for (QChar c : text)
            QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, QString(c),
                                Qt::NoModifier);
    };
    auto press = [](Qt::Key key, int times = 1) {
        for (int i = 0; i < times; ++i) QTest::keyClick(QApplication::focusWidget(), key);
    };
    QCOMPARE(focusName(), QStringLiteral("Edt_ID"));
    keys(QStringLiteral("3301x06a"));  // letters are dropped
    press(Qt::Key_Return);
    for (const char* text : {"赵六", "西湖路8号", "杭州某厂", "0571-8888"}) {
        keys(QString::fromUtf8(text));
        press(Qt::Key_Return);
    }
    QCOMPARE(focusName(), QStringLiteral("CBX_Age1"));
    press(Qt::Key_Space);  // 35岁以下
    press(Qt::Key_Return, 5);
    press(Qt::Key_Space);  // 大专
    press(Qt::Key_Return, 5);
    press(Qt::Key_Space);  // 民主党派人士
    press(Qt::Key_Return, 13);
    press(Qt::Key_Space);  // 其它
    press(Qt::Key_Return);
    QCOMPARE(focusName(), QStringLiteral("Edt_Duty"));
    keys(QStringLiteral("画家"));
    press(Qt::Key_Return, 2);
    press(Qt::Key_Space);  // 医师

    QTabBar* tabs = m_form->PageControl1->tabBar();
    for (int page = 1; page < 14; ++page) {
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(page).center());
        QCOMPARE(m_form->PageControl1->currentIndex(), page);
        QWidget* box = m_form->PageControl1->tabOrder(page).first();
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));  // on the indicator
    }
    QCOMPARE(focusName(), QStringLiteral("Cbx_Channel1"));
    press(Qt::Key_Return, 7);
    QCOMPARE(focusName(), QStringLiteral("Button1"));
    QVERIFY(m_prompt->messages().isEmpty());
    press(Qt::Key_Space);

    QCOMPARE(m_prompt->texts(), QStringList{QStringLiteral("新增记录成功！")});
    QCOMPARE(m_db->rows(QStringLiteral("select * from BasicInfo")),
             (QList<QStringList>{{"330106", QStringLiteral("赵六"), QStringLiteral("西湖路8号"),
                                  QStringLiteral("杭州某厂"), "0571-8888", "1", "2", "3",
                                  QStringLiteral("99|画家"), "2", "1"}}));
    QCOMPARE(m_db->count(QStringLiteral("Time1"), QStringLiteral("330106")), 1);
    QCOMPARE(focusName(), QStringLiteral("Edt_ID"));
}

// Every page's hint, entered as a user enters it: pages two to fourteen in turn, then back to one.
void TstNew::pageHints() {
    // Showing the form put the focus into Edt_ID, which entered page one.
    QCOMPARE(focusName(), QStringLiteral("Edt_ID"));
    QCOMPARE(m_form->SB->panelText(0), QStringLiteral("基本信息"));
    QCOMPARE(m_form->SB->panelText(1), QStringLiteral("请填写每一项 内容！"));

    const QList<ExpectedHint> hints = expectedPageHints();
    QStringList expected, shown;
    for (int page : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 0}) {
        enterPage(m_form->PageControl1, page);
        QCOMPARE(m_form->PageControl1->pageOf(QApplication::focusWidget()), page);
        expected << QStringLiteral("%1: %2 / %3").arg(page + 1).arg(hints[page].title, hints[page].text);
        shown << QStringLiteral("%1: %2 / %3")
                     .arg(page + 1)
                     .arg(m_form->SB->panelText(0), m_form->SB->panelText(1));
    }
    QCOMPARE(shown, expected);
}

// Pictures of the form for the documentation: QUENVALE_SHOTS names the folder to write them to.
void TstNew::screenshots() {
    const QString dir = qEnvironmentVariable("QUENVALE_SHOTS");
    if (dir.isEmpty()) QSKIP("QUENVALE_SHOTS not set");
    QTranslator qt;
    if (qt.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qt);

    Answers a = completeAnswers();
    a[Duty].ticked[0] = false;
    a[Duty].ticked.last() = true;
    a[Duty].otherText = QStringLiteral("木匠");
    a[Special].ticked[4] = a[Special].ticked.last() = true;
    a[Special].otherText = QStringLiteral("剪纸");
    a[Channel].ticked.last() = true;
    type(a);
    m_form->PageControl1->idEdit()->setFocus();
    QVERIFY(m_form->grab().save(dir + QStringLiteral("/new.png")));
    for (auto [page, name] :
         {std::pair{1, "new-special"}, {4, "new-service"}, {6, "new-flag"}, {13, "new-channel"}}) {
        m_form->PageControl1->setCurrentIndex(page);
        m_form->PageControl1->tabOrder(page).first()->setFocus();
        QVERIFY(m_form->grab().save(dir + u'/' + QLatin1String(name) + QStringLiteral(".png")));
    }
    QMessageBox box(QMessageBox::Information, kCaption, QStringLiteral("请输入其它社区增强凝聚力的渠道！"),
                    QMessageBox::Ok, m_form.get());
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QVERIFY(box.grab().save(dir + QStringLiteral("/new-message.png")));
    QCoreApplication::removeTranslator(&qt);
}

QTEST_MAIN(TstNew)
#include "tst_new.moc"
