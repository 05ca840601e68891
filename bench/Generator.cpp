#include "Generator.h"

#include <QDate>

using namespace catalogue;

namespace gen {

namespace {

constexpr std::int64_t kRegions = 5;
constexpr std::int64_t kDays = 18000;  // birth dates from 1950 on
constexpr std::int64_t kSpace = kRegions * kDays * 1000;
constexpr std::int64_t kStride = 48271;  // coprime to kSpace: a bijection that scatters the keys

const char* const kRegionCodes[kRegions] = {"110101", "310104", "440305", "510107", "330106"};
const char* const kSurnames[] = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙"};
const char* const kGiven[] = {"伟", "芳", "娜", "敏", "静", "强",   "磊",
                              "军", "洋", "勇", "艳", "杰", "秀英", "桂兰"};
const char* const kStreets[] = {"幸福路", "和平街", "解放大道", "人民路", "建设街", "光明巷"};
const char* const kUnits[] = {"社区服务中心", "第一中学", "市人民医院", "街道办事处",
                              "机械厂",       "退休",     "个体经营"};
const char* const kOthers[] = {"摄影", "茶艺", "社区志愿者培训", "周末下午", "书法交流", "老年大学"};

QChar checkCharacter(const QString& first17) {
    static const int weights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    static const char codes[] = "10X98765432";
    int sum = 0;
    for (int i = 0; i < 17; ++i) sum += (first17[i].unicode() - '0') * weights[i];
    return QLatin1Char(codes[sum % 11]);
}

}  // namespace

QString idFor(std::int64_t index) {
    const std::int64_t x = (index % kSpace) * kStride % kSpace;
    const std::int64_t region = x % kRegions;
    const std::int64_t day = (x / kRegions) % kDays;
    const std::int64_t seq = x / (kRegions * kDays);
    const QString birth = QDate(1950, 1, 1).addDays(day).toString(QStringLiteral("yyyyMMdd"));
    const QString first17 =
        QLatin1String(kRegionCodes[region]) + birth + QStringLiteral("%1").arg(seq, 3, 10, QLatin1Char('0'));
    return first17 + checkCharacter(first17);
}

QString Generator::otherText() { return QString::fromUtf8(kOthers[pick(std::size(kOthers))]); }

void Generator::basics(Answers& a) {
    a.name = QString::fromUtf8(kSurnames[pick(std::size(kSurnames))]) +
             QString::fromUtf8(kGiven[pick(std::size(kGiven))]);
    a.address = QString::fromUtf8(kStreets[pick(std::size(kStreets))]) + QString::number(1 + pick(300)) +
                QStringLiteral("号");
    a.workUnit = QString::fromUtf8(kUnits[pick(std::size(kUnits))]);
    a.phone = QStringLiteral("13%1").arg(qulonglong(m_rng() % 1000000000ULL), 9, 10, QLatin1Char('0'));
    for (GroupId g : {Age, Level, Political, Duty, Position, Flag}) {
        const int n = int(group(g).boxes.size());
        const int box = pick(n);
        a[g].ticked[box] = true;
        if (group(g).hasOther() && box == n - 1) a[g].otherText = otherText();
    }
}

Answers Generator::typical(const QString& id) {
    Answers a;
    a.id = id;
    basics(a);
    for (GroupId g : answerTables()) {
        const Group& def = group(g);
        const int n = int(def.boxes.size());
        for (int i = 0; i < n; ++i) a[g].ticked[i] = chance(0.275);
        if (a.tickCount(g) == 0) a[g].ticked[pick(n)] = true;
        if (a.isOtherTicked(g)) a[g].otherText = otherText();
    }
    return a;
}

Answers Generator::worst(const QString& id) {
    Answers a;
    a.id = id;
    basics(a);
    for (GroupId g : answerTables()) {
        for (qsizetype i = 0; i < a[g].ticked.size(); ++i) a[g].ticked[i] = true;
        if (group(g).hasOther()) a[g].otherText = otherText() + QStringLiteral("，以及") + otherText();
    }
    return a;
}

}  // namespace gen
