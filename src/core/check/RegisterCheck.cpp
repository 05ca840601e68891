#include "RegisterCheck.h"

#include <sqlite3.h>

#include <QHash>
#include <algorithm>
#include <array>
#include <tuple>
#include <vector>

#include "core/questionnaire/Catalogue.h"
#include "core/questionnaire/IdentityNumber.h"
#include "core/store/CoreReads.h"
#include "core/store/Encoding.h"
#include "core/store/SqlQuery.h"
#include "core/store/Statements.h"

using namespace catalogue;

namespace {

struct TableStatements {
    /// The identity numbers with rows here and no BasicInfo row (a merge of the two indexes).
    QByteArray orphans;
    /// Rows whose code is not in its canonical form; bound: code width, three ranges of
    /// ordinary codes (one per tens: within a tens a text of the right width is a code only if
    /// its last digit is), the other option's code. Exact where text compares byte by byte
    /// (SQLite; PostgreSQL with the C collation). The rows it returns are judged again as the
    /// lookup reads them, so a readable "1" for "01" is not listed.
    QByteArray codes;
};

/// The distinct codes of a table, walked along its Code index one value at a time, and the rows
/// of one code (or of none). A few dozen index seeks per table instead of reading every row.
struct CodeWalk {
    QByteArray first;
    QByteArray after;     ///< bound: the previous code
    QByteArray withCode;  ///< bound: the code
    QByteArray withoutCode;
};

// clang-format off
const std::vector<TableStatements>& tableStatements() {
    static const std::vector<TableStatements> all = [] {
        const auto orphans = statements::perAnswerTable("select ID from {T} except select ID from BasicInfo order by 1");
        const auto codes = statements::perAnswerTable(
            "select s.ID, s.Code, b.name, b.Address from {T} s left join BasicInfo b on b.ID = s.ID where s.Code is null or length(s.Code) <> ? or not (s.Code between ? and ? or s.Code between ? and ? or s.Code between ? and ? or s.Code = ?)");
        std::vector<TableStatements> out;
        for (std::size_t t = 0; t < orphans.size(); ++t) out.push_back({orphans[t], codes[t]});
        return out;
    }();
    return all;
}

const std::vector<CodeWalk>& codeWalks() {
    static const std::vector<CodeWalk> all = [] {
        const auto first = statements::perAnswerTable("select min(Code) from {T}");
        const auto after = statements::perAnswerTable("select min(Code) from {T} where Code > ?");
        const auto with = statements::perAnswerTable(
            "select s.ID, s.Code, b.name, b.Address from {T} s left join BasicInfo b on b.ID = s.ID where s.Code = ?");
        const auto without = statements::perAnswerTable(
            "select s.ID, s.Code, b.name, b.Address from {T} s left join BasicInfo b on b.ID = s.ID where s.Code is null");
        std::vector<CodeWalk> out;
        for (std::size_t t = 0; t < first.size(); ++t) out.push_back({first[t], after[t], with[t], without[t]});
        return out;
    }();
    return all;
}
// clang-format on

// Every BasicInfo row: identity number, name, address, whether a page-one value is not in its
// canonical form (bound: the groups' code ranges, from basicCodeFilter), and those values. Only
// the rows so marked are judged again as the lookup reads them.
// clang-format off
const char* const kBasic =
    "select ID, name, Address, case when age is null or level is null or political is null or duty is null "
    "or Position is null or Flag is null or not ("
    "length(age) = 1 and age between ? and ? and length(level) = 1 and level between ? and ? and "
    "length(political) = 1 and political between ? and ? and length(Flag) = 1 and Flag between ? and ? and "
    "(length(duty) = 1 and duty between ? and ? or length(duty) = 2 and duty between ? and ? or duty like ?) and "
    "(length(Position) = 1 and Position between ? and ? or Position like ?)"
    ") then 1 else 0 end, age, level, political, duty, Position, Flag from BasicInfo";
// clang-format on

// The page-one groups as the BasicInfo select returns them (columns 4 to 9).
const GroupId kBasicGroups[] = {Age, Level, Political, Duty, Position, Flag};

// What the window calls a group in an explanation: page one's label, else the page's title.
QString groupTitle(const Group& g) {
    if (g.page == 0) {
        QString label = qs(g.label);
        if (label.endsWith(u'：')) label.chop(1);
        return label;
    }
    return qs(pages()[g.page].hintTitle);
}

// The bound values of a table's code filter.
QVariantList codeFilter(const Group& g) {
    const int width = int(encoding::codeText(g.id, 0).size());
    const int n = g.ordinaryCount();
    Q_ASSERT(n < 30);
    QVariantList values{width};
    for (int tens = 0; tens < 3; ++tens) {
        const int lo = std::max(1, tens * 10);
        const int hi = std::min(n, tens * 10 + 9);
        // An empty range never holds a code of the right width.
        values << (lo <= hi ? encoding::codeText(g.id, lo - 1) : QStringLiteral(""))
               << (lo <= hi ? encoding::codeText(g.id, hi - 1) : QStringLiteral(""));
    }
    values << (g.hasOther() ? encoding::codeText(g.id, n) : QStringLiteral(""));
    return values;
}

// The bound values of kBasic: one-digit (and for the occupation two-digit) code ranges,
// and the other option's stored form "99|...".
QVariantList basicCodeFilter() {
    auto range = [](GroupId id, int digits) {
        int lo = 100, hi = -1;
        for (const Box& b : group(id).boxes) {
            if (b.code == kOtherCode || QString::number(b.code).size() != digits) continue;
            lo = std::min(lo, b.code);
            hi = std::max(hi, b.code);
        }
        return QVariantList{QString::number(lo), QString::number(hi)};
    };
    const QString other = QString::number(kOtherCode) + QStringLiteral("|%");
    return range(Age, 1) + range(Level, 1) + range(Political, 1) + range(Flag, 1) + range(Duty, 1) +
           range(Duty, 2) + QVariantList{other} + range(Position, 1) + QVariantList{other};
}

// True when the lookup places a stored value on a box of the group.
bool readable(const Group& g, const QString& value) {
    int n = 0;
    if (value.isNull()) return false;
    if (!SqlQuery::parseInteger(value, &n))
        return g.id == Duty || g.id == Position;  // taken as the other option
    return g.boxForCode(n) >= 0;
}

QString codeDetail(const Group& g, const QString& value) {
    return value.isNull() ? QStringLiteral("%1：空值").arg(groupTitle(g))
                          : QStringLiteral("%1：“%2”").arg(groupTitle(g), value);
}

QString idDetail(const QString& id, const IdentityNumber& j) {
    switch (j.verdict) {
        case IdentityNumber::WrongCheck:
            return QStringLiteral("校验码应为 %1").arg(j.expectedCheck);
        case IdentityNumber::Fifteen:
            return QStringLiteral("18位号码为 %1").arg(IdentityNumber::toEighteen(id));
        case IdentityNumber::ImpossibleDate: {
            const QString date = id.size() == 15 ? QStringLiteral("19") + id.mid(6, 6) : id.mid(6, 8);
            const int y = date.left(4).toInt(), m = date.mid(4, 2).toInt(), d = date.mid(6, 2).toInt();
            if (!QDate::isValid(y, m, d)) return QStringLiteral("出生日期 %1 不存在").arg(date);
            return y < 1900 ? QStringLiteral("出生日期 %1 早于1900年").arg(date)
                            : QStringLiteral("出生日期 %1 晚于今天").arg(date);
        }
        case IdentityNumber::NotAnId:
            if (id.isEmpty()) return QStringLiteral("号码为空");
            if (id.size() != 15 && id.size() != 18) return QStringLiteral("共 %1 位").arg(id.size());
            return QStringLiteral("含有数字以外的字符");
        case IdentityNumber::Valid:
            break;
    }
    return QString();
}

// Whether a number's resident key differs from the number itself (15 digits, a last x, blanks
// at either end): only such numbers can share a resident with another stored number.
bool keyDiffers(const QString& id) {
    return id.size() == 15 || id.endsWith(u'x') ||
           (!id.isEmpty() && (id.front().unicode() <= 32 || id.back().unicode() <= 32));
}

struct Basic {
    QString id, name, address;
};

// The identity numbers that a statement returns, read on a worker's own connection; false when
// the statement fails there.
bool readIds(sqlite3* db, const char* sql, QStringList& ids) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK || !st) {
        sqlite3_finalize(st);
        return false;
    }
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        const char* id = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        ids.append(id ? QString::fromUtf8(id, sqlite3_column_bytes(st, 0)) : QString());
    }
    sqlite3_finalize(st);
    return rc == SQLITE_DONE;
}

// Walks the distinct codes of one answer table along its Code index and has the rows of every
// code that the lookup cannot place (and of a missing code) read through `addRows`. False when
// the walk cannot be trusted: more distinct values than any page has codes by far, or a value
// that does not move the walk on (a stored value of another type); the caller then reads the
// whole table instead.
template <typename AddRows>
bool walkCodes(SqlQuery& q, const CodeWalk& w, const Group& g, AddRows addRows) {
    constexpr int kMostCodes = 1000;
    const QString label = qs(g.storage);
    QStringList unplaced;
    q.setSql(QLatin1String(w.first), {}, label);
    q.open();
    QString code = q.eof() ? QString() : q.text(0);
    q.close();
    for (int seen = 0; !code.isNull(); ++seen) {
        if (seen > kMostCodes) return false;
        if (!readable(g, code)) unplaced << code;
        q.setSql(QLatin1String(w.after), {code}, label);
        q.open();
        const QString next = q.eof() ? QString() : q.text(0);
        q.close();
        if (next == code) return false;
        code = next;
    }
    for (const QString& c : std::as_const(unplaced)) {
        q.setSql(QLatin1String(w.withCode), {c}, label);
        addRows(q);
    }
    q.setSql(QLatin1String(w.withoutCode), {}, label);
    addRows(q);
    return true;
}

}  // namespace

RegisterCheck::RegisterCheck(QString connectionName) : m_connection(std::move(connectionName)) {}

int RegisterCheck::stepCount() { return 1 + 2 * int(tableStatements().size()); }

CheckResult RegisterCheck::run(QDate today, const ProgressFn& progress) const {
    CheckResult result;
    SqlQuery q(m_connection);
    int step = 0;
    auto advance = [&] {
        ++step;
        if (progress && !progress(step, stepCount())) result.cancelled = true;
        return !result.cancelled;
    };
    auto add = [&](CheckProblem::Kind kind, const QString& id, const QString& name, const QString& address,
                   const QString& detail) {
        result.problems.append({kind, id, name, address, detail, QString()});
    };

    // Answer rows without their BasicInfo row: a merge of two ID indexes per table, read on the
    // other cores while this thread judges the identity numbers.
    const std::vector<GroupId>& tables = answerTables();
    std::vector<QStringList> orphanIds(tables.size());
    CoreReads orphanReads(m_connection, tables.size(), [&](sqlite3* db, std::size_t t) {
        return readIds(db, tableStatements()[t].orphans.constData(), orphanIds[t]);
    });

    // BasicInfo: every identity number judged, page one's values that the lookup cannot place.
    std::vector<Basic> basics;
    std::vector<int> older;  // numbers whose resident key is not the number itself
    q.setSql(QLatin1String(kBasic), basicCodeFilter(), QStringLiteral("BasicInfo"));
    for (q.open(); !q.eof(); q.next()) {
        basics.push_back({q.text(0), q.text(1), q.text(2)});
        const Basic& b = basics.back();
        if (q.integer(3) != 0) {
            for (int c = 0; c < 6; ++c) {
                const Group& g = group(kBasicGroups[c]);
                const QString value = q.text(4 + c);
                if (!readable(g, value))
                    add(CheckProblem::UnknownCode, b.id, b.name, b.address, codeDetail(g, value));
            }
        }
        const IdentityNumber j = IdentityNumber::judge(b.id, today);
        switch (j.verdict) {
            case IdentityNumber::WrongCheck:
                add(CheckProblem::WrongCheck, b.id, b.name, b.address, idDetail(b.id, j));
                break;
            case IdentityNumber::ImpossibleDate:
                add(CheckProblem::ImpossibleDate, b.id, b.name, b.address, idDetail(b.id, j));
                break;
            case IdentityNumber::Fifteen:
                add(CheckProblem::Fifteen, b.id, b.name, b.address, idDetail(b.id, j));
                break;
            case IdentityNumber::NotAnId:
                add(CheckProblem::NotAnId, b.id, b.name, b.address, idDetail(b.id, j));
                break;
            case IdentityNumber::Valid:
                break;
        }
        if (keyDiffers(b.id)) older.push_back(int(basics.size()) - 1);
    }
    q.close();
    result.questionnaires = qint64(basics.size());

    // The same resident twice: records whose numbers have one resident key. Only the few
    // numbers whose key differs from themselves are hashed; every other number is its own key.
    if (!older.empty()) {
        QHash<QString, QList<int>> residents;  // resident key -> the records with it
        std::vector<char> isOlder(basics.size(), 0);
        for (int i : older) {
            residents[IdentityNumber::residentKey(basics[i].id)].append(i);
            isOlder[std::size_t(i)] = 1;
        }
        for (int i = 0; i < int(basics.size()); ++i) {
            if (isOlder[std::size_t(i)]) continue;
            const auto it = residents.find(basics[i].id);
            if (it != residents.end()) it->append(i);
        }
        for (auto it = residents.cbegin(); it != residents.cend(); ++it) {
            if (it->size() < 2) continue;
            for (int i : *it) {
                QStringList others;
                for (int k : *it)
                    if (k != i) others << basics[k].id;
                const Basic& b = basics[i];
                add(CheckProblem::SameResident, b.id, b.name, b.address,
                    QStringLiteral("与 %1 为同一居民").arg(others.join(QStringLiteral("、"))));
                result.problems.last().resident = it.key();
            }
        }
    }
    if (!advance()) return result;

    // The answer tables: rows without their BasicInfo row, and codes that no box of the page has.
    QHash<QString, QStringList> orphanPages;  // identity number -> titles of the pages with rows
    const std::vector<char>& readOnCores = orphanReads.wait();
    for (int t = 0; t < int(tables.size()); ++t) {
        const Group& g = group(tables[t]);
        const TableStatements& s = tableStatements()[t];
        if (!readOnCores[t]) {
            orphanIds[t].clear();
            q.setSql(QLatin1String(s.orphans), {}, qs(g.storage));
            for (q.open(); !q.eof(); q.next()) orphanIds[t].append(q.text(0));
            q.close();
        }
        for (const QString& id : std::as_const(orphanIds[t])) orphanPages[id].append(groupTitle(g));
        if (!advance()) return result;

        // Rows whose code the lookup cannot place: along the Code index when the walk holds,
        // else by reading every row of the table.
        QList<CheckProblem> unknown;
        auto addUnknown = [&](SqlQuery& rows) {
            for (rows.open(); !rows.eof(); rows.next()) {
                const QString code = rows.text(1);
                if (!readable(g, code))
                    unknown.append({CheckProblem::UnknownCode, rows.text(0), rows.text(2), rows.text(3),
                                    codeDetail(g, code), QString()});
            }
            rows.close();
        };
        if (!walkCodes(q, codeWalks()[t], g, addUnknown)) {
            unknown.clear();
            q.setSql(QLatin1String(s.codes), codeFilter(g), qs(g.storage));
            addUnknown(q);
        }
        result.problems.append(unknown);
        if (!advance()) return result;
    }
    for (auto it = orphanPages.cbegin(); it != orphanPages.cend(); ++it)
        add(CheckProblem::OrphanRows, it.key(), QString(), QString(),
            QStringLiteral("答案行在：%1").arg(it->join(QStringLiteral("、"))));

    // By kind, then by identity number; the records of one resident stay together.
    std::sort(result.problems.begin(), result.problems.end(),
              [](const CheckProblem& a, const CheckProblem& b) {
                  return std::tie(a.kind, a.resident, a.id, a.detail) <
                         std::tie(b.kind, b.resident, b.id, b.detail);
              });
    return result;
}
