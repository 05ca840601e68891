#pragma once

#include <QString>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

struct sqlite3;

/// Reads of an SQLite register spread over the processor's cores: tasks 0..n-1 run on worker
/// threads, each worker with a read-only connection of its own to the file behind a named
/// connection. The workers start at construction, so the caller's own thread can go on with
/// other reads meanwhile; wait() (or the destructor) joins them.
///
/// A task returns false when it could not be done cleanly (a failing statement, a value the
/// caller's own reading would treat otherwise); such tasks, every task of a worker that could not
/// open the file, and all of them on another engine or a single core, are reported as not done,
/// and the caller runs them on its own connection, where they succeed or fail as they always did.
class CoreReads {
public:
    using Task = std::function<bool(sqlite3* db, std::size_t index)>;
    /// Prepares each worker's connection before its first task (pragmas of the reading).
    using Setup = std::function<void(sqlite3* db)>;
    CoreReads(const QString& connectionName, std::size_t count, Task task);
    /// The same over the SQLite file `path` itself.
    CoreReads(const std::string& path, std::size_t count, Task task, Setup setup = {});
    ~CoreReads();
    CoreReads(const CoreReads&) = delete;
    CoreReads& operator=(const CoreReads&) = delete;

    /// Joins the workers; whether each task was done.
    const std::vector<char>& wait();
    /// True once every worker has ended (wait() then returns at once).
    bool finished() const { return m_running.load() == 0; }

    /// The path of the file behind an open SQLite connection; empty for any other engine.
    /// Opens the connection if needed; throws DbError when it cannot be opened.
    static std::string sqliteFile(const QString& connectionName);

private:
    void start(const std::string& path, std::size_t count, Task task, Setup setup);
    std::vector<char> m_done;
    std::atomic<int> m_running{0};
    std::vector<std::thread> m_workers;
};
