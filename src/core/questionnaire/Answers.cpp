#include "Answers.h"

using namespace catalogue;

Answers::Answers() {
    for (const auto& g : catalogue::groups())
        groups[g.id].ticked = QList<bool>(qsizetype(g.boxes.size()), false);
}

QString& Answers::basic(int index) {
    switch (index) {
        case 0:
            return name;
        case 1:
            return address;
        case 2:
            return workUnit;
        default:
            return phone;
    }
}

const QString& Answers::basic(int index) const { return const_cast<Answers*>(this)->basic(index); }

bool Answers::tickCode(GroupId g, int code) {
    const int box = group(g).boxForCode(code);
    if (box < 0) return false;
    groups[g].ticked[box] = true;
    return true;
}

int Answers::tickCount(GroupId g) const { return int(groups[g].ticked.count(true)); }

bool Answers::isOtherTicked(GroupId g) const {
    const Group& def = group(g);
    return def.hasOther() && groups[g].ticked.last();
}

QString trimmedText(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32) ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32) --end;
    return text.mid(begin, end - begin);
}
