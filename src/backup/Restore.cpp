#include "Restore.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include "store/Connection.h"
#include "store/Schema.h"

namespace backup {

namespace {

QString text(sqlite3_stmt* st, int column) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, column)));
}

// One prepared statement on a read-only handle; rows through `row`. False on an engine error.
template <typename Row>
bool select(sqlite3* db, const char* sql, const QString& bound, Row row) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return false;
    }
    const QByteArray b = bound.toUtf8();
    if (!bound.isNull()) sqlite3_bind_text(st, 1, b.constData(), int(b.size()), SQLITE_TRANSIENT);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) row(st);
    sqlite3_finalize(st);
    return rc == SQLITE_DONE;
}

Inspection refuse(const QString& why) {
    Inspection i;
    i.message = why;
    return i;
}

}  // namespace

const QString kNotRestored = QStringLiteral("未恢复，当前的登记册没有改动。");

QString Inspection::summary(const QString& file) const {
    QString s =
        QStringLiteral("备份文件：%1\n问卷份数：%2").arg(QDir::toNativeSeparators(file)).arg(questionnaires);
    if (questionnaires > 0)
        s += QStringLiteral("\n最早登记的身份证号码：%1\n最近登记的身份证号码：%2").arg(oldestId, newestId);
    return s +
           QStringLiteral(
               "\n\n恢复后，当前登记册中的全部问卷将被这份备份替换（当前的登记册会先备份）。确实要恢复吗？");
}

QString damagedMessage() { return QStringLiteral("所选的数据库文件已损坏（完整性检查没有通过）。"); }

Inspection inspect(const QString& file, bool checkIntegrity) {
    const QFileInfo info(file);
    if (!info.isFile()) return refuse(QStringLiteral("找不到所选的文件。"));
    if (info.size() == 0) return refuse(QStringLiteral("所选的文件是空文件，里面没有登记册。"));
    {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) return refuse(QStringLiteral("无法读取所选的文件。"));
        if (f.read(16) != QByteArray("SQLite format 3\0", 16))
            return refuse(QStringLiteral("所选的文件不是数据库文件，不是本系统的登记册。"));
    }
    const QString damaged = damagedMessage();
    QString detail;
    if (checkIntegrity && !sqlitefile::integrityOk(file, &detail)) return refuse(damaged);

    sqlite3* db = nullptr;
    struct Closer {
        sqlite3*& db;
        ~Closer() { sqlite3_close_v2(db); }
    } closer{db};
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return refuse(damaged);
    QStringList present;
    if (!select(db, "select name from sqlite_master where type='table'", QString(),
                [&](sqlite3_stmt* st) { present << text(st, 0).toLower(); }))
        return refuse(damaged);
    const QStringList tables = schema::tables();
    int found = 0;
    for (const QString& t : tables) found += present.contains(t.toLower());
    if (found == 0) return refuse(QStringLiteral("所选的文件是其他程序的数据库，不含登记册的数据表。"));
    for (const QString& t : tables) {
        if (!present.contains(t.toLower()))
            return refuse(QStringLiteral("所选的文件缺少数据表 %1，不是完整的登记册。").arg(t));
        QStringList columns;
        if (!select(db, "select name from pragma_table_info(?)", t,
                    [&](sqlite3_stmt* st) { columns << text(st, 0).toLower(); }))
            return refuse(damaged);
        for (const QString& c : schema::columns(t))
            if (!columns.contains(c.toLower()))
                return refuse(QStringLiteral("所选文件的数据表 %1 缺少列 %2，不是完整的登记册。").arg(t, c));
    }
    Inspection result;
    bool read = select(db, "select count(*) from BasicInfo", QString(),
                       [&](sqlite3_stmt* st) { result.questionnaires = sqlite3_column_int(st, 0); });
    read = read && select(db, "select ID from BasicInfo order by rowid limit 1", QString(),
                          [&](sqlite3_stmt* st) { result.oldestId = text(st, 0); });
    read = read && select(db, "select ID from BasicInfo order by rowid desc limit 1", QString(),
                          [&](sqlite3_stmt* st) { result.newestId = text(st, 0); });
    if (!read) return refuse(damaged);
    result.ok = true;
    return result;
}

QString restore(const QString& file, Snapshots& snapshots, const sqlitefile::ProgressFn& progress) {
    const PreparedRestore prepared = prepareRestore(file, snapshots, progress);
    commitRestore(prepared);
    return prepared.kept;
}

void abandonRestore(const PreparedRestore& prepared) {
    QFile::remove(prepared.copy);
    QFile::remove(prepared.copy + QStringLiteral("-journal"));
}

PreparedRestore prepareRestore(const QString& file, Snapshots& snapshots,
                               const sqlitefile::ProgressFn& progress) {
    const Inspection check = inspect(file);
    if (!check.ok)
        throw sqlitefile::FileError(check.message + kNotRestored,
                                    QStringLiteral("inspection refused %1").arg(file));
    const QString current = snapshots.databaseFile();
    const QFileInfo info(current);
    if (QFileInfo(file).canonicalFilePath() == info.canonicalFilePath())
        throw sqlitefile::FileError(QStringLiteral("所选的文件就是当前的登记册。") + kNotRestored,
                                    QStringLiteral("restore of the file onto itself"));

    // The current register first becomes a backup of its own.
    QString kept;
    if (info.isFile()) kept = snapshots.backupNow();

    const QString tmp = info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                        QStringLiteral(".restore-") + QUuid::createUuid().toString(QUuid::Id128);
    sqlitefile::copy(file, tmp, true, progress);
    return PreparedRestore{tmp, kept, current};
}

void commitRestore(const PreparedRestore& prepared) {
    const QString& current = prepared.target;
    const QString& tmp = prepared.copy;
    const QFileInfo info(current);
    connection::closeAll();
    // The old file's journal must be gone before the new file takes its name, or SQLite would
    // apply it to the new file: open the old file once, settle it, close it.
    if (info.isFile()) {
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(QFile::encodeName(current).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) ==
            SQLITE_OK) {
            sqlite3_busy_timeout(db, 3000);
            sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
        }
        sqlite3_close_v2(db);
    }
    for (const char* side : {"-journal", "-wal"}) {
        if (QFileInfo(current + QLatin1String(side)).size() > 0) {
            QFile::remove(tmp);
            throw sqlitefile::FileError(QStringLiteral("登记册正被其他程序使用，") + kNotRestored,
                                        QStringLiteral("%1%2 remains").arg(current, QLatin1String(side)));
        }
    }
    QFile::remove(current + QStringLiteral("-shm"));
    if (!sqlitefile::renameDurably(tmp, current)) {
        QFile::remove(tmp);
        throw sqlitefile::FileError(QStringLiteral("无法替换数据库文件，") + kNotRestored,
                                    QStringLiteral("rename failed"));
    }
}

}  // namespace backup
