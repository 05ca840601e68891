#include "CoreReads.h"

#include <sqlite3.h>

#include <QSqlDriver>
#include <QVariant>
#include <QThread>
#include <atomic>
#include <memory>

#include "core/store/Connection.h"
#include "core/store/Schema.h"

std::string CoreReads::sqliteFile(const QString& connectionName) {
    const QSqlDatabase db = connection::database(connectionName);
    sqlite3* handle = connection::sqliteHandle(db);
    const char* path = handle ? sqlite3_db_filename(handle, "main") : nullptr;
    return path ? std::string(path) : std::string();
}

CoreReads::CoreReads(const QString& connectionName, std::size_t count, Task task) : m_done(count, 0) {
    std::string path;
    try {
        path = sqliteFile(connectionName);
    } catch (...) {
        return;  // the caller's own statements report it
    }
    start(path, count, std::move(task), {});
}

CoreReads::CoreReads(const std::string& path, std::size_t count, Task task, Setup setup) : m_done(count, 0) {
    start(path, count, std::move(task), std::move(setup));
}

void CoreReads::start(const std::string& path, std::size_t count, Task task, Setup setup) {
    const int cores = std::min(QThread::idealThreadCount(), 8);
    if (cores < 2 || count == 0 || path.empty()) return;
    auto next = std::make_shared<std::atomic<std::size_t>>(0);
    auto work = [this, next, path, count, task, setup] {
        sqlite3* db = nullptr;
        const int flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW;
        if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) == SQLITE_OK) {
            sqlite3_busy_timeout(db, schema::kBusyTimeoutMs);
            if (setup) setup(db);
            for (std::size_t i; (i = (*next)++) < count;) m_done[i] = task(db, i) ? 1 : 0;
        }
        sqlite3_close(db);
        --m_running;
    };
    const std::size_t workers = std::min(std::size_t(cores), count);
    m_running = int(workers);
    for (std::size_t w = 0; w < workers; ++w) m_workers.emplace_back(work);
}

CoreReads::~CoreReads() { wait(); }

const std::vector<char>& CoreReads::wait() {
    for (std::thread& t : m_workers) t.join();
    m_workers.clear();
    return m_done;
}
