#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/store/Encoding.h"

struct sqlite3;
struct sqlite3_stmt;

/// One questionnaire's rows in UTF-8, ready to bind (converted before any timing starts).
struct RawRows {
    struct Row {
        int table;  ///< 1..12
        bool other;
        std::string code, name;
    };
    std::string id;
    std::vector<std::string> basic;
    std::vector<Row> rows;
};
RawRows toRaw(const encoding::Rows& rows);

/// The same database through the SQLite C API alone: the program's statement texts, prepared
/// once and reused, the same journal mode and synchronous setting. This is the engine's limit
/// on this machine (with a transaction per questionnaire) and the old program's way (without).
class RawDb {
public:
    /// Opens an existing file; `bulk` drops durability for filling only.
    explicit RawDb(const QString& file, bool bulk = false);
    ~RawDb();
    RawDb(const RawDb&) = delete;
    RawDb& operator=(const RawDb&) = delete;

    void exec(const char* sql);
    void begin() { exec("BEGIN"); }
    void commit() { exec("COMMIT"); }

    /// The BasicInfo row and the answer rows, in the program's order.
    void insert(const RawRows& rows);
    /// The thirteen deletes.
    void removeRows(const std::string& id);
    /// Reads BasicInfo and the twelve answer tables for one id; returns the rows seen.
    int read(const std::string& id);
    /// The statistics' fourteen statements, every row read; returns the sum of the counts.
    std::int64_t countAll();
    /// A grouped count (code, count), every row read; returns the sum of the counts.
    std::int64_t countSql(const std::string& sql);

    /// EXPLAIN QUERY PLAN of a statement, one line per step.
    std::vector<std::string> plan(const std::string& sql);
    std::string pragma(const char* name);

    sqlite3* handle() const { return m_db; }

private:
    sqlite3_stmt* prepared(const std::string& sql);
    [[noreturn]] void fail(const std::string& what) const;

    sqlite3* m_db = nullptr;
    std::unordered_map<std::string, sqlite3_stmt*> m_cache;
};
