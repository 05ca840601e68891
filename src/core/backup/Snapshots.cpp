#include "Snapshots.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <algorithm>

#include "core/backup/ForeignFile.h"
#include "core/store/Connection.h"
#include "core/store/DataSource.h"
#include "core/store/Schema.h"

namespace backup {

namespace {
const QString kConnection = QStringLiteral("MyDb");
const QRegularExpression& namePattern() {
    static const QRegularExpression re(
        QStringLiteral("^MyDB-(\\d{8}-\\d{6})(-before-restore|-before-merge)?(?:-([2-9]|[1-9]\\d{1,3}))?\\.db$"));
    return re;
}

struct ParsedName {
    QDateTime stamp;  // invalid: not a copy's name
    CopyKind kind = CopyKind::Backup;
    int sequence = 1;
};

ParsedName parse(const QString& fileName) {
    ParsedName p;
    const auto m = namePattern().match(fileName);
    if (!m.hasMatch()) return p;
    p.stamp = QDateTime::fromString(m.captured(1), QStringLiteral("yyyyMMdd-HHmmss"));
    p.kind = m.captured(2) == QLatin1String("-before-restore") ? CopyKind::BeforeRestore
             : m.captured(2) == QLatin1String("-before-merge") ? CopyKind::BeforeMerge
                                                               : CopyKind::Backup;
    p.sequence = m.captured(3).isEmpty() ? 1 : m.captured(3).toInt();
    return p;
}

// Orders copies by the moment they stand for, then by their sequence within that second.
bool earlier(const ParsedName& a, const ParsedName& b) {
    return a.stamp != b.stamp ? a.stamp < b.stamp : a.sequence < b.sequence;
}

}  // namespace

bool embeddedEngine() {
    if (databaseFile().isEmpty()) return false;
    // The data source may name a server (read whenever the connection opens).
    if (!datasource::server(connection::definition(kConnection).hiveFile).isEmpty()) return false;
    const QString canon = connection::canonicalName(kConnection);
    if (QSqlDatabase::contains(canon)) {
        const QSqlDatabase db = QSqlDatabase::database(canon, false);
        if (db.isValid() && db.driverName() != QLatin1String("QSQLITE")) return false;
    }
    return true;
}

QString serverMessage() {
    return QStringLiteral(
        "登记册保存在数据库服务器上，请用服务器自己的工具（如 pg_dump）备份和恢复。本程序不做任何操作。");
}

QString databaseFile() { return connection::definition(kConnection).file; }

QString fileNameFor(const QDateTime& when, CopyKind kind, int sequence) {
    const char* what = kind == CopyKind::BeforeRestore ? "-before-restore"
                       : kind == CopyKind::BeforeMerge ? "-before-merge"
                                                       : "";
    return QStringLiteral("MyDB-%1%2%3.db")
        .arg(when.toString(QStringLiteral("yyyyMMdd-HHmmss")), QLatin1String(what),
             sequence > 1 ? QStringLiteral("-%1").arg(sequence) : QString());
}

QDateTime stampOf(const QString& fileName) { return parse(fileName).stamp; }

CopyKind kindOf(const QString& fileName) { return parse(fileName).kind; }

QStringList rotationVictims(const QStringList& fileNames, const QDate& today) {
    QList<std::pair<ParsedName, QString>> backups;  // the backups up to today, oldest first
    QStringList out;
    for (const QString& n : fileNames) {
        const ParsedName p = parse(QFileInfo(n).fileName());
        // Not a copy's name, or dated after today: never removed, no place held.
        if (!p.stamp.isValid() || p.stamp.date() > today) continue;
        if (p.kind != CopyKind::Backup) {
            if (p.stamp.date().daysTo(today) > kKeepBeforeDays) out << n;
            continue;
        }
        backups.append({p, n});
    }
    std::sort(backups.begin(), backups.end(),
              [](const auto& a, const auto& b) { return earlier(a.first, b.first); });
    QMap<QDate, QString> newestOfDay;
    QMap<int, QString> newestOfMonth;  // year * 12 + month - 1
    for (const auto& [p, n] : backups) {
        newestOfDay[p.stamp.date()] = n;
        newestOfMonth[p.stamp.date().year() * 12 + p.stamp.date().month() - 1] = n;
    }
    QSet<QString> keep;
    // Today's backups all stay until tomorrow.
    for (const auto& [p, n] : backups)
        if (p.stamp.date() == today) keep << n;
    int days = 0;
    for (auto it = newestOfDay.cend(); it != newestOfDay.cbegin() && days < 7; ++days) keep << (--it).value();
    const int thisMonth = today.year() * 12 + today.month() - 1;
    for (auto it = newestOfMonth.cbegin(); it != newestOfMonth.cend(); ++it)
        if (it.key() > thisMonth - 12 && it.key() <= thisMonth) keep << it.value();
    for (const auto& [p, n] : backups)
        if (!keep.contains(n)) out << n;
    return out;
}

bool isRegisterCopy(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly) || f.read(16) != QByteArray("SQLite format 3\0", 16)) return false;
    }
    ForeignFile db(path);
    QStringList present;
    if (db.select("select name from sqlite_master where type='table'", QString(),
                  [&](sqlite3_stmt* st) { present << ForeignFile::text(st, 0).toLower(); }) != SQLITE_DONE)
        return false;
    for (const QString& t : schema::tables())
        if (!present.contains(t.toLower())) return false;
    return true;
}

Snapshots::Snapshots(QString file, Clock clock) : m_file(std::move(file)), m_clock(std::move(clock)) {}

QDateTime Snapshots::now() const { return m_clock ? m_clock() : QDateTime::currentDateTime(); }

QString Snapshots::folder() const { return QFileInfo(m_file).absolutePath() + QStringLiteral("/Backup"); }

QString Snapshots::defaultTarget() const { return folder() + u'/' + fileNameFor(now()); }

QString Snapshots::folderRefusal() const {
    if (!QFileInfo(folder()).isSymLink()) return {};
    return QStringLiteral(
               "备份文件夹 %1 是一个符号链接。为保护居民信息，程序不在它指向的文件夹中备份，也不改动那个文件夹。"
               "请把它换成真正的文件夹。")
        .arg(QDir::toNativeSeparators(folder()));
}

QString Snapshots::copyInto(CopyKind kind, const ProgressFn& progress) {
    if (const QString refused = folderRefusal(); !refused.isEmpty())
        throw sqlitefile::FileError(refused, QStringLiteral("backup folder is a symbolic link"));
    if (!sqlitefile::makePrivateFolder(folder()))
        throw sqlitefile::FileError(QStringLiteral("无法建立备份文件夹 %1。").arg(folder()),
                                    QStringLiteral("mkpath failed"));
    const QDateTime when = now();
    // Another copy in the same second (this program's or another's) gets the next number.
    const QString path = sqlitefile::copy(m_file, folder() + u'/' + fileNameFor(when, kind), false, progress,
                                          false, sqlitefile::Use::Kept, [&](int attempt) {
                                              return folder() + u'/' + fileNameFor(when, kind, attempt + 1);
                                          });
    rotate();
    return path;
}

QString Snapshots::backupNow(const ProgressFn& progress, const QString& target, bool replace) {
    if (!QFileInfo(m_file).isFile())
        throw sqlitefile::FileError(QStringLiteral("找不到数据库文件 %1。").arg(m_file),
                                    QStringLiteral("no database file"));
    if (target.isEmpty()) return copyInto(CopyKind::Backup, progress);
    if (QFileInfo(target).absoluteFilePath() == QFileInfo(m_file).absoluteFilePath())
        throw sqlitefile::FileError(QStringLiteral("备份文件不能是登记册本身。"),
                                    QStringLiteral("backup onto itself"));
    const QString path = sqlitefile::copy(m_file, target, false, progress, replace);
    if (QFileInfo(path).absolutePath() == QFileInfo(folder()).absoluteFilePath()) rotate();
    return path;
}

QString Snapshots::keepBefore(CopyKind kind, const ProgressFn& progress) {
    if (!QFileInfo(m_file).isFile())
        throw sqlitefile::FileError(QStringLiteral("找不到数据库文件 %1。").arg(m_file),
                                    QStringLiteral("no database file"));
    return copyInto(kind, progress);
}

void Snapshots::protect(const QString& file) { m_protected << file; }

bool Snapshots::dailyDue() const {
    const QDate today = now().date();
    for (const BackupInfo& b : list())
        if (b.kind == CopyKind::Backup && b.stamp.date() == today) return false;
    return true;
}

QStringList Snapshots::rotate() {
    // Removing through a link would remove files in some other folder.
    if (!folderRefusal().isEmpty()) return {};
    const QStringList names = QDir(folder()).entryList({QStringLiteral("MyDB-*.db")}, QDir::Files);
    QStringList removed;
    for (const QString& n : rotationVictims(names, now().date())) {
        const QString p = folder() + u'/' + n;
        const bool guarded = std::any_of(m_protected.cbegin(), m_protected.cend(),
                                         [&](const QString& f) { return sqlitefile::sameFile(f, p); });
        if (guarded || !isRegisterCopy(p)) continue;
        if (QFile::remove(p)) removed << p;
    }
    return removed;
}

QStringList Snapshots::removeLeftovers() {
    const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
    const QString name = QFileInfo(m_file).fileName();
    QStringList removed;
    auto sweep = [&](const QString& dir, const QStringList& patterns) {
        for (const QFileInfo& f : QDir(dir).entryInfoList(patterns, QDir::Files | QDir::Hidden))
            if (f.lastModified() < hourAgo && QFile::remove(f.absoluteFilePath()))
                removed << f.absoluteFilePath();
    };
    sweep(QFileInfo(m_file).absolutePath(),
          {QStringLiteral(".merge-*.db*"), QStringLiteral(".") + name + QStringLiteral(".restore-*")});
    sweep(folder(), {QStringLiteral(".MyDB-*.db.part-*")});
    return removed;
}

QList<BackupInfo> Snapshots::list(bool count) const {
    QList<std::pair<ParsedName, QFileInfo>> found;
    for (const QFileInfo& f : QDir(folder()).entryInfoList({QStringLiteral("MyDB-*.db")}, QDir::Files)) {
        const ParsedName p = parse(f.fileName());
        if (p.stamp.isValid()) found.append({p, f});
    }
    // Newest first.
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return earlier(b.first, a.first); });
    QList<BackupInfo> out;
    for (const auto& [p, f] : found) {
        BackupInfo b;
        b.stamp = p.stamp;
        b.kind = p.kind;
        b.path = f.absoluteFilePath();
        b.size = f.size();
        if (count) b.questionnaires = questionnaireCount(b.path);
        out << b;
    }
    return out;
}

int questionnaireCount(const QString& file) {
    ForeignFile db(file);
    int n = -1;
    if (db.select("select count(*) from BasicInfo", QString(),
                  [&](sqlite3_stmt* st) { n = sqlite3_column_int(st, 0); }) != SQLITE_DONE)
        return -1;
    return n;
}

}  // namespace backup
