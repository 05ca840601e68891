// The whole order of the save checks of the New and Edit forms: from an empty questionnaire,
// press the button, note the message and its caption, mend just that answer, press again,
// until the questionnaire is stored. Every check is reached, the more-than-one and the
// other-text ones included, so a check that moved or vanished shows in the sequence.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <functional>
#include <memory>

#include "TestDb.h"
#include "core/store/SqlQuery.h"
#include "core/store/SurveyStore.h"
#include "gui/forms/QuestionnairePages.h"
#include "gui/forms/TFrm_Edit.h"
#include "gui/forms/TFrm_New.h"
#include "gui/ui/ScriptedPrompt.h"

using namespace catalogue;

namespace {

const QString kId = QStringLiteral("110101199001011234");

// Boxes per group, the last one the other option where the group has one.
int boxCount(GroupId g) {
    static const QMap<GroupId, int> counts = {
        {Age, 4},   {Level, 4}, {Political, 4}, {Duty, 12},     {Position, 6}, {Special, 21},
        {Love, 17}, {Team, 18}, {Service, 16},  {Train, 11},    {Flag, 2},     {Reason, 13},
        {Who, 13},  {Type, 10}, {Time, 6},      {ReinForce, 5}, {Depend, 7},   {Channel, 6},
    };
    return counts.value(g);
}

using Fix = std::function<void(QuestionnairePages&)>;

Fix typeBasic(int field, const char* text) {
    return [=](QuestionnairePages& p) { p.basicEdit(field)->setText(QString::fromUtf8(text)); };
}
Fix tick(GroupId g, std::initializer_list<int> boxes, bool on = true) {
    const QList<int> list(boxes);
    return [=](QuestionnairePages& p) {
        for (int b : list) p.box(g, b < 0 ? boxCount(g) + b : b)->setChecked(on);
    };
}
Fix untick(GroupId g, std::initializer_list<int> boxes) { return tick(g, boxes, false); }
Fix typeOther(GroupId g) {
    return [=](QuestionnairePages& p) { p.otherEdit(g)->setText(QStringLiteral("其它内容")); };
}

// One failed check: the New form's text; the Edit form's text and caption where they differ;
// then what the user mends before pressing again.
struct Step {
    const char* newText;
    const char* editText;     // nullptr: as on the New form
    const char* editCaption;  // nullptr: "提示"
    Fix fix;
};

// Single choice on page one: none ticked, then two (the second the other option where there
// is one), then only the other option left with its text missing, then the text.
QList<Step> steps() {
    const int last = -1;
    QList<Step> s = {
        {"姓名为空,请输入！", nullptr, nullptr, typeBasic(0, "张三")},
        {"家庭住址为空,请输入！", nullptr, nullptr, typeBasic(1, "幸福路1号")},
        {"工作单位为空,请输入！", nullptr, nullptr, typeBasic(2, "社区服务中心")},
        {"联系电话为空,请输入！", nullptr, nullptr, typeBasic(3, "13800000000")},
        {"请选择年龄！", nullptr, nullptr, tick(Age, {0, 3})},
        {"只能选择一个年龄段！", nullptr, nullptr, untick(Age, {0})},
        {"请选择学历！", nullptr, nullptr, tick(Level, {1, 2})},
        {"只能选择一个学历！", nullptr, nullptr, untick(Level, {2})},
        {"请选择政治面貌！", nullptr, nullptr, tick(Political, {0, 1})},
        {"只能选择一个政治面貌！", nullptr, nullptr, untick(Political, {1})},
        {"请选择一个职业！", nullptr, nullptr, tick(Duty, {4, last})},
        {"只能选择一个职业！", nullptr, nullptr, untick(Duty, {4})},
        {"请输入其它职业的名称！", nullptr, nullptr, typeOther(Duty)},
        {"请选择一个职称！", nullptr, nullptr, tick(Position, {0, last})},
        {"只能选择一个职称！", nullptr, nullptr, untick(Position, {0})},
        {"请输入其它职称的名称！", nullptr, nullptr, typeOther(Position)},
        // Multi-choice pages: none ticked, then the other option alone without its text.
        {"请选择专业和特长！", nullptr, nullptr, tick(Special, {last})},
        {"请输入其它专业和特长！", "请输入其他爱好和特长！", "信息", typeOther(Special)},
        {"请选择业余爱好！", "请选择爱好！", nullptr, tick(Love, {last})},
        {"请输入其它业余爱好！", "请输入其他爱好！", nullptr, typeOther(Love)},
        {"请选择文体社团活动！", nullptr, nullptr, tick(Team, {last})},
        {"请输入其它文体活动社团！", "请输入其他文体活动社团！", nullptr, typeOther(Team)},
        {"请选择在社区开展的服务！", nullptr, nullptr, tick(Service, {last})},
        {"请输入其它你需要在社区开展的服务！", "请输入其他你需要在社区开展的服务！", nullptr,
         typeOther(Service)},
        {"请输入你希望开展的培训或讲座！", nullptr, nullptr, tick(Train, {last})},
        {"请输入其它你希望开展的培训或讲座！", "请输入其他你希望开展的培训或讲座！", nullptr,
         typeOther(Train)},
        {"请选择你是否愿意参加社区活动！", nullptr, nullptr, tick(Flag, {0, 1})},
        {"你只能选择一项！", nullptr, "页七", untick(Flag, {1})},
        {"请选择你为何愿意参加社区公益活动！", nullptr, "页八", tick(Reason, {last})},
        {"请输入其它原因！", "请输入其他原因！", "页八", typeOther(Reason)},
        {"请选择你愿意为那种类型的社区居民提供服务！", nullptr, "页九", tick(Who, {last})},
        {"请输入其它你愿意为那种类型的社区居民提供服务！", "请输入其他你愿意为那种类型的社区居民提供服务！",
         "页九", typeOther(Who)},
        {"请选择你愿意参加的社区公益活动！", nullptr, "页十", tick(Type, {last})},
        {"请输入其它你愿意参加的社区公益活动！", "请输入其他你愿意参加的社区公益活动！", "页十",
         typeOther(Type)},
        {"请选择你希望社区活动安排的时间！", nullptr, "页十一", tick(Time, {last})},
        {"请选择你希望社区活动应该加强的内容！", nullptr, "页十二", tick(ReinForce, {last})},
        {"请其它你希望社区活动应该加强的内容！", "请其他你希望社区活动应该加强的内容！", "页十二",
         typeOther(ReinForce)},
        {"请选择社区活动应该依靠哪类人参与！", nullptr, "页十三", tick(Depend, {last})},
        {"请输入其它社区活动参与群体！", "请输入其他社区活动参与群体！", "页十三", typeOther(Depend)},
        {"请选择社区增强凝聚力的渠道！", nullptr, "页十四", tick(Channel, {last})},
        {"请输入其它社区增强凝聚力的渠道！", "请输入其他社区增强凝聚力的渠道！", "页十四",
         typeOther(Channel)},
    };
    return s;
}

}  // namespace

class TstCheckOrder : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_db = std::make_unique<TestDb>();
        m_prompt = std::make_unique<ScriptedPrompt>();
    }
    void cleanup() {
        m_prompt.reset();
        m_db.reset();
    }

    void newForm() {
        TFrm_New form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QuestionnairePages& pages = *form.PageControl1;

        QStringList expected{QStringLiteral("身份证号为空,请输入！/提示")};
        QList<Fix> fixes{[](QuestionnairePages& p) { p.idEdit()->setText(kId); }};
        for (const Step& s : steps()) {
            expected << QString::fromUtf8(s.newText) + QStringLiteral("/提示");
            fixes << s.fix;
        }
        expected << QStringLiteral("新增记录成功！/提示");

        QCOMPARE(walk(pages, form.Button1, fixes), expected);
        QCOMPARE(m_db->count(QStringLiteral("BasicInfo"), kId), 1);
    }

    void editForm() {
        {
            SqlQuery q(QStringLiteral("MyDb"));
            SurveyStore(q).store(completeAnswers(kId));
        }
        TFrm_Edit form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.findChild<QLineEdit*>(QStringLiteral("Edt_ID"))->setText(kId);
        form.findChild<QPushButton*>(QStringLiteral("Btn_Qry"))->click();
        QCOMPARE(m_prompt->messages().size(), 0);
        QuestionnairePages& pages = *form.pages();
        pages.clearAnswers();

        // No identity-number check: the number is the one looked up.
        QStringList expected;
        QList<Fix> fixes;
        for (const Step& s : steps()) {
            expected << QString::fromUtf8(s.editText ? s.editText : s.newText) + u'/' +
                            QString::fromUtf8(s.editCaption ? s.editCaption : "提示");
            fixes << s.fix;
        }
        expected << QStringLiteral("修改记录成功！/提示");

        QCOMPARE(walk(pages, form.findChild<QPushButton*>(QStringLiteral("Btn_Save")), fixes), expected);
        QCOMPARE(m_db->count(QStringLiteral("Special"), kId), 1);
    }

private:
    // Presses `button` once per fix and once more, applying each fix after its press;
    // returns "text/caption" of every message, in order.
    QStringList walk(QuestionnairePages& pages, QPushButton* button, const QList<Fix>& fixes) {
        QStringList seen;
        for (int i = 0; i <= fixes.size(); ++i) {
            m_prompt->clear();
            QTest::mouseClick(button, Qt::LeftButton);
            QStringList shown;
            for (const ScriptedPrompt::Message& m : m_prompt->messages()) shown << m.text + u'/' + m.caption;
            seen << shown.join(u'|');
            if (i < fixes.size()) fixes[i](pages);
        }
        return seen;
    }

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<ScriptedPrompt> m_prompt;
};

QTEST_MAIN(TstCheckOrder)
#include "tst_checkorder.moc"
