#include "Checks.h"

#include <functional>
#include <vector>

using namespace catalogue;

namespace checks {

namespace {

using Condition = std::function<bool(const Answers&)>;

struct Rule {
    int number;
    Condition fails;
    const char* message;
    Then then;
    const char* target;  // object name to focus, or sheet group for ShowPage
    GroupId pageOf;      // the group whose page is shown / holds the control
};

struct EditText {
    int number;
    const char* message;
    const char* caption;
};

Condition emptyText(int field) {
    return [field](const Answers& a) { return trimmedText(field < 0 ? a.id : a.basic(field)).isEmpty(); };
}
Condition noneTicked(GroupId g) {
    return [g](const Answers& a) { return a.tickCount(g) == 0; };
}
Condition moreThanOne(GroupId g) {
    return [g](const Answers& a) { return CountOnes(choiceString(a, g)) > 1; };
}
Condition otherWithoutText(GroupId g) {
    return [g](const Answers& a) { return a.isOtherTicked(g) && trimmedText(a[g].otherText).isEmpty(); };
}

// clang-format off
const std::vector<Rule> kRules = {
    { 1, emptyText(-1),               "身份证号为空,请输入！",                         Then::Focus,    "Edt_ID",        Age},
    { 2, emptyText(0),                "姓名为空,请输入！",                             Then::Focus,    "Edt_Name",      Age},
    { 3, emptyText(1),                "家庭住址为空,请输入！",                         Then::Focus,    "Edt_Address",   Age},
    { 4, emptyText(2),                "工作单位为空,请输入！",                         Then::Focus,    "Edt_WorkUnit",  Age},
    { 5, emptyText(3),                "联系电话为空,请输入！",                         Then::Focus,    "Edt_Phone",     Age},
    { 6, noneTicked(Age),             "请选择年龄！",                                  Then::Nothing,  nullptr,         Age},
    { 7, moreThanOne(Age),            "只能选择一个年龄段！",                          Then::Nothing,  nullptr,         Age},
    { 8, noneTicked(Level),           "请选择学历！",                                  Then::Nothing,  nullptr,         Level},
    { 9, moreThanOne(Level),          "只能选择一个学历！",                            Then::Nothing,  nullptr,         Level},
    {10, noneTicked(Political),       "请选择政治面貌！",                              Then::Nothing,  nullptr,         Political},
    {11, moreThanOne(Political),      "只能选择一个政治面貌！",                        Then::Nothing,  nullptr,         Political},
    {12, noneTicked(Duty),            "请选择一个职业！",                              Then::Nothing,  nullptr,         Duty},
    {13, moreThanOne(Duty),           "只能选择一个职业！",                            Then::Nothing,  nullptr,         Duty},
    {14, otherWithoutText(Duty),      "请输入其它职业的名称！",                        Then::Focus,    "Edt_Duty",      Duty},
    {15, noneTicked(Position),        "请选择一个职称！",                              Then::Nothing,  nullptr,         Position},
    {16, moreThanOne(Position),       "只能选择一个职称！",                            Then::Nothing,  nullptr,         Position},
    {17, otherWithoutText(Position),  "请输入其它职称的名称！",                        Then::Focus,    "Edt_Position",  Position},
    {18, noneTicked(Special),         "请选择专业和特长！",                            Then::ShowPage, nullptr,         Special},
    {19, otherWithoutText(Special),   "请输入其它专业和特长！",                        Then::Focus,    "Edt_Special",   Special},
    {20, noneTicked(Love),            "请选择业余爱好！",                              Then::ShowPage, nullptr,         Love},
    {21, otherWithoutText(Love),      "请输入其它业余爱好！",                          Then::Focus,    "Edt_Love",      Love},
    {22, noneTicked(Team),            "请选择文体社团活动！",                          Then::ShowPage, nullptr,         Team},
    {23, otherWithoutText(Team),      "请输入其它文体活动社团！",                      Then::Focus,    "Edt_Team",      Team},
    {24, noneTicked(Service),         "请选择在社区开展的服务！",                      Then::ShowPage, nullptr,         Service},
    {25, otherWithoutText(Service),   "请输入其它你需要在社区开展的服务！",            Then::Focus,    "Edt_Service",   Service},
    {26, noneTicked(Train),           "请输入你希望开展的培训或讲座！",                Then::ShowPage, nullptr,         Train},
    {27, otherWithoutText(Train),     "请输入其它你希望开展的培训或讲座！",            Then::Focus,    "Edt_Train",     Train},
    {28, noneTicked(Flag),            "请选择你是否愿意参加社区活动！",                Then::ShowPage, nullptr,         Flag},
    {29, moreThanOne(Flag),           "你只能选择一项！",                              Then::ShowPage, nullptr,         Flag},
    {30, noneTicked(Reason),          "请选择你为何愿意参加社区公益活动！",            Then::ShowPage, nullptr,         Reason},
    {31, otherWithoutText(Reason),    "请输入其它原因！",                              Then::Focus,    "Edt_Reason",    Reason},
    {32, noneTicked(Who),             "请选择你愿意为那种类型的社区居民提供服务！",    Then::ShowPage, nullptr,         Who},
    {33, otherWithoutText(Who),       "请输入其它你愿意为那种类型的社区居民提供服务！", Then::Focus,   "Edt_Who",       Who},
    {34, noneTicked(Type),            "请选择你愿意参加的社区公益活动！",              Then::ShowPage, nullptr,         Type},
    {35, otherWithoutText(Type),      "请输入其它你愿意参加的社区公益活动！",          Then::Focus,    "Edt_Type",      Type},
    {36, noneTicked(Time),            "请选择你希望社区活动安排的时间！",              Then::ShowPage, nullptr,         Time},
    {37, noneTicked(ReinForce),       "请选择你希望社区活动应该加强的内容！",          Then::ShowPage, nullptr,         ReinForce},
    {38, otherWithoutText(ReinForce), "请其它你希望社区活动应该加强的内容！",          Then::Focus,    "Edt_ReinForce", ReinForce},
    {39, noneTicked(Depend),          "请选择社区活动应该依靠哪类人参与！",            Then::ShowPage, nullptr,         Depend},
    {40, otherWithoutText(Depend),    "请输入其它社区活动参与群体！",                  Then::Focus,    "Edt_Depend",    Depend},
    {41, noneTicked(Channel),         "请选择社区增强凝聚力的渠道！",                  Then::ShowPage, nullptr,         Channel},
    {42, otherWithoutText(Channel),   "请输入其它社区增强凝聚力的渠道！",              Then::Focus,    "Edt_Channel",   Channel},
};

// The Edit form's own texts and captions; every other rule keeps the New form's.
const std::vector<EditText> kEditTexts = {
    {19, "请输入其他爱好和特长！",                           "信息"},
    {20, "请选择爱好！",                                     "提示"},
    {21, "请输入其他爱好！",                                 "提示"},
    {23, "请输入其他文体活动社团！",                         "提示"},
    {25, "请输入其他你需要在社区开展的服务！",               "提示"},
    {27, "请输入其他你希望开展的培训或讲座！",               "提示"},
    {29, "你只能选择一项！",                                 "页七"},
    {30, "请选择你为何愿意参加社区公益活动！",               "页八"},
    {31, "请输入其他原因！",                                 "页八"},
    {32, "请选择你愿意为那种类型的社区居民提供服务！",       "页九"},
    {33, "请输入其他你愿意为那种类型的社区居民提供服务！",   "页九"},
    {34, "请选择你愿意参加的社区公益活动！",                 "页十"},
    {35, "请输入其他你愿意参加的社区公益活动！",             "页十"},
    {36, "请选择你希望社区活动安排的时间！",                 "页十一"},
    {37, "请选择你希望社区活动应该加强的内容！",             "页十二"},
    {38, "请其他你希望社区活动应该加强的内容！",             "页十二"},
    {39, "请选择社区活动应该依靠哪类人参与！",               "页十三"},
    {40, "请输入其他社区活动参与群体！",                     "页十三"},
    {41, "请选择社区增强凝聚力的渠道！",                     "页十四"},
    {42, "请输入其他社区增强凝聚力的渠道！",                 "页十四"},
};
// clang-format on

const char* const kCaption = "提示";

}  // namespace

QString choiceString(const Answers& a, GroupId g) {
    QString s;
    for (bool t : a[g].ticked) s += t ? u'1' : u'0';
    return s;
}

int CountOnes(const QString& choice) { return int(choice.count(u'1')); }

int ruleCount() { return int(kRules.size()); }

std::optional<Failure> firstFailure(const Answers& answers, FormKind form) {
    for (const Rule& r : kRules) {
        if (form == FormKind::Edit && r.number == 1) continue;
        if (!r.fails(answers)) continue;
        Failure f{r.number, qs(r.message),        qs(kCaption),
                  r.then,   group(r.pageOf).page, r.target ? qs(r.target) : QString()};
        if (form == FormKind::Edit)
            for (const EditText& e : kEditTexts)
                if (e.number == r.number) {
                    f.message = qs(e.message);
                    f.caption = qs(e.caption);
                }
        return f;
    }
    return std::nullopt;
}

}  // namespace checks
