#include "Restore.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include "core/backup/ForeignFile.h"
#include "core/backup/NativePath.h"
#include "core/backup/RegisterCopy.h"
#include "core/store/Connection.h"
#include "core/store/RegisterLock.h"
#include "core/store/Schema.h"

namespace backup {

namespace {

Inspection refuse(const QString& why) {
    Inspection i;
    i.message = why;
    return i;
}

// The file's own SQL for an object, the way SQLite keeps it.
bool isVirtual(const QString& sql) {
    return sql.trimmed().startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive);
}

}  // namespace

const QString kNotRestored = QStringLiteral("未恢复，当前的登记册没有改动。");

QString Inspection::leftBehind() const {
    QStringList parts;
    auto add = [&](const QString& what, const QStringList& names) {
        if (!names.isEmpty()) parts << what + QStringLiteral(" ") + names.join(QStringLiteral("、"));
    };
    add(QStringLiteral("触发器"), triggers);
    add(QStringLiteral("视图"), views);
    add(QStringLiteral("数据表"), otherTables);
    if (parts.isEmpty()) return {};
    return QStringLiteral("所选文件中还有不属于登记册的内容，不会带入登记册：%1。")
        .arg(parts.join(QStringLiteral("；")));
}

QString Inspection::summary(const QString& file) const {
    QString s = QStringLiteral("备份文件：%1\n问卷份数：%2").arg(nativepath::display(file)).arg(questionnaires);
    if (questionnaires > 0)
        s += QStringLiteral("\n最早登记的身份证号码：%1\n最近登记的身份证号码：%2").arg(oldestId, newestId);
    if (const QString other = leftBehind(); !other.isEmpty()) s += u'\n' + other;
    return s +
           QStringLiteral(
               "\n\n恢复后，当前登记册中的全部问卷将被这份备份替换（当前的登记册会先备份）。确实要恢复吗？");
}

QString damagedMessage() { return QStringLiteral("所选的数据库文件已损坏（完整性检查没有通过）。"); }

QString busyMessage() {
    return QStringLiteral("所选的数据库文件正被其他程序写入（等了几秒钟仍未写完）。请等它写完或关闭那个程序，然后再试。");
}

QString registerInUseMessage() {
    return QStringLiteral(
        "登记册正在其他程序中打开（另一个 Quenvale 窗口，或正在运行的 quenvale-cli）。请先关闭其他程序，然后再恢复。");
}

QString rowsLeftOutMessage(qint64 rows) {
    return QStringLiteral("备份中有 %1 行数据没有身份证号码，或与前面的问卷身份证号码重复，没有恢复。").arg(rows);
}

Inspection inspect(const QString& file, bool checkIntegrity) {
    const QFileInfo info(file);
    if (!info.isFile()) return refuse(QStringLiteral("找不到所选的文件。"));
    if (info.size() == 0) return refuse(QStringLiteral("所选的文件是空文件，里面没有登记册。"));
    {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) return refuse(QStringLiteral("无法读取所选的文件。"));
        const QByteArray header = f.read(100);
        if (!header.startsWith(QByteArray("SQLite format 3\0", 16)))
            return refuse(QStringLiteral("所选的文件不是数据库文件，不是本系统的登记册。"));
        // Bytes 56 to 59: the text encoding, 1 for UTF-8 as every register has it, 2 or 3 for UTF-16.
        if (header.mid(56, 4) == QByteArray("\0\0\0\2", 4) || header.mid(56, 4) == QByteArray("\0\0\0\3", 4))
            return refuse(QStringLiteral("所选的数据库文件以 UTF-16 保存文字，不是本系统的登记册。"));
    }
    const QString damaged = damagedMessage();
    ForeignFile db(file);
    auto failed = [&] { return refuse(db.busy() ? busyMessage() : damaged); };
    if (!db.isOpen()) return failed();

    struct Object {
        QString type, name, sql;
    };
    QList<Object> objects;
    if (db.select("select type, name, sql from sqlite_master", QString(), [&](sqlite3_stmt* st) {
            objects.append({ForeignFile::text(st, 0), ForeignFile::text(st, 1), ForeignFile::text(st, 2)});
        }) != SQLITE_DONE)
        return failed();
    QString detail;
    if (checkIntegrity && !sqlitefile::integrityOk(file, &detail))
        return refuse(detail == QString::fromUtf8(sqlite3_errstr(SQLITE_BUSY)) ? busyMessage() : damaged);

    const QStringList tables = schema::tables();
    auto ours = [&](const QString& name) {
        return std::any_of(tables.cbegin(), tables.cend(),
                           [&](const QString& t) { return t.compare(name, Qt::CaseInsensitive) == 0; });
    };
    Inspection result;
    QHash<QString, QString> tableSql;  // lower-case name -> its SQL
    for (const Object& o : objects) {
        if (o.type == QLatin1String("trigger")) result.triggers << o.name;
        if (o.type == QLatin1String("view")) result.views << o.name;
        if (o.type != QLatin1String("table")) continue;
        tableSql.insert(o.name.toLower(), o.sql);
        if (!ours(o.name) && !o.name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive))
            result.otherTables << o.name;
    }
    int found = 0;
    for (const QString& t : tables) found += tableSql.contains(t.toLower());
    if (found == 0) return refuse(QStringLiteral("所选的文件是其他程序的数据库，不含登记册的数据表。"));
    for (const QString& t : tables) {
        if (!tableSql.contains(t.toLower()))
            return refuse(QStringLiteral("所选的文件缺少数据表 %1，不是完整的登记册。").arg(t));
        // Rows that a module computes are no register's rows.
        if (isVirtual(tableSql.value(t.toLower())))
            return refuse(QStringLiteral("所选文件的数据表 %1 不是普通的数据表，不是本系统的登记册。").arg(t));
        QHash<QString, int> columns;  // lower-case name -> hidden (2, 3: computed from others)
        if (db.select("select name, hidden from pragma_table_xinfo(?)", t, [&](sqlite3_stmt* st) {
                columns.insert(ForeignFile::text(st, 0).toLower(), sqlite3_column_int(st, 1));
            }) != SQLITE_DONE)
            return failed();
        for (const QString& c : schema::columns(t)) {
            if (!columns.contains(c.toLower()))
                return refuse(QStringLiteral("所选文件的数据表 %1 缺少列 %2，不是完整的登记册。").arg(t, c));
            if (columns.value(c.toLower()) != 0)
                return refuse(
                    QStringLiteral("所选文件的数据表 %1 的列 %2 是算出来的，不是登记的数据，不是本系统的登记册。")
                        .arg(t, c));
        }
    }
    bool read = db.select("select count(*) from BasicInfo", QString(), [&](sqlite3_stmt* st) {
                    result.questionnaires = sqlite3_column_int(st, 0);
                }) == SQLITE_DONE;
    // Entry order; a table without rowids is read in its own order.
    auto firstId = [&](const char* byRowid, const char* plain, QString* id) {
        auto take = [&](sqlite3_stmt* st) { *id = ForeignFile::text(st, 0); };
        return db.select(byRowid, QString(), take) == SQLITE_DONE ||
               (!db.busy() && db.select(plain, QString(), take) == SQLITE_DONE);
    };
    read = read && firstId("select ID from BasicInfo order by rowid limit 1", "select ID from BasicInfo limit 1",
                           &result.oldestId);
    read = read && firstId("select ID from BasicInfo order by rowid desc limit 1",
                           "select ID from BasicInfo limit 1 offset (select count(*) - 1 from BasicInfo)",
                           &result.newestId);
    if (!read) return failed();
    result.ok = true;
    return result;
}

QString restore(const QString& file, Snapshots& snapshots, const ProgressFn& progress) {
    const PreparedRestore prepared = prepareRestore(file, snapshots, progress);
    commitRestore(prepared);
    return prepared.kept;
}

void abandonRestore(const PreparedRestore& prepared) {
    QFile::remove(prepared.copy);
    QFile::remove(prepared.copy + QStringLiteral("-journal"));
}

PreparedRestore prepareRestore(const QString& file, Snapshots& snapshots,
                               const ProgressFn& progress) {
    const Inspection check = inspect(file);
    if (!check.ok)
        throw sqlitefile::FileError(check.message + kNotRestored,
                                    QStringLiteral("inspection refused %1").arg(file));
    const QString current = snapshots.databaseFile();
    const QFileInfo info(current);
    if (sqlitefile::sameFile(file, current))
        throw sqlitefile::FileError(QStringLiteral("所选的文件就是当前的登记册。") + kNotRestored,
                                    QStringLiteral("restore of the file onto itself"));
    // Said now rather than after the copies: the swap would be refused all the same.
    if (info.isFile() && !RegisterLock(current, RegisterLock::Mode::Alone).held())
        throw sqlitefile::FileError(registerInUseMessage() + kNotRestored,
                                    QStringLiteral("register held by another program"));

    // The file being restored may itself be an old backup: the copies' rotation leaves it.
    snapshots.protect(file);
    QString kept;
    if (info.isFile()) kept = snapshots.keepBefore(CopyKind::BeforeRestore);

    const QString tmp = info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                        QStringLiteral(".restore-") + QUuid::createUuid().toString(QUuid::Id128);
    registercopy::Result made;
    try {
        made = registercopy::build(file, tmp, progress);
    } catch (const sqlitefile::FileError& e) {
        throw sqlitefile::FileError(e.message + kNotRestored, e.detail);
    }
    return PreparedRestore{tmp, kept, current, made.leftOut};
}

void commitRestore(const PreparedRestore& prepared) {
    const QString& current = prepared.target;
    const QString& tmp = prepared.copy;
    const QFileInfo info(current);
    // Held until the new file is in place: no other program opens the register meanwhile.
    const RegisterLock alone(current, RegisterLock::Mode::Alone);
    if (!alone.held()) {
        QFile::remove(tmp);
        throw sqlitefile::FileError(registerInUseMessage() + kNotRestored,
                                    QStringLiteral("register held by another program"));
    }
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
