#include "Snapshots.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>

#include "store/Connection.h"
#include "store/DataSource.h"

namespace backup {

namespace {
const QString kConnection = QStringLiteral("MyDb");
const QRegularExpression& namePattern() {
    static const QRegularExpression re(QStringLiteral("^MyDB-(\\d{8}-\\d{6})\\.db$"));
    return re;
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

QString fileNameFor(const QDateTime& when) {
    return QStringLiteral("MyDB-%1.db").arg(when.toString(QStringLiteral("yyyyMMdd-HHmmss")));
}

QDateTime stampOf(const QString& fileName) {
    const auto m = namePattern().match(fileName);
    if (!m.hasMatch()) return {};
    return QDateTime::fromString(m.captured(1), QStringLiteral("yyyyMMdd-HHmmss"));
}

QStringList rotationVictims(const QStringList& fileNames, const QDate& today) {
    QMap<QDateTime, QString> byStamp;  // ascending
    for (const QString& n : fileNames) {
        const QDateTime t = stampOf(QFileInfo(n).fileName());
        if (t.isValid()) byStamp.insert(t, n);
    }
    QMap<QDate, QString> newestOfDay;
    QMap<int, QString> newestOfMonth;  // year * 12 + month - 1
    for (auto it = byStamp.cbegin(); it != byStamp.cend(); ++it) {
        newestOfDay[it.key().date()] = it.value();
        newestOfMonth[it.key().date().year() * 12 + it.key().date().month() - 1] = it.value();
    }
    QSet<QString> keep;
    // Today's copies all stay (the one before a restore or a merge among them) until tomorrow.
    for (auto it = byStamp.cbegin(); it != byStamp.cend(); ++it)
        if (it.key().date() >= today) keep << it.value();
    int days = 0;
    for (auto it = newestOfDay.cend(); it != newestOfDay.cbegin() && days < 7; ++days) keep << (--it).value();
    const int thisMonth = today.year() * 12 + today.month() - 1;
    for (auto it = newestOfMonth.cbegin(); it != newestOfMonth.cend(); ++it)
        if (it.key() > thisMonth - 12 && it.key() <= thisMonth) keep << it.value();
    QStringList out;
    for (const QString& n : std::as_const(byStamp))
        if (!keep.contains(n)) out << n;
    return out;
}

Snapshots::Snapshots(QString file, Clock clock) : m_file(std::move(file)), m_clock(std::move(clock)) {}

QDateTime Snapshots::now() const { return m_clock ? m_clock() : QDateTime::currentDateTime(); }

QString Snapshots::folder() const { return QFileInfo(m_file).absolutePath() + QStringLiteral("/Backup"); }

QString Snapshots::defaultTarget() const { return folder() + u'/' + fileNameFor(now()); }

QString Snapshots::backupNow(const sqlitefile::ProgressFn& progress, const QString& target, bool replace) {
    if (!QFileInfo(m_file).isFile())
        throw sqlitefile::FileError(QStringLiteral("找不到数据库文件 %1。").arg(m_file),
                                    QStringLiteral("no database file"));
    QString path = target;
    if (path.isEmpty()) {
        if (!sqlitefile::makePrivateFolder(folder()))
            throw sqlitefile::FileError(QStringLiteral("无法建立备份文件夹 %1。").arg(folder()),
                                        QStringLiteral("mkpath failed"));
        path = defaultTarget();
        // Two backups within one second: the later one waits for a name of its own.
        for (int i = 1; QFileInfo::exists(path) && i < 24 * 3600; ++i)
            path = folder() + u'/' + fileNameFor(now().addSecs(i));
    }
    if (QFileInfo(path).absoluteFilePath() == QFileInfo(m_file).absoluteFilePath())
        throw sqlitefile::FileError(QStringLiteral("备份文件不能是登记册本身。"),
                                    QStringLiteral("backup onto itself"));
    sqlitefile::copy(m_file, path, false, progress, replace);
    if (QFileInfo(path).absolutePath() == QFileInfo(folder()).absoluteFilePath()) rotate();
    return path;
}

bool Snapshots::dailyDue() const {
    const QDate today = now().date();
    for (const BackupInfo& b : list())
        if (b.stamp.date() == today) return false;
    return true;
}

QStringList Snapshots::rotate() {
    const QStringList names = QDir(folder()).entryList({QStringLiteral("MyDB-*.db")}, QDir::Files);
    QStringList removed;
    for (const QString& n : rotationVictims(names, now().date())) {
        const QString p = folder() + u'/' + n;
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
    QList<BackupInfo> out;
    const QFileInfoList files =
        QDir(folder()).entryInfoList({QStringLiteral("MyDB-*.db")}, QDir::Files, QDir::Name | QDir::Reversed);
    for (const QFileInfo& f : files) {
        BackupInfo b;
        b.stamp = stampOf(f.fileName());
        if (!b.stamp.isValid()) continue;
        b.path = f.absoluteFilePath();
        b.size = f.size();
        if (count) b.questionnaires = questionnaireCount(b.path);
        out << b;
    }
    return out;
}

int questionnaireCount(const QString& file) {
    sqlite3* db = nullptr;
    int n = -1;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "select count(*) from BasicInfo", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            n = sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close_v2(db);
    return n;
}

}  // namespace backup
