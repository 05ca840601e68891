// The fourteen questionnaire pages as each record form shows them.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include "gui/forms/IdNumberValidator.h"
#include "gui/forms/QuestionnairePages.h"

using namespace catalogue;
Q_DECLARE_METATYPE(catalogue::FormKind)

namespace {

// Written independently of the catalogue: name, caption, option code.
struct Expected {
    const char* name;
    const char* caption;
    int code;
};
const Expected kSpot[] = {
    {"CBX_Age1", "35岁以下", 1},
    {"Cbx_Age2", "35-50岁", 2},
    {"Cbx_Age4", "61-70岁", 4},
    {"Cbx_Level1", "高中及高中一下", 1},
    {"Cbx_Political3", "民主党派人士", 3},
    {"Cbx_Duty10", "无业人员", 10},
    {"Cbx_Duty12", "其它", 99},
    {"Cbx_Position5", "护士", 5},
    {"Cbx_Position6", "其它", 99},
    {"Cbx_Special20", "传播(如编辑、表演)", 20},
    {"Cbx_Special21", "其它", 99},
    {"Cbx_Love12", "拳类(如太极拳)", 12},
    {"Cbx_Love17", "其它", 99},
    {"Cbx_Team13", "兵乓球队", 13},
    {"Cbx_Team18", "其它", 99},
    {"Cbx_Service15", "学生假期活动", 15},
    {"Cbx_Service16", "其它", 99},
    {"Cbx_Train11", "其它", 99},
    {"Cbx_Flag1", "是", 1},
    {"Cbx_Flag2", "否", 0},
    {"Cbx_Reason12", "为未来工作做准备", 12},
    {"Cbx_Who11", "两劳释放人员", 11},
    {"Cbx_Who13", "其它", 99},
    {"CBx_Type1", "咨询辅导", 1},
    {"CBx_Type10", "其它", 99},
    {"Cbx_Time6", "重大活动前后", 6},
    {"Cbx_ReinForce4", "民间组织培育", 4},
    {"Cbx_Depend6", "全体", 6},
    {"Cbx_Channel1", "议事园等宣传栏", 1},
    {"Cbx_Channel6", "其它", 99},
};

const char* const kOtherPairs[][2] = {
    {"Cbx_Duty12", "Edt_Duty"},      {"Cbx_Position6", "Edt_Position"},   {"Cbx_Special21", "Edt_Special"},
    {"Cbx_Love17", "Edt_Love"},      {"Cbx_Team18", "Edt_Team"},          {"Cbx_Service16", "Edt_Service"},
    {"Cbx_Train11", "Edt_Train"},    {"Cbx_Reason13", "Edt_Reason"},      {"Cbx_Who13", "Edt_Who"},
    {"CBx_Type10", "Edt_Type"},      {"Cbx_ReinForce5", "Edt_ReinForce"}, {"Cbx_Depend7", "Edt_Depend"},
    {"Cbx_Channel6", "Edt_Channel"},
};

// Every box's caption, group by group in box order, the last one the other option where
// the group has one.
struct ExpectedGroup {
    GroupId group;
    int boxes;
    const char* captions;  // separated by blanks
};
const ExpectedGroup kCaptions[] = {
    {Age, 4, "35岁以下 35-50岁 51-60岁 61-70岁"},
    {Level, 4, "高中及高中一下 大专 本科 研究生"},
    {Political, 4, "共青团员 中共党员 民主党派人士 一般群众"},
    {Duty, 12, "学生 公司职员 工人 公务员 教师 医生 律师 个体工商户 企业家 无业人员 离退休人员 其它"},
    {Position, 6, "工程师 医师 会计师 经济师 护士 其它"},
    {Special, 21,
     "医疗护理 法律 教育 金融 计算机 电器维修 体育运动 音乐 科普 农艺 书画及美术设计 政治理论 心理咨询 "
     "建筑装潢 办公室技能 舞蹈 驾驶 外语 家政 传播(如编辑、表演) 其它"},
    {Love, 17,
     "音乐 电影 文学 书法 美术 种植花草 棋牌 麻将 游泳 爬山 球类 拳类(如太极拳) 健身操 跳舞 唱歌 戏曲 其它"},
    {Team, 18,
     "健身操队 太极拳队 爬山队 合唱团 乐器团 编制班 书画协会 音乐发烧友协会 围棋协会 象棋协会 篮球队 足球队 "
     "兵乓球队 网球队 车友协会 钓鱼协会 戏剧票友协会 其它"},
    {Service, 16,
     "家政服务 医疗保健服务 家电维修 车辆维修 职业介绍 缝纫织补 房产中介 投资理财 废品收购 教育培训 绿化环境 "
     "托老 托幼 家教 学生假期活动 其它"},
    {Train, 11, "劳动技能 创业指导 外语 电脑 健康保健 科普 法律 投资理财 美容美发 政治理论 其它"},
    {Flag, 2, "是 否"},
    {Reason, 13,
     "尽居民责任 增加经验 帮助有需要的人 学习新知识技能 结交朋友 自我发展 善用业余时间 服务社会 实现自身价值 "
     "扩展生活体验 对公益活动有兴趣 为未来工作做准备 其它"},
    {Who, 13,
     "老人 儿童 妇女 青少年 残疾人员 重大疾病患者 低保户 特殊困难家庭 外来务工人员 戒毒人员 两劳释放人员 "
     "全体居民 其它"},
    {Type, 10, "咨询辅导 法律援助 物质资助 教育培训 义工 一助一帮扶 治安巡逻 医疗服务 维修 其它"},
    {Time, 6, "节假日 工作日 早晨 中午 晚上 重大活动前后"},
    {ReinForce, 5, "社区服务 社区党建 社区教育 民间组织培育 其它"},
    {Depend, 7, "离退休人员 低保人员 无业下岗人员 就业人员 志愿人员 全体 其它"},
    {Channel, 6, "议事园等宣传栏 文体活动 学习教育 服务活动 扶贫帮困 其它"},
};

// The question above the boxes of pages two to fourteen.
const QStringList kAllQuestions = {
    "你有何专业及特长：",
    "你有何业务爱好",
    "你愿意参加哪种文体活动社团",
    "你最需要社区开展哪些服务",
    "你希望社区开展哪类培训或讲座：",
    "你是否愿意参加社会公益活动：",
    "你为何愿意参加社会公益活动：",
    "你愿意为那种类型的社区居民提供服务",
    "你愿意参加何种类型的社区公益活动",
    "你希望社区组织公益活动的时间应该尽量安排在：",
    "你认为社区建设应该着重加强：",
    "你认为社区建设主要应该依靠哪类居民参与：",
    "你认为社委会应该通过什么渠道增强社区凝聚力：",
};

// Controls on a page in the order Tab visits them.
QStringList focusOrder(QuestionnairePages& pages, int page, const QStringList& among) {
    QWidget* start = pages.control(among.first());
    QStringList out{among.first()};
    for (QWidget* w = start->nextInFocusChain(); w != start && out.size() < among.size();
         w = w->nextInFocusChain())
        if (among.contains(w->objectName()) && pages.pageOf(w) == page) out << w->objectName();
    return out;
}

}  // namespace

class TstPages : public QObject {
    Q_OBJECT
private slots:
    void forms_data() {
        QTest::addColumn<FormKind>("form");
        QTest::newRow("new") << FormKind::New;
        QTest::newRow("query") << FormKind::Query;
        QTest::newRow("edit") << FormKind::Edit;
    }

    void generatedControls_data() { forms_data(); }
    void generatedControls() {
        QFETCH(FormKind, form);
        QuestionnairePages pages(form);
        QCOMPARE(pages.objectName(), QString("PageControl1"));
        QCOMPARE(pages.count(), 14);
        QCOMPARE(pages.currentIndex(), 0);
        QCOMPARE(pages.tabText(0), QString("页一"));
        QCOMPARE(pages.tabText(10), QString("页十一"));
        QCOMPARE(pages.tabText(13), QString("页十四"));
        QCOMPARE(pages.findChildren<QCheckBox*>().size(), 175);
        for (const Expected& e : kSpot) {
            auto* cb = pages.findChild<QCheckBox*>(e.name);
            QVERIFY2(cb, e.name);
            QCOMPARE(cb->text(), QString::fromUtf8(e.caption));
            int code = -1;
            for (const Group& g : groups())
                for (const Box& b : g.boxes)
                    if (QLatin1String(b.name) == QLatin1String(e.name)) code = b.code;
            QCOMPARE(code, e.code);
        }
        // each other text box stands right of its box, on the same row
        for (const auto& pair : kOtherPairs) {
            pages.setCurrentIndex(pages.pageOf(pages.control(pair[0])));
            pages.resize(689, 313);
            pages.show();
            QCoreApplication::processEvents();
            QWidget* box = pages.control(pair[0]);
            auto* edit = qobject_cast<QLineEdit*>(pages.control(pair[1]));
            QVERIFY2(edit, pair[1]);
            QCOMPARE(edit->maxLength(), std::numeric_limits<int>::max());  // no limit
            QVERIFY2(edit->x() > box->x() + box->width() - 1, pair[1]);
            QVERIFY2(qAbs(edit->geometry().center().y() - box->geometry().center().y()) < 6, pair[1]);
        }
        int edits = 0;
        for (auto* e : pages.findChildren<QLineEdit*>())
            if (e->objectName().startsWith("Edt_")) ++edits;
        QCOMPARE(edits, 13 + 4 + (form == FormKind::New ? 1 : 0));
    }

    // Every caption of every box, and every page's question on its own page.
    void everyCaptionAndQuestion_data() { forms_data(); }
    void everyCaptionAndQuestion() {
        QFETCH(FormKind, form);
        QuestionnairePages pages(form);
        int total = 0;
        for (const ExpectedGroup& e : kCaptions) {
            QStringList shown;
            for (int i = 0; i < e.boxes; ++i) shown << pages.box(e.group, i)->text();
            QCOMPARE(shown.join(u' '), QString::fromUtf8(e.captions));
            total += e.boxes;
        }
        QCOMPARE(total, 175);
        QCOMPARE(pages.findChildren<QCheckBox*>().size(), total);
        for (int page = 1; page < 14; ++page) {
            QStringList labels;
            for (auto* l : pages.widget(page)->findChildren<QLabel*>()) labels << l->text();
            QCOMPARE(labels, QStringList{kAllQuestions[page - 1]});
        }
    }

    void sheetNames_data() {
        QTest::addColumn<FormKind>("form");
        QTest::addColumn<QStringList>("sheets");
        const QStringList common = {"Tab_Special",   "Tab_Love",   "Tab_Team",   "Tab_Service", "Tab_Train",
                                    "Tab_Flag",      "Tab_Reason", "Tab_Who",    "Tab_Type",    "Tab_Time",
                                    "Tab_ReinForce", "Tab_Depend", "Tab_Channel"};
        QStringList n = QStringList{"Tab_Basic"} + common;
        QStringList q = n;
        q[7] = "Tab_Why";
        q[12] = "Tab_depend";
        QStringList e = QStringList{"Tab_BasicInfo"} + common;
        e[3] = "Tab_team";
        QTest::newRow("new") << FormKind::New << n;
        QTest::newRow("query") << FormKind::Query << q;
        QTest::newRow("edit") << FormKind::Edit << e;
    }
    void sheetNames() {
        QFETCH(FormKind, form);
        QFETCH(QStringList, sheets);
        QuestionnairePages pages(form);
        QStringList got;
        for (int i = 0; i < pages.count(); ++i) got << pages.widget(i)->objectName();
        QCOMPARE(got, sheets);
    }

    void pageOneTabOrder_data() {
        QTest::addColumn<FormKind>("form");
        QTest::addColumn<QStringList>("expected");
        const QStringList age = {"CBX_Age1", "Cbx_Age2", "Cbx_Age3", "Cbx_Age4"};
        const QStringList level = {"Cbx_Level1", "Cbx_Level2", "Cbx_Level3", "Cbx_Level4"};
        const QStringList political = {"Cbx_Political1", "Cbx_Political2", "Cbx_Political3",
                                       "Cbx_Political4"};
        QStringList duty;
        for (int i = 1; i <= 12; ++i) duty << QString("Cbx_Duty%1").arg(i);
        QStringList pos;
        for (int i = 1; i <= 5; ++i) pos << QString("Cbx_Position%1").arg(i);
        const QStringList fields = {"Edt_Name", "Edt_Address", "Edt_WorkUnit", "Edt_Phone"};
        QTest::newRow("new") << FormKind::New
                             << QStringList{"Edt_ID"} + fields + age + level + political + duty +
                                    QStringList{"Edt_Duty"} + pos +
                                    QStringList{"Cbx_Position6", "Edt_Position"};
        QTest::newRow("query") << FormKind::Query
                               << fields + duty + pos + political + age + level +
                                      QStringList{"Cbx_Position6", "Edt_Position", "Edt_Duty"};
        QTest::newRow("edit") << FormKind::Edit
                              << fields + age + level + political + duty + pos +
                                     QStringList{"Cbx_Position6", "Edt_Position", "Edt_Duty"};
    }
    void pageOneTabOrder() {
        QFETCH(FormKind, form);
        QFETCH(QStringList, expected);
        QuestionnairePages pages(form);
        QCOMPARE(focusOrder(pages, 0, expected), expected);
    }

    void pageFiveException_data() {
        QTest::addColumn<FormKind>("form");
        QTest::addColumn<bool>("editFirst");
        QTest::newRow("new") << FormKind::New << false;
        QTest::newRow("query") << FormKind::Query << true;
        QTest::newRow("edit") << FormKind::Edit << true;
    }
    void pageFiveException() {
        QFETCH(FormKind, form);
        QFETCH(bool, editFirst);
        QuestionnairePages pages(form);
        QStringList expected;
        for (int i = 1; i <= 15; ++i) expected << QString("Cbx_Service%1").arg(i);
        expected << (editFirst ? QStringList{"Edt_Service", "Cbx_Service16"}
                               : QStringList{"Cbx_Service16", "Edt_Service"});
        QCOMPARE(focusOrder(pages, 4, expected), expected);
        // every other page: boxes in order, the text box last
        QStringList channel;
        for (int i = 1; i <= 6; ++i) channel << QString("Cbx_Channel%1").arg(i);
        channel << "Edt_Channel";
        QCOMPARE(focusOrder(pages, 13, channel), channel);
    }

    void everyPageFits_data() { forms_data(); }
    void everyPageFits() {
        QFETCH(FormKind, form);
        QuestionnairePages pages(form);
        pages.resize(689, form == FormKind::New ? 353 : 313);
        pages.show();
        for (int i = 0; i < pages.count(); ++i) {
            pages.setCurrentIndex(i);
            QCoreApplication::processEvents();
            QWidget* page = pages.widget(i);
            for (QWidget* w : page->findChildren<QWidget*>()) {
                if (!w->isVisible()) continue;
                const QRect r(w->mapTo(page, QPoint(0, 0)), w->size());
                QVERIFY2(page->rect().contains(r),
                         qPrintable(QString("%1 on page %2").arg(w->objectName()).arg(i + 1)));
                if (auto* cb = qobject_cast<QCheckBox*>(w))
                    QVERIFY2(cb->width() >= cb->sizeHint().width(), qPrintable(cb->objectName()));
                if (auto* l = qobject_cast<QLabel*>(w))
                    QVERIFY2(l->width() >= l->sizeHint().width(), qPrintable(l->text()));
            }
        }
    }

    void clearAndLoad() {
        QuestionnairePages pages(FormKind::New);
        pages.idEdit()->setText("123");
        pages.basicEdit(0)->setText("n");
        pages.box(Love, 2)->setChecked(true);
        pages.otherEdit(Love)->setText("x");
        Answers a;
        a[Love].ticked[5] = true;
        a.address = "addr";
        pages.load(a);  // only ticks and fills
        QVERIFY(pages.box(Love, 2)->isChecked() && pages.box(Love, 5)->isChecked());
        QCOMPARE(pages.basicEdit(0)->text(), QString("n"));
        QCOMPARE(pages.otherEdit(Love)->text(), QString("x"));
        QCOMPARE(pages.answers().address, QString("addr"));
        pages.clearAnswers();
        const Answers cleared = pages.answers();
        Answers empty;
        empty.id = "123";  // the identity number stays
        QCOMPARE(cleared, empty);
    }

    void pageHints_data() {
        QTest::addColumn<FormKind>("form");
        QTest::addColumn<bool>("hints");
        QTest::newRow("new") << FormKind::New << true;
        QTest::newRow("query") << FormKind::Query << true;
        QTest::newRow("edit") << FormKind::Edit << false;
    }
    void pageHints() {
        QFETCH(FormKind, form);
        QFETCH(bool, hints);
        QWidget window;
        auto* outside = new QLineEdit(&window);
        outside->move(0, 330);
        auto* pages = new QuestionnairePages(form, &window);
        pages->resize(689, 320);
        pages->setHintsEnabled(hints);
        QSignalSpy entered(pages, &QuestionnairePages::pageEntered);
        window.resize(700, 360);
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        outside->setFocus();
        // Tab into page one
        QWidget::setTabOrder(outside, pages->tabOrder(0).first());
        QTest::keyClick(outside, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), pages->tabOrder(0).first());
        // moving within the page is not entering it
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        // a click on a control of page three enters page three
        pages->setCurrentIndex(2);
        QTest::mouseClick(pages->box(Love, 3), Qt::LeftButton);
        if (hints) {
            QCOMPARE(entered.size(), 2);
            QCOMPARE(entered[0][0].toInt(), 0);
            QCOMPARE(entered[1][0].toInt(), 2);
        } else {
            QCOMPARE(entered.size(), 0);
        }
        QCOMPARE(qs(pages_hint(0)), QString("请填写每一项 内容！"));
        QCOMPARE(qs(pages_hint(6)), QString("请在复选框前打勾！"));
        QCOMPARE(qs(catalogue::pages()[7].hintTitle), QString("为何愿意参加？"));
    }

    void idValidator_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("after");
        QTest::newRow("digits") << ""
                                << "123"
                                << "123";
        QTest::newRow("letter A") << "12"
                                  << "A"
                                  << "12";
        QTest::newRow("blank") << "12"
                               << " "
                               << "12";
        QTest::newRow("X too early") << "12"
                                     << "X"
                                     << "12";
        QTest::newRow("x as 18th") << "12345678901234567"
                                   << "x"
                                   << "12345678901234567X";
        QTest::newRow("19th digit") << "123456789012345678"
                                    << "9"
                                    << "123456789012345678";
        QTest::newRow("digit after X") << "12345678901234567X"
                                       << "1"
                                       << "12345678901234567X";
    }
    void idValidator() {
        QFETCH(QString, before);
        QFETCH(QString, typed);
        QFETCH(QString, after);
        QuestionnairePages pages(FormKind::New);
        QLineEdit* id = pages.idEdit();
        QVERIFY(id);
        id->setText(before);
        id->setCursorPosition(before.size());
        QTest::keyClicks(id, typed);
        QCOMPARE(id->text(), after);
        // pasting obeys the same rule
        IdNumberValidator v;
        QString pasted = before + typed + "A";
        int pos = 0;
        QCOMPARE(v.validate(pasted, pos), QValidator::Invalid);
    }

private:
    static const char* pages_hint(int page) { return catalogue::pages()[page].hintText; }
};

QTEST_MAIN(TstPages)
#include "tst_pages.moc"
