#include "RawDb.h"

#include <sqlite3.h>

#include <QFile>
#include <stdexcept>

#include "core/store/Schema.h"
#include "core/store/Statements.h"
#include "gui/stats/TotalPages.h"

RawRows toRaw(const encoding::Rows& rows) {
    RawRows out;
    for (const QString& v : rows.basic) out.basic.push_back(v.toStdString());
    out.id = out.basic.front();
    for (const auto& r : rows.rows)
        out.rows.push_back(
            {statements::tableOf(r.table), r.isOther(), r.code.toStdString(), r.name.toStdString()});
    return out;
}

RawDb::RawDb(const QString& file, bool bulk) {
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK)
        fail("open " + file.toStdString());
    sqlite3_busy_timeout(m_db, schema::kBusyTimeoutMs);
    if (bulk) {
        exec("PRAGMA synchronous=OFF");
        exec("PRAGMA cache_size=-262144");
    } else {
        exec("PRAGMA synchronous=FULL");
    }
}

RawDb::~RawDb() {
    for (auto& [sql, stmt] : m_cache) sqlite3_finalize(stmt);
    sqlite3_close(m_db);
}

void RawDb::fail(const std::string& what) const {
    throw std::runtime_error(what + ": " + (m_db ? sqlite3_errmsg(m_db) : "no database"));
}

void RawDb::exec(const char* sql) {
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) fail(sql);
}

sqlite3_stmt* RawDb::prepared(const std::string& sql) {
    auto it = m_cache.find(sql);
    if (it != m_cache.end()) return it->second;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(m_db, sql.c_str(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) !=
        SQLITE_OK)
        fail("prepare " + sql);
    m_cache.emplace(sql, stmt);
    return stmt;
}

namespace {

void bind(sqlite3_stmt* stmt, int index, const std::string& value) {
    sqlite3_bind_text(stmt, index, value.data(), int(value.size()), SQLITE_STATIC);
}

}  // namespace

void RawDb::insert(const RawRows& rows) {
    sqlite3_stmt* basic = prepared(statements::insertBasic().toStdString());
    for (std::size_t i = 0; i < rows.basic.size(); ++i) bind(basic, int(i + 1), rows.basic[i]);
    if (sqlite3_step(basic) != SQLITE_DONE) fail("insert BasicInfo");
    sqlite3_reset(basic);
    for (const auto& r : rows.rows) {
        sqlite3_stmt* stmt = prepared(statements::insertAnswer(r.table, r.other).toStdString());
        bind(stmt, 1, rows.id);
        bind(stmt, 2, r.code);
        if (r.other) bind(stmt, 3, r.name);
        if (sqlite3_step(stmt) != SQLITE_DONE) fail("insert answer row");
        sqlite3_reset(stmt);
    }
}

void RawDb::removeRows(const std::string& id) {
    for (int t = 0; t < statements::kTableCount; ++t) {
        sqlite3_stmt* stmt = prepared(statements::remove(t).toStdString());
        bind(stmt, 1, id);
        if (sqlite3_step(stmt) != SQLITE_DONE) fail("delete");
        sqlite3_reset(stmt);
    }
}

int RawDb::read(const std::string& id) {
    int rows = 0;
    for (int t = 0; t < statements::kTableCount; ++t) {
        sqlite3_stmt* stmt = prepared(statements::select(t).toStdString());
        bind(stmt, 1, id);
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            ++rows;
            // Every value is fetched as text, as a reader must.
            for (int c = 0, n = sqlite3_column_count(stmt); c < n; ++c) {
                sqlite3_column_text(stmt, c);
                sqlite3_column_bytes(stmt, c);
            }
        }
        if (rc != SQLITE_DONE) fail("select");
        sqlite3_reset(stmt);
        if (t == 0 && rows == 0) break;
    }
    return rows;
}

std::int64_t RawDb::countAll() {
    std::int64_t sum = 0;
    for (const total::Statement& s : total::statements()) {
        sqlite3_stmt* stmt = prepared(s.sql);
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            if (s.grouped) {
                sqlite3_column_int(stmt, 0);
                sum += sqlite3_column_int64(stmt, 1);
            } else {
                sum += sqlite3_column_int64(stmt, 0);
            }
        }
        if (rc != SQLITE_DONE) fail(s.sql);
        sqlite3_reset(stmt);
    }
    return sum;
}

std::int64_t RawDb::countSql(const std::string& sql) {
    std::int64_t sum = 0;
    sqlite3_stmt* stmt = prepared(sql);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        sqlite3_column_text(stmt, 0);
        sum += sqlite3_column_int64(stmt, 1);
    }
    if (rc != SQLITE_DONE) fail(sql);
    sqlite3_reset(stmt);
    return sum;
}

std::vector<std::string> RawDb::plan(const std::string& sql) {
    std::vector<std::string> out;
    sqlite3_stmt* stmt = nullptr;
    const std::string explain = "EXPLAIN QUERY PLAN " + sql;
    if (sqlite3_prepare_v2(m_db, explain.c_str(), -1, &stmt, nullptr) != SQLITE_OK) fail(explain);
    while (sqlite3_step(stmt) == SQLITE_ROW)
        out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3)));
    sqlite3_finalize(stmt);
    return out;
}

std::string RawDb::pragma(const char* name) {
    sqlite3_stmt* stmt = nullptr;
    const std::string sql = std::string("PRAGMA ") + name;
    if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) fail(sql);
    std::string value;
    if (sqlite3_step(stmt) == SQLITE_ROW) value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    sqlite3_finalize(stmt);
    return value;
}
