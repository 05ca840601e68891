#include "AnswerCounts.h"

#include <sqlite3.h>

#include <climits>

#include "core/store/CoreReads.h"
#include "core/store/SqlQuery.h"

using namespace catalogue;

namespace answercounts {

namespace {

// clang-format off
// The statements are kept exactly as the old program wrote them, letter case included.
const std::vector<Statement> kStatements = {
    {"Select Code,count(*) from special group by code order by code",   Special,   true,  0},
    {"Select Code,count(*) from Love group by code order by code",      Love,      true,  0},
    {"Select Code,count(*) from Team group by code order by code",      Team,      true,  0},
    {"Select Code,count(*) from Service group by code order by code",   Service,   true,  0},
    {"Select Code,count(*) from Train group by code order by code",     Train,     true,  0},
    {"Select count(*) from BasicInfo where flag='1'",                   Flag,      false, 1},
    {"Select count(*) from BasicInfo where flag='0'",                   Flag,      false, 0},
    {"Select Code,count(*) from Reason group by code order by code",    Reason,    true,  0},
    {"Select Code,count(*) from Who group by code order by code",       Who,       true,  0},
    {"Select Code,count(*) from TYpe group by code order by code",      Type,      true,  0},
    {"Select Code,count(*) from Time1 group by code order by code",     Time,      true,  0},
    {"Select Code,count(*) from ReinForce group by code order by code", ReinForce, true,  0},
    {"Select Code,count(*) from Depend group by code order by code",    Depend,    true,  0},
    {"Select Code,count(*) from Channel group by code order by code",   Channel,   true,  0},
};

struct BasicStatement {
    GroupId group;
    const char* sql;
};

const BasicStatement kBasicStatements[] = {
    {Age,       "Select age,count(*) from BasicInfo group by age"},
    {Level,     "Select level,count(*) from BasicInfo group by level"},
    {Political, "Select political,count(*) from BasicInfo group by political"},
    {Duty,      "Select duty,count(*) from BasicInfo group by duty"},
    {Position,  "Select Position,count(*) from BasicInfo group by Position"},
};
// clang-format on

// One statement on a connection of the worker's own. Only a clean run counts: any error, or a
// code that the query object would not read as a whole number, leaves the entry empty.
std::optional<QMap<int, qint64>> countOn(sqlite3* db, const Statement& statement) {
    const Group& g = group(statement.group);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, statement.sql, -1, &st, nullptr) != SQLITE_OK || !st) {
        sqlite3_finalize(st);
        return std::nullopt;
    }
    QMap<int, qint64> counts;
    bool clean = true;
    int rc = SQLITE_ROW;
    if (!statement.grouped) {
        rc = sqlite3_step(st);
        const int box = g.boxForCode(statement.code);
        if (rc == SQLITE_ROW) {
            if (box >= 0) counts[box] += sqlite3_column_int(st, 0);
            rc = SQLITE_DONE;
        }
    } else {
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            int code = 0;
            if (sqlite3_column_type(st, 0) == SQLITE_INTEGER) {
                const sqlite3_int64 n = sqlite3_column_int64(st, 0);
                clean = n >= INT_MIN && n <= INT_MAX;
                code = int(n);
            } else {
                const char* text = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
                clean = text && SqlQuery::parseInteger(QString::fromUtf8(text), &code);
            }
            if (!clean) break;
            const int box = g.boxForCode(code);
            if (box >= 0) counts[box] += sqlite3_column_int(st, 1);
        }
    }
    sqlite3_finalize(st);
    if (!clean || rc != SQLITE_DONE) return std::nullopt;
    return counts;
}

}  // namespace

std::vector<std::optional<QMap<int, qint64>>> countOnCores(const QString& connectionName,
                                                           const std::vector<Statement>& statements) {
    std::vector<std::optional<QMap<int, qint64>>> out(statements.size());
    CoreReads reads(connectionName, statements.size(), [&](sqlite3* db, std::size_t i) {
        out[i] = countOn(db, statements[i]);
        return out[i].has_value();
    });
    reads.wait();
    return out;
}

const std::vector<Statement>& statements() { return kStatements; }

void run(SqlQuery& query, const Statement& statement, QMap<int, qint64>& into) {
    const Group& g = group(statement.group);
    query.setSql(qs(statement.sql), {}, qs(g.storage));
    query.open();
    query.first();
    if (statement.grouped) {
        while (!query.eof()) {
            const int box = g.boxForCode(query.integer(0));
            if (box >= 0) into[box] += query.integer(1);
            query.next();
        }
    } else {
        const int box = g.boxForCode(statement.code);
        if (box >= 0) into[box] += query.integer(0);
    }
    query.close();
}

void tally(SqlQuery& query, const Statement& statement, QMap<int, qint64>& into,
           QList<Uncounted>& uncounted) {
    if (!statement.grouped) {
        run(query, statement, into);
        return;
    }
    const Group& g = group(statement.group);
    query.setSql(qs(statement.sql), {}, qs(g.storage));
    query.open();
    for (query.first(); !query.eof(); query.next()) {
        const QString code = query.text(0);
        const qint64 rows = query.integer(1);
        int n = 0;
        const int box = SqlQuery::parseInteger(code, &n) ? g.boxForCode(n) : -1;
        if (box >= 0)
            into[box] += rows;
        else
            uncounted.append({code, rows});
    }
    query.close();
}

QMap<int, qint64> countBasicGroup(SqlQuery& query, GroupId id, QList<Uncounted>* uncounted) {
    const Group& g = group(id);
    const char* sql = nullptr;
    for (const BasicStatement& s : kBasicStatements)
        if (s.group == id) sql = s.sql;
    QMap<int, qint64> counts;
    if (!sql) return counts;
    query.setSql(qs(sql), {}, QStringLiteral("BasicInfo"));
    query.open();
    query.first();
    while (!query.eof()) {
        const QString value = query.text(0);
        int code = 0;
        int box = -1;
        if (SqlQuery::parseInteger(value, &code))
            box = g.boxForCode(code);
        else if (g.hasOther() && !value.isEmpty())
            box = g.boxForCode(kOtherCode);
        if (box >= 0)
            counts[box] += query.integer(1);
        else if (uncounted)
            uncounted->append({value, query.integer(1)});
        query.next();
    }
    query.close();
    return counts;
}

}  // namespace answercounts
