#include "TotalPages.h"

namespace total {

using namespace catalogue;

namespace {

// clang-format off
const std::vector<Page> kPages = {
    {Special,   "页1",    "Tab_Special",   "专业及特长人数统计：",                   {5, 5, 5, 5, 1}, "Edt_Special",   false},
    {Love,      "页二",   "Tab_Love",      "爱好人数统计",                           {5, 5, 5, 2},    "Edt_Love",      false},
    {Team,      "页三",   "Tab_Team",      "参加文体社团活动人数统计",               {5, 5, 5, 3},    "Edt_Team",      false},
    {Service,   "页四",   "TabSheet5",     "需要社区开展服务统计",                   {4, 4, 4, 4},    "Edt_Service",   false},
    {Train,     "页五",   "Tab_Train",     "希望在社区开展培训或讲座统计：",         {5, 5, 1},       "Edt_Train",     false},
    {Flag,      "页六",   "TabSheet7",     "是否愿意参加社会公益活动统计：",         {2},             "Edt_Flag",      true},
    {Reason,    "页七",   "Tab_Reason",    "愿意参加社会公益活动原因统计：",         {4, 4, 4, 1},    "Edt_Reason",    false},
    {Who,       "页八",   "Tab_Who",       "为那种类型的社区居民提供服务统计：",     {5, 5, 3},       "Edt_WHo",       false},
    {Type,      "页九",   "Tab_Type",      "愿意参加何种类型的社区公益活动统计",     {5, 5},          "Edt_TYpe",      false},
    {Time,      "页十",   "Tab_Time",      "希望社区组织公益活动的时间安排统计：",   {5, 1},          "Edt_Time",      false},
    {ReinForce, "页十一", "Tab_ReinForce", "社区建设应该着重加强统计",               {5},             "Edt_ReinForce", false},
    {Depend,    "页十二", "Tab_Depend",    "社区建设主要应该依靠哪类居民参与统计：", {4, 3},          "Edt_Depend",    false},
    {Channel,   "页十三", "Tab_Channel",   "社委会应该通过什么渠道增强社区凝聚力统计：", {3, 3},      "Edt_Channel",   false},
};

// clang-format on

}  // namespace

const std::vector<Page>& pages() { return kPages; }
const std::vector<Statement>& statements() { return answercounts::statements(); }

QString boxName(const Page& page, int index) {
    const Box& box = group(page.group).boxes.at(index);
    return qs(page.boxPrefix) + QString::number(page.namedByCode ? box.code : index + 1);
}

QString boxCaption(const Page& page, int index) {
    const Box& box = group(page.group).boxes.at(index);
    return qs(box.statsCaption ? box.statsCaption : box.caption);
}

}  // namespace total
