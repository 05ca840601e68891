#include "Encoding.h"

#include "core/store/SqlQuery.h"

using namespace catalogue;

namespace encoding {

namespace {

// The number of the first ticked box, or "99|" and the trimmed other text for the other option.
QString singleValue(const Answers& a, GroupId g) {
    const Group& def = group(g);
    const auto& ticked = a[g].ticked;
    for (int i = 0; i < ticked.size(); ++i) {
        if (!ticked[i]) continue;
        if (def.hasOther() && i == ticked.size() - 1)
            return QStringLiteral("99|") + trimmedText(a[g].otherText);
        return QString::number(i + 1);
    }
    return QString();
}

int wholeNumber(const QString& text, const char* column) {
    int n = 0;
    if (!SqlQuery::parseInteger(text, &n)) throw DecodeError{QLatin1String(column)};
    return n;
}

// Duty and Position: a number ticks its box, anything that is not a number counts as 99.
void decodeOtherValue(GroupId g, const QString& stored, Answers& into) {
    const Group& def = group(g);
    int n = 0;
    if (!SqlQuery::parseInteger(stored, &n)) n = kOtherCode;
    if (n == kOtherCode) {
        into[g].ticked.last() = true;
        const qsizetype bar = stored.indexOf(u'|');
        into[g].otherText = bar < 0 ? stored : stored.mid(bar + 1);
    } else if (n >= 1 && n <= def.ordinaryCount()) {
        into[g].ticked[n - 1] = true;
    }
}

}  // namespace

QString codeText(GroupId table, int index) {
    const Box& b = group(table).boxes.at(index);
    if (b.code == kOtherCode) return QStringLiteral("99");
    return table == Time ? QString::number(b.code)
                         : QStringLiteral("%1").arg(b.code, 2, 10, QLatin1Char('0'));
}

Rows encode(const Answers& a) {
    Rows out;
    out.basic << trimmedText(a.id);
    for (int i = 0; i < 4; ++i) out.basic << trimmedText(a.basic(i));
    for (GroupId g : {Age, Level, Political, Duty, Position}) out.basic << singleValue(a, g);
    QString flag;
    if (a[Flag].ticked[0]) flag = QStringLiteral("1");
    if (a[Flag].ticked[1]) flag = QStringLiteral("0");
    out.basic << flag;

    for (GroupId g : answerTables()) {
        const Group& def = group(g);
        for (int i = 0; i < int(def.boxes.size()); ++i) {
            if (!a[g].ticked[i]) continue;
            const bool other = def.boxes[i].code == kOtherCode;
            out.rows.append({g, codeText(g, i), other ? trimmedText(a[g].otherText) : QString()});
        }
    }
    return out;
}

void decodeBasic(const ColumnReader& read, Answers& into) {
    into.name = read("name");
    into.address = read("Address");
    into.workUnit = read("WorkUnit");
    into.phone = read("Phone");
    for (auto [g, column] : {std::pair{Age, "age"}, {Level, "level"}, {Political, "political"}}) {
        const int n = wholeNumber(read(column), column);
        if (n >= 1 && n <= 4) into[g].ticked[n - 1] = true;
    }
    decodeOtherValue(Duty, read("duty"), into);
    decodeOtherValue(Position, read("Position"), into);
    into.tickCode(Flag, wholeNumber(read("Flag"), "Flag"));
}

void decodeAnswerRow(GroupId table, const QString& code, const QString& name, Answers& into) {
    const int n = wholeNumber(code, "Code");
    if (!into.tickCode(table, n)) return;
    if (n == kOtherCode) into[table].otherText = name;
}

}  // namespace encoding
