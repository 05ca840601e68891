#include "Catalogue.h"

#include <cassert>

namespace catalogue {

namespace {

// clang-format off
const std::vector<Page> kPages = {
    {"页一",   {"Tab_Basic",     "Tab_Basic",     "Tab_BasicInfo"}, "Tab_BasicEnter",     "基本信息",                 "请填写每一项 内容！"},
    {"页二",   {"Tab_Special",   "Tab_Special",   "Tab_Special"},   "Tab_SpecialEnter",   "专业及特长",               "请在复选框前打勾,如选择其他,请输入其他内容！"},
    {"页三",   {"Tab_Love",      "Tab_Love",      "Tab_Love"},      "Tab_LoveEnter",      "业余爱好",                 "请在复选框前打勾,如选择其他,请输入其他内容！"},
    {"页四",   {"Tab_Team",      "Tab_Team",      "Tab_team"},      "Tab_TeamEnter",      "文体活动团队",             "请在复选框前打勾,如选择其他,请输入其他内容！"},
    {"页五",   {"Tab_Service",   "Tab_Service",   "Tab_Service"},   "Tab_ServiceEnter",   "开展服务",                 "请在复选框前打勾,如选择其他,请输入其他内容！"},
    {"页六",   {"Tab_Train",     "Tab_Train",     "Tab_Train"},     "Tab_TrainEnter",     "培训或讲座",               "请在复选框前打勾,如选择其他,请输入其他内容！"},
    {"页七",   {"Tab_Flag",      "Tab_Flag",      "Tab_Flag"},      "Tab_FlagEnter",      "是否愿意参加",             "请在复选框前打勾！"},
    {"页八",   {"Tab_Reason",    "Tab_Why",       "Tab_Reason"},    "Tab_ReasonEnter",    "为何愿意参加？",           "请在复选框前打勾,如选择其他,请输入其他内容！"},
    {"页九",   {"Tab_Who",       "Tab_Who",       "Tab_Who"},       "Tab_WhoEnter",       "为哪种类型的居民提供服务？", "请在复选框前打勾,如选择其他,请输入其他内容！"},
    {"页十",   {"Tab_Type",      "Tab_Type",      "Tab_Type"},      "Tab_TypeEnter",      "参加何种类型的活动？",     "请在复选框前打勾,如选择其他,请输入其他内容！"},
    {"页十一", {"Tab_Time",      "Tab_Time",      "Tab_Time"},      "Tab_TimeEnter",      "社区活动时间安排",         "请在复选框前打勾！"},
    {"页十二", {"Tab_ReinForce", "Tab_ReinForce", "Tab_ReinForce"}, "Tab_ReinForceEnter", "社区活动应该加强",         "请在复选框前打勾,如选择其他,请输入其他内容！"},
    {"页十三", {"Tab_Depend",    "Tab_depend",    "Tab_Depend"},    "Tab_DependEnter",    "依靠哪类居民参与？",       "请在复选框前打勾,如选择其他,请输入其他内容！"},
    {"页十四", {"Tab_Channel",   "Tab_Channel",   "Tab_Channel"},   "Tab_ChannelEnter",   "渠道",                     "请在复选框前打勾,如选择其他,请输入其他内容！"},
};

const std::vector<Group> kGroups = {
    {Age, 0, "年龄：", "age", nullptr, true, {4}, {
        {"CBX_Age1", "35岁以下", 1, nullptr}, {"Cbx_Age2", "35-50岁", 2, nullptr},
        {"Cbx_Age3", "51-60岁", 3, nullptr},  {"Cbx_Age4", "61-70岁", 4, nullptr}}},
    {Level, 0, "学历：", "level", nullptr, true, {4}, {
        {"Cbx_Level1", "高中及高中一下", 1, nullptr}, {"Cbx_Level2", "大专", 2, nullptr},
        {"Cbx_Level3", "本科", 3, nullptr},           {"Cbx_Level4", "研究生", 4, nullptr}}},
    {Political, 0, "政治面貌：", "political", nullptr, true, {4}, {
        {"Cbx_Political1", "共青团员", 1, nullptr},     {"Cbx_Political2", "中共党员", 2, nullptr},
        {"Cbx_Political3", "民主党派人士", 3, nullptr}, {"Cbx_Political4", "一般群众", 4, nullptr}}},
    {Duty, 0, "职业：", "duty", "Edt_Duty", true, {5, 5, 2}, {
        {"Cbx_Duty1", "学生", 1, nullptr},       {"Cbx_Duty2", "公司职员", 2, nullptr},
        {"Cbx_Duty3", "工人", 3, nullptr},       {"Cbx_Duty4", "公务员", 4, nullptr},
        {"Cbx_Duty5", "教师", 5, nullptr},       {"Cbx_Duty6", "医生", 6, nullptr},
        {"Cbx_Duty7", "律师", 7, nullptr},       {"Cbx_Duty8", "个体工商户", 8, nullptr},
        {"Cbx_Duty9", "企业家", 9, nullptr},     {"Cbx_Duty10", "无业人员", 10, nullptr},
        {"Cbx_Duty11", "离退休人员", 11, nullptr}, {"Cbx_Duty12", "其它", 99, nullptr}}},
    {Position, 0, "职称：", "Position", "Edt_Position", true, {6}, {
        {"Cbx_Position1", "工程师", 1, nullptr}, {"Cbx_Position2", "医师", 2, nullptr},
        {"Cbx_Position3", "会计师", 3, nullptr}, {"Cbx_Position4", "经济师", 4, nullptr},
        {"Cbx_Position5", "护士", 5, nullptr},   {"Cbx_Position6", "其它", 99, nullptr}}},
    {Special, 1, "你有何专业及特长：", "Special", "Edt_Special", false, {6, 5, 5, 4, 1}, {
        {"Cbx_Special1", "医疗护理", 1, nullptr},   {"Cbx_Special2", "法律", 2, nullptr},
        {"Cbx_Special3", "教育", 3, nullptr},       {"Cbx_Special4", "金融", 4, nullptr},
        {"Cbx_Special5", "计算机", 5, nullptr},     {"Cbx_Special6", "电器维修", 6, nullptr},
        {"Cbx_Special7", "体育运动", 7, nullptr},   {"Cbx_Special8", "音乐", 8, nullptr},
        {"Cbx_Special9", "科普", 9, nullptr},       {"Cbx_Special10", "农艺", 10, nullptr},
        {"Cbx_Special11", "书画及美术设计", 11, nullptr}, {"Cbx_Special12", "政治理论", 12, nullptr},
        {"Cbx_Special13", "心理咨询", 13, nullptr}, {"Cbx_Special14", "建筑装潢", 14, nullptr},
        {"Cbx_Special15", "办公室技能", 15, nullptr}, {"Cbx_Special16", "舞蹈", 16, nullptr},
        {"Cbx_Special17", "驾驶", 17, nullptr},     {"Cbx_Special18", "外语", 18, nullptr},
        {"Cbx_Special19", "家政", 19, nullptr},     {"Cbx_Special20", "传播(如编辑、表演)", 20, "传播"},
        {"Cbx_Special21", "其它", 99, nullptr}}},
    {Love, 2, "你有何业务爱好", "Love", "Edt_Love", false, {6, 6, 5}, {
        {"Cbx_Love1", "音乐", 1, nullptr},   {"Cbx_Love2", "电影", 2, nullptr},
        {"Cbx_Love3", "文学", 3, nullptr},   {"Cbx_Love4", "书法", 4, nullptr},
        {"Cbx_Love5", "美术", 5, nullptr},   {"Cbx_Love6", "种植花草", 6, nullptr},
        {"Cbx_Love7", "棋牌", 7, nullptr},   {"Cbx_Love8", "麻将", 8, nullptr},
        {"Cbx_Love9", "游泳", 9, nullptr},   {"Cbx_Love10", "爬山", 10, nullptr},
        {"Cbx_Love11", "球类", 11, nullptr}, {"Cbx_Love12", "拳类(如太极拳)", 12, "拳类"},
        {"Cbx_Love13", "健身操", 13, nullptr}, {"Cbx_Love14", "跳舞", 14, nullptr},
        {"Cbx_Love15", "唱歌", 15, nullptr}, {"Cbx_Love16", "戏曲", 16, nullptr},
        {"Cbx_Love17", "其它", 99, nullptr}}},
    {Team, 3, "你愿意参加哪种文体活动社团", "Team", "Edt_Team", false, {5, 4, 5, 4}, {
        {"Cbx_Team1", "健身操队", 1, nullptr},  {"Cbx_Team2", "太极拳队", 2, nullptr},
        {"Cbx_Team3", "爬山队", 3, nullptr},    {"Cbx_Team4", "合唱团", 4, nullptr},
        {"Cbx_Team5", "乐器团", 5, nullptr},    {"Cbx_Team6", "编制班", 6, nullptr},
        {"Cbx_Team7", "书画协会", 7, nullptr},  {"Cbx_Team8", "音乐发烧友协会", 8, nullptr},
        {"Cbx_Team9", "围棋协会", 9, nullptr},  {"Cbx_Team10", "象棋协会", 10, nullptr},
        {"Cbx_Team11", "篮球队", 11, nullptr},  {"Cbx_Team12", "足球队", 12, nullptr},
        {"Cbx_Team13", "兵乓球队", 13, nullptr}, {"Cbx_Team14", "网球队", 14, nullptr},
        {"Cbx_Team15", "车友协会", 15, nullptr}, {"Cbx_Team16", "钓鱼协会", 16, nullptr},
        {"Cbx_Team17", "戏剧票友协会", 17, nullptr}, {"Cbx_Team18", "其它", 99, nullptr}}},
    {Service, 4, "你最需要社区开展哪些服务", "Service", "Edt_Service", false, {4, 4, 4, 4}, {
        {"Cbx_Service1", "家政服务", 1, nullptr},  {"Cbx_Service2", "医疗保健服务", 2, nullptr},
        {"Cbx_Service3", "家电维修", 3, nullptr},  {"Cbx_Service4", "车辆维修", 4, nullptr},
        {"Cbx_Service5", "职业介绍", 5, nullptr},  {"Cbx_Service6", "缝纫织补", 6, nullptr},
        {"Cbx_Service7", "房产中介", 7, nullptr},  {"Cbx_Service8", "投资理财", 8, nullptr},
        {"Cbx_Service9", "废品收购", 9, nullptr},  {"Cbx_Service10", "教育培训", 10, nullptr},
        {"Cbx_Service11", "绿化环境", 11, nullptr}, {"Cbx_Service12", "托老", 12, nullptr},
        {"Cbx_Service13", "托幼", 13, nullptr},    {"Cbx_Service14", "家教", 14, nullptr},
        {"Cbx_Service15", "学生假期活动", 15, nullptr}, {"Cbx_Service16", "其它", 99, nullptr}}},
    {Train, 5, "你希望社区开展哪类培训或讲座：", "Train", "Edt_Train", false, {5, 5, 1}, {
        {"Cbx_Train1", "劳动技能", 1, nullptr}, {"Cbx_Train2", "创业指导", 2, nullptr},
        {"Cbx_Train3", "外语", 3, nullptr},     {"Cbx_Train4", "电脑", 4, nullptr},
        {"Cbx_Train5", "健康保健", 5, nullptr}, {"Cbx_Train6", "科普", 6, nullptr},
        {"Cbx_Train7", "法律", 7, nullptr},     {"Cbx_Train8", "投资理财", 8, nullptr},
        {"Cbx_Train9", "美容美发", 9, nullptr}, {"Cbx_Train10", "政治理论", 10, nullptr},
        {"Cbx_Train11", "其它", 99, nullptr}}},
    {Flag, 6, "你是否愿意参加社会公益活动：", "Flag", nullptr, true, {2}, {
        {"Cbx_Flag1", "是", 1, nullptr}, {"Cbx_Flag2", "否", 0, nullptr}}},
    {Reason, 7, "你为何愿意参加社会公益活动：", "Reason", "Edt_Reason", false, {4, 4, 3, 2}, {
        {"Cbx_Reason1", "尽居民责任", 1, nullptr},     {"Cbx_Reason2", "增加经验", 2, nullptr},
        {"Cbx_Reason3", "帮助有需要的人", 3, nullptr}, {"Cbx_Reason4", "学习新知识技能", 4, nullptr},
        {"Cbx_Reason5", "结交朋友", 5, nullptr},       {"Cbx_Reason6", "自我发展", 6, nullptr},
        {"Cbx_Reason7", "善用业余时间", 7, nullptr},   {"Cbx_Reason8", "服务社会", 8, nullptr},
        {"Cbx_Reason9", "实现自身价值", 9, nullptr},   {"Cbx_Reason10", "扩展生活体验", 10, nullptr},
        {"Cbx_Reason11", "对公益活动有兴趣", 11, nullptr}, {"Cbx_Reason12", "为未来工作做准备", 12, nullptr},
        {"Cbx_Reason13", "其它", 99, nullptr}}},
    {Who, 8, "你愿意为那种类型的社区居民提供服务", "Who", "Edt_Who", false, {5, 4, 4}, {
        {"Cbx_Who1", "老人", 1, nullptr},         {"Cbx_Who2", "儿童", 2, nullptr},
        {"Cbx_Who3", "妇女", 3, nullptr},         {"Cbx_Who4", "青少年", 4, nullptr},
        {"Cbx_Who5", "残疾人员", 5, nullptr},     {"Cbx_Who6", "重大疾病患者", 6, nullptr},
        {"Cbx_Who7", "低保户", 7, nullptr},       {"Cbx_Who8", "特殊困难家庭", 8, nullptr},
        {"Cbx_Who9", "外来务工人员", 9, nullptr}, {"Cbx_Who10", "戒毒人员", 10, nullptr},
        {"Cbx_Who11", "两劳释放人员", 11, nullptr}, {"Cbx_Who12", "全体居民", 12, nullptr},
        {"Cbx_Who13", "其它", 99, nullptr}}},
    {Type, 9, "你愿意参加何种类型的社区公益活动", "Type", "Edt_Type", false, {5, 5}, {
        {"CBx_Type1", "咨询辅导", 1, nullptr}, {"CBx_Type2", "法律援助", 2, nullptr},
        {"CBx_Type3", "物质资助", 3, nullptr}, {"CBx_Type4", "教育培训", 4, nullptr},
        {"CBx_Type5", "义工", 5, nullptr},     {"CBx_Type6", "一助一帮扶", 6, nullptr},
        {"CBx_Type7", "治安巡逻", 7, nullptr}, {"CBx_Type8", "医疗服务", 8, nullptr},
        {"CBx_Type9", "维修", 9, nullptr},     {"CBx_Type10", "其它", 99, nullptr}}},
    {Time, 10, "你希望社区组织公益活动的时间应该尽量安排在：", "Time1", nullptr, false, {6}, {
        {"Cbx_Time1", "节假日", 1, nullptr}, {"Cbx_Time2", "工作日", 2, nullptr},
        {"Cbx_Time3", "早晨", 3, nullptr},   {"Cbx_Time4", "中午", 4, nullptr},
        {"Cbx_Time5", "晚上", 5, nullptr},   {"Cbx_Time6", "重大活动前后", 6, nullptr}}},
    {ReinForce, 11, "你认为社区建设应该着重加强：", "ReinForce", "Edt_ReinForce", false, {5}, {
        {"Cbx_ReinForce1", "社区服务", 1, nullptr}, {"Cbx_ReinForce2", "社区党建", 2, nullptr},
        {"Cbx_ReinForce3", "社区教育", 3, nullptr}, {"Cbx_ReinForce4", "民间组织培育", 4, nullptr},
        {"Cbx_ReinForce5", "其它", 99, nullptr}}},
    {Depend, 12, "你认为社区建设主要应该依靠哪类居民参与：", "Depend", "Edt_Depend", false, {4, 3}, {
        {"Cbx_Depend1", "离退休人员", 1, nullptr},   {"Cbx_Depend2", "低保人员", 2, nullptr},
        {"Cbx_Depend3", "无业下岗人员", 3, nullptr}, {"Cbx_Depend4", "就业人员", 4, nullptr},
        {"Cbx_Depend5", "志愿人员", 5, nullptr},     {"Cbx_Depend6", "全体", 6, nullptr},
        {"Cbx_Depend7", "其它", 99, nullptr}}},
    {Channel, 13, "你认为社委会应该通过什么渠道增强社区凝聚力：", "Channel", "Edt_Channel", false, {4, 2}, {
        {"Cbx_Channel1", "议事园等宣传栏", 1, nullptr}, {"Cbx_Channel2", "文体活动", 2, nullptr},
        {"Cbx_Channel3", "学习教育", 3, nullptr},       {"Cbx_Channel4", "服务活动", 4, nullptr},
        {"Cbx_Channel5", "扶贫帮困", 5, nullptr},       {"Cbx_Channel6", "其它", 99, nullptr}}},
};

const BasicField kIdField = {"身份证号码：", "Edt_ID", "ID"};

const std::vector<BasicField> kBasicFields = {
    {"姓名：",     "Edt_Name",     "name"},
    {"家庭住址：", "Edt_Address",  "Address"},
    {"工作单位：", "Edt_WorkUnit", "WorkUnit"},
    {"联系电话：", "Edt_Phone",    "Phone"},
};

// Page one in tab order, per form.
const QStringList kPageOneNew = {
    "Edt_ID", "Edt_Name", "Edt_Address", "Edt_WorkUnit", "Edt_Phone",
    "CBX_Age1", "Cbx_Age2", "Cbx_Age3", "Cbx_Age4",
    "Cbx_Level1", "Cbx_Level2", "Cbx_Level3", "Cbx_Level4",
    "Cbx_Political1", "Cbx_Political2", "Cbx_Political3", "Cbx_Political4",
    "Cbx_Duty1", "Cbx_Duty2", "Cbx_Duty3", "Cbx_Duty4", "Cbx_Duty5", "Cbx_Duty6",
    "Cbx_Duty7", "Cbx_Duty8", "Cbx_Duty9", "Cbx_Duty10", "Cbx_Duty11", "Cbx_Duty12", "Edt_Duty",
    "Cbx_Position1", "Cbx_Position2", "Cbx_Position3", "Cbx_Position4", "Cbx_Position5",
    "Cbx_Position6", "Edt_Position",
};
const QStringList kPageOneQuery = {
    "Edt_Name", "Edt_Address", "Edt_WorkUnit", "Edt_Phone",
    "Cbx_Duty1", "Cbx_Duty2", "Cbx_Duty3", "Cbx_Duty4", "Cbx_Duty5", "Cbx_Duty6",
    "Cbx_Duty7", "Cbx_Duty8", "Cbx_Duty9", "Cbx_Duty10", "Cbx_Duty11", "Cbx_Duty12",
    "Cbx_Position1", "Cbx_Position2", "Cbx_Position3", "Cbx_Position4", "Cbx_Position5",
    "Cbx_Political1", "Cbx_Political2", "Cbx_Political3", "Cbx_Political4",
    "CBX_Age1", "Cbx_Age2", "Cbx_Age3", "Cbx_Age4",
    "Cbx_Level1", "Cbx_Level2", "Cbx_Level3", "Cbx_Level4",
    "Cbx_Position6", "Edt_Position", "Edt_Duty",
};
const QStringList kPageOneEdit = {
    "Edt_Name", "Edt_Address", "Edt_WorkUnit", "Edt_Phone",
    "CBX_Age1", "Cbx_Age2", "Cbx_Age3", "Cbx_Age4",
    "Cbx_Level1", "Cbx_Level2", "Cbx_Level3", "Cbx_Level4",
    "Cbx_Political1", "Cbx_Political2", "Cbx_Political3", "Cbx_Political4",
    "Cbx_Duty1", "Cbx_Duty2", "Cbx_Duty3", "Cbx_Duty4", "Cbx_Duty5", "Cbx_Duty6",
    "Cbx_Duty7", "Cbx_Duty8", "Cbx_Duty9", "Cbx_Duty10", "Cbx_Duty11", "Cbx_Duty12",
    "Cbx_Position1", "Cbx_Position2", "Cbx_Position3", "Cbx_Position4", "Cbx_Position5",
    "Cbx_Position6", "Edt_Position", "Edt_Duty",
};
// clang-format on

const std::vector<GroupId> kAnswerTables = {Special, Love, Team, Service,   Train,  Reason,
                                            Who,     Type, Time, ReinForce, Depend, Channel};

}  // namespace

int Group::boxForCode(int code) const {
    for (int i = 0; i < int(boxes.size()); ++i)
        if (boxes[i].code == code) return i;
    return -1;
}

const std::vector<Page>& pages() { return kPages; }
const std::vector<Group>& groups() { return kGroups; }

const Group& group(GroupId id) {
    assert(kGroups[id].id == id);
    return kGroups[id];
}

std::vector<const Group*> groupsOnPage(int page) {
    std::vector<const Group*> out;
    for (const auto& g : kGroups)
        if (g.page == page) out.push_back(&g);
    return out;
}

const std::vector<GroupId>& answerTables() { return kAnswerTables; }

const BasicField& idField() { return kIdField; }
const std::vector<BasicField>& basicFields() { return kBasicFields; }

const QStringList& pageOneTabOrder(FormKind form) {
    switch (form) {
        case FormKind::New:
            return kPageOneNew;
        case FormKind::Query:
            return kPageOneQuery;
        case FormKind::Edit:
            break;
    }
    return kPageOneEdit;
}

QStringList pageTabOrder(int page, FormKind form) {
    if (page == 0) return pageOneTabOrder(form);
    QStringList out;
    for (const Group* g : groupsOnPage(page)) {
        for (const auto& b : g->boxes) out << qs(b.name);
        if (g->hasOther()) {
            if (g->id == Service && form != FormKind::New)
                out.insert(out.size() - 1, qs(g->otherEdit));
            else
                out << qs(g->otherEdit);
        }
    }
    return out;
}

int boxCount() {
    int n = 0;
    for (const auto& g : kGroups) n += int(g.boxes.size());
    return n;
}

}  // namespace catalogue
