#include "WideLayout.h"

#include "core/exchange/Captions.h"
#include "core/store/SqlQuery.h"

using namespace catalogue;

namespace exchange {

namespace {

// The question without its closing colon.
QString question(const Group& g) {
    QString q = qs(g.label);
    while (q.endsWith(u'：') || q.endsWith(u':')) q.chop(1);
    return q;
}

QString twoDigits(int code) { return QStringLiteral("%1").arg(code, 2, 10, QLatin1Char('0')); }

// BasicInfo's columns in declared order; page-one groups by their place in it.
constexpr int kAgeColumn = 5;

int basicColumnOf(GroupId g) {
    switch (g) {
        case Age:
            return kAgeColumn;
        case Level:
            return 6;
        case Political:
            return 7;
        case Duty:
            return 8;
        case Position:
            return 9;
        case Flag:
            return 10;
        default:
            return -1;
    }
}

}  // namespace

WideLayout::WideLayout() {
    Column id;
    id.header = qs(idField().label);
    id.header.chop(1);  // "身份证号码："
    id.varName = QStringLiteral("id");
    id.isIdentity = true;
    m_columns.push_back(id);
    for (const BasicField& f : basicFields()) {
        Column c;
        c.header = qs(f.label);
        c.header.chop(1);
        c.varName = QString::fromLatin1(f.column).toLower();
        m_columns.push_back(c);
    }
    m_other.fill(-1);
    for (const Group& g : groups()) {
        const QString var = QString::fromLatin1(g.storage).toLower();
        m_first[g.id] = int(m_columns.size());
        if (g.singleChoice) {
            Column c;
            c.header = question(g);
            c.varName = var;
            c.kind = Column::Choice;
            for (const Box& b : g.boxes) c.labels.emplace_back(b.code, qs(b.caption));
            m_columns.push_back(c);
        } else {
            for (const Box& b : g.boxes) {
                Column c;
                c.header = question(g) + u'：' + qs(b.caption);
                c.varName = var + u'_' + twoDigits(b.code);
                c.kind = Column::Tick;
                m_columns.push_back(c);
            }
        }
        if (g.hasOther()) {
            m_other[g.id] = int(m_columns.size());
            Column c;
            c.header = question(g) + QStringLiteral("：其它内容");
            c.varName = var + QStringLiteral("_other");
            m_columns.push_back(c);
        }
    }
}

std::vector<Column> WideLayout::unknownColumns() {
    const std::pair<const char*, const char*> heads[] = {
        {"所在页", "page"}, {"身份证号码", "id"}, {"代码", "code"}, {"内容", "text"}, {"说明", "reason"}};
    std::vector<Column> cols;
    for (const auto& [header, var] : heads) {
        Column c;
        c.header = QString::fromUtf8(header);
        c.varName = QLatin1String(var);
        c.isIdentity = cols.size() == 1;
        cols.push_back(c);
    }
    return cols;
}

std::vector<Cell> WideLayout::unknownCells(const UnknownRow& row) {
    std::vector<Cell> cells(5);
    cells[0].text = row.page;
    cells[1].text = row.identity;
    cells[2].text = row.code;
    cells[3].text = row.text;
    cells[4].text = row.reason;
    return cells;
}

QString WideLayout::noOption() { return QStringLiteral("没有这个选项"); }
QString WideLayout::noCode() { return QStringLiteral("代码为空"); }
QString WideLayout::noQuestionnaire() { return QStringLiteral("没有对应的问卷（基本信息）"); }
QString WideLayout::secondOther() { return QStringLiteral("同一页的第二个“其它”"); }
QString WideLayout::textWithoutOther() { return QStringLiteral("不是“其它”的选项带有文字"); }

void WideLayout::setChoice(GroupId g, int box) {
    Cell& cell = m_row[m_first[g]];
    const Box& b = group(g).boxes.at(box);
    cell.code = b.code;
    cell.text = qs(b.caption);
}

void WideLayout::startRow(const QStringList& basic, std::vector<UnknownRow>& unknown) {
    m_row.assign(m_columns.size(), Cell());
    m_identity = basic.value(0);
    for (int i = 0; i < 5; ++i) m_row[i].text = basic.value(i);
    for (const Group& g : groups()) {
        if (!g.singleChoice) {
            // A questionnaire's unticked boxes are 0, not empty.
            for (int b = 0; b < int(g.boxes.size()); ++b) m_row[m_first[g.id] + b].code = 0;
            continue;
        }
        const int column = basicColumnOf(g.id);
        const QString value = basic.value(column);
        if (value.isEmpty()) continue;
        int number = 0;
        int box = -1;
        if (SqlQuery::parseInteger(value, &number)) {
            box = g.boxForCode(number);
        } else if (g.hasOther()) {
            // Read back as the record forms do: no number means the other option, its text
            // after the first "|" (the whole value when there is none).
            box = g.boxForCode(kOtherCode);
            const int bar = value.indexOf(u'|');
            m_row[m_other[g.id]].text = bar >= 0 ? value.mid(bar + 1) : value;
        }
        if (box >= 0)
            setChoice(g.id, box);
        else
            unknown.push_back({captions::ofGroup(g.id), m_identity, value, QString(), noOption()});
    }
}

int WideLayout::boxOf(GroupId table, const QString& code) {
    int number = 0;
    return SqlQuery::parseInteger(code, &number) ? group(table).boxForCode(number) : -1;
}

}  // namespace exchange
