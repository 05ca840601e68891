#include "SqliteFile.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <QUuid>
#include <cerrno>
#include <vector>

#include "core/backup/ForeignFile.h"
#include "core/store/CoreReads.h"

namespace sqlitefile {

FileError::FileError(QString m, QString d)
    : std::runtime_error(d.toStdString()), message(std::move(m)), detail(std::move(d)) {}

namespace {

// Pages copied per step: small enough to keep writers waiting only briefly, large enough that
// a register of 100,000 questionnaires takes few steps.
constexpr int kStepPages = 4096;
// A writer that changes the source between steps restarts the copy; after this many restarts
// the rest is copied in one step, under one read lock.
constexpr int kMaxRestarts = 3;
constexpr int kBusyRetries = 200;

const QString kCopyFailed = QStringLiteral("无法制作数据库的备份。");

struct Handle {
    sqlite3* db = nullptr;
    ~Handle() { sqlite3_close_v2(db); }
};

QString errorOf(sqlite3* db) {
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
}

void open(Handle& h, const QString& file, int flags, const QString& message) {
    const QByteArray name = QFile::encodeName(QFileInfo(file).absoluteFilePath());
    if (sqlite3_open_v2(name.constData(), &h.db, flags, nullptr) != SQLITE_OK)
        throw FileError(message, QStringLiteral("open %1: %2").arg(file, errorOf(h.db)));
    // The file may come from elsewhere: nothing of its schema runs here.
    ForeignFile::distrustSchema(h.db);
    sqlite3_busy_timeout(h.db, 3000);
    sqlite3_extended_result_codes(h.db, 1);
}

void syncPath(const QString& path, bool directory) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), directory ? (O_RDONLY | O_DIRECTORY) : O_RDONLY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

bool makePrivateFolder(const QString& folder) {
    const QByteArray name = QFile::encodeName(folder);
    struct stat st {};
    // A link in the folder's place: whatever it points to is not ours to change.
    if (::lstat(name.constData(), &st) == 0 && !S_ISDIR(st.st_mode)) return false;
    if (!QDir().mkpath(folder)) return false;
    if (::lstat(name.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    return (st.st_mode & 0777) == 0700 || ::chmod(name.constData(), 0700) == 0;
}

bool sameFile(const QString& a, const QString& b) {
    struct stat sa {}, sb {};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

void syncFile(const QString& file) { syncPath(file, false); }

bool renameDurably(const QString& from, const QString& to) {
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) return false;
    syncPath(QFileInfo(to).absolutePath(), true);
    return true;
}

namespace {

// The whole check split in parts that run side by side: the structure of every page and tree
// (quick_check: page accounting, cell formats, NOT NULL), and the table-and-index check of each
// of the register's tables (every index entry against its row). Together they are what
// integrity_check does in one pass.
const char* const kQuickCheck = "PRAGMA quick_check";
struct TableCheck {
    const char* table;
    const char* sql;
};
const TableCheck kTableChecks[] = {
    {"Special", "PRAGMA integrity_check(Special)"},     {"Love", "PRAGMA integrity_check(Love)"},
    {"Team", "PRAGMA integrity_check(Team)"},           {"Service", "PRAGMA integrity_check(Service)"},
    {"Train", "PRAGMA integrity_check(Train)"},         {"Reason", "PRAGMA integrity_check(Reason)"},
    {"Who", "PRAGMA integrity_check(Who)"},             {"Type", "PRAGMA integrity_check(Type)"},
    {"Time1", "PRAGMA integrity_check(Time1)"},         {"ReinForce", "PRAGMA integrity_check(ReinForce)"},
    {"Depend", "PRAGMA integrity_check(Depend)"},       {"Channel", "PRAGMA integrity_check(Channel)"},
    {"BasicInfo", "PRAGMA integrity_check(BasicInfo)"},
};

// The check reads every page, tables and indexes side by side: through memory mapping and a
// cache large enough for the index pages it revisits.
void configureForCheck(sqlite3* db) {
    ForeignFile::distrustSchema(db);
    sqlite3_exec(db, "PRAGMA mmap_size=4294967296", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA cache_size=-65536", nullptr, nullptr, nullptr);
}

void openForCheck(Handle& h, const QString& file) {
    open(h, file, SQLITE_OPEN_READONLY, kCopyFailed);
    configureForCheck(h.db);
}

}  // namespace

QString runCheck(sqlite3* db, const char* sql, bool* ok) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        *ok = false;
        return errorOf(db);
    }
    // A value whose type differs from its column's declared one ("TEXT value in
    // BasicInfo.Phone") is no damage here: every value is read as text, whatever the file
    // declares. The first other problem counts.
    static const QRegularExpression typeOnly(QStringLiteral("^(TEXT|NUMERIC|non-[A-Z]+) value in [^ ]+$"));
    int rc;
    QString first;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        first = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        if (!typeOnly.match(first).hasMatch()) break;
        first = QStringLiteral("ok");
    }
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) first = errorOf(db);
    sqlite3_finalize(st);
    *ok = first == QLatin1String("ok");
    return first;
}

bool integrityOk(const QString& file, QString* detail) {
    try {
        Handle h;
        openForCheck(h, file);
        const int cores = std::min(QThread::idealThreadCount(), 8);
        // The register's tables that the file has; a file with other tables, or on one core,
        // is checked in one pass.
        std::vector<const char*> parts{kQuickCheck};
        bool onlyOurs = cores > 1;
        {
            sqlite3_stmt* st = nullptr;
            if (onlyOurs && sqlite3_prepare_v2(h.db, "select name from sqlite_master where type='table'", -1,
                                               &st, nullptr) == SQLITE_OK) {
                while (onlyOurs && sqlite3_step(st) == SQLITE_ROW) {
                    const QString name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
                    onlyOurs = false;
                    for (const TableCheck& c : kTableChecks)
                        if (name.compare(QLatin1String(c.table), Qt::CaseInsensitive) == 0) {
                            parts.push_back(c.sql);
                            onlyOurs = true;
                        }
                }
            } else {
                onlyOurs = false;
            }
            sqlite3_finalize(st);
        }
        bool ok = false;
        if (!onlyOurs) {
            const QString first = runCheck(h.db, "PRAGMA integrity_check", &ok);
            if (detail) *detail = first;
            return ok;
        }
        // Each part on a worker of its own connection; a part no worker could run runs here.
        std::vector<QString> results(parts.size());
        std::vector<char> passed(parts.size(), 0);
        const std::string path = QFile::encodeName(QFileInfo(file).absoluteFilePath()).toStdString();
        CoreReads workers(
            path, parts.size(),
            [&](sqlite3* db, std::size_t i) {
                bool partOk = false;
                results[i] = runCheck(db, parts[i], &partOk);
                passed[i] = partOk;
                return true;
            },
            configureForCheck);
        const std::vector<char> ran = workers.wait();
        for (std::size_t i = 0; i < parts.size(); ++i)
            if (!ran[i]) {
                bool partOk = false;
                results[i] = runCheck(h.db, parts[i], &partOk);
                passed[i] = partOk;
            }
        for (std::size_t i = 0; i < parts.size(); ++i)
            if (!passed[i]) {
                if (detail) *detail = results[i].isEmpty() ? QStringLiteral("check not run") : results[i];
                return false;
            }
        if (detail) *detail = QStringLiteral("ok");
        return true;
    } catch (const FileError& e) {
        if (detail) *detail = e.detail;
        return false;
    }
}

bool structureOk(const QString& file, QString* detail) {
    try {
        Handle h;
        openForCheck(h, file);
        bool ok = false;
        const QString first = runCheck(h.db, kQuickCheck, &ok);
        if (detail) *detail = first;
        return ok;
    } catch (const FileError& e) {
        if (detail) *detail = e.detail;
        return false;
    }
}

QString copy(const QString& source, const QString& target, bool readOnly, const ProgressFn& progress,
             bool replace, Use use, const std::function<QString(int)>& nextName) {
    QFileInfo info(target);
    int attempt = 0;
    // A name that is taken: the next one, when the caller has one to offer.
    while (info.exists() && !replace && nextName && attempt < 999) info = QFileInfo(nextName(++attempt));
    if (info.exists() && !replace)
        throw FileError(QStringLiteral("备份文件 %1 已经存在。").arg(info.filePath()),
                        QStringLiteral("target exists"));
    const QString tmp = info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                        QStringLiteral(".part-") + QUuid::createUuid().toString(QUuid::Id128);
    {
        // Owner-only from the start, before SQLite writes any page into it.
        QFile f(tmp);
        if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            throw FileError(QStringLiteral("无法在 %1 中写入备份文件。").arg(info.absolutePath()),
                            f.errorString());
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    auto discard = [&] {
        QFile::remove(tmp);
        for (const char* side : {"-journal", "-wal", "-shm"}) QFile::remove(tmp + QLatin1String(side));
    };
    try {
        Handle src, dst;
        open(src, source, readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, kCopyFailed);
        open(dst, tmp, SQLITE_OPEN_READWRITE, kCopyFailed);
        sqlite3_exec(dst.db, use == Use::Kept ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=OFF", nullptr,
                     nullptr, nullptr);
        sqlite3_backup* b = sqlite3_backup_init(dst.db, "main", src.db, "main");
        if (!b) throw FileError(kCopyFailed, errorOf(dst.db));
        int rc = SQLITE_OK, restarts = 0, busy = 0, step = kStepPages;
        qint64 lastRemaining = -1;
        while (true) {
            rc = sqlite3_backup_step(b, step);
            const qint64 remaining = sqlite3_backup_remaining(b), total = sqlite3_backup_pagecount(b);
            if (rc == SQLITE_DONE) break;
            if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
                if (++busy > kBusyRetries) break;
                QThread::msleep(25);
            } else if (rc != SQLITE_OK) {
                break;
            }
            // A copy that started again from the beginning: a writer changed the source.
            if (lastRemaining >= 0 && remaining > lastRemaining && ++restarts >= kMaxRestarts) step = -1;
            lastRemaining = remaining;
            if (progress && !progress(total - remaining, total)) {
                sqlite3_backup_finish(b);
                throw Cancelled{};
            }
        }
        const int finish = sqlite3_backup_finish(b);
        if (rc != SQLITE_DONE || finish != SQLITE_OK)
            throw FileError(kCopyFailed,
                            QStringLiteral("backup step: %1").arg(QString::fromUtf8(sqlite3_errstr(rc))));
        // A copy stands alone: one file, with no write-ahead log beside it.
        if (sqlite3_exec(dst.db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr) != SQLITE_OK)
            throw FileError(kCopyFailed, errorOf(dst.db));
    } catch (...) {
        discard();
        throw;
    }
    QString detail;
    if (use == Use::Kept ? !integrityOk(tmp, &detail) : !structureOk(tmp, &detail)) {
        discard();
        throw FileError(QStringLiteral("备份文件没有通过完整性检查，已删除。"),
                        QStringLiteral("integrity_check: %1").arg(detail));
    }
    if (use == Use::Kept) syncPath(tmp, false);
    if (replace) {
        if (!renameDurably(tmp, target)) {
            discard();
            throw FileError(QStringLiteral("无法写入备份文件 %1。").arg(target),
                            QStringLiteral("rename failed"));
        }
        return target;
    }
    // link() never replaces a file that appeared meanwhile; another name is tried instead.
    QString path = info.filePath();
    while (::link(QFile::encodeName(tmp).constData(), QFile::encodeName(path).constData()) != 0) {
        if (errno != EEXIST || !nextName || ++attempt > 999) {
            discard();
            throw FileError(QStringLiteral("无法写入备份文件 %1。").arg(path), QStringLiteral("link failed"));
        }
        path = nextName(attempt);
    }
    QFile::remove(tmp);
    syncPath(info.absolutePath(), true);
    return path;
}

}  // namespace sqlitefile
