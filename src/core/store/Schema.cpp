#include "Schema.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUuid>

#include "core/questionnaire/Catalogue.h"
#include "core/store/DataLocation.h"

namespace schema {

QStringList tables() {
    QStringList out{QStringLiteral("BasicInfo")};
    for (auto g : catalogue::answerTables()) out << catalogue::qs(catalogue::group(g).storage);
    return out;
}

QStringList columns(const QString& table) {
    if (table.compare(QLatin1String("BasicInfo"), Qt::CaseInsensitive) == 0)
        return {"ID",    "name",      "Address", "WorkUnit", "Phone", "age",
                "level", "political", "duty",    "Position", "Flag"};
    return {"ID", "Code", "Name"};
}

QStringList createStatements() { return tableStatements() + indexStatements(); }

QStringList tableStatements() {
    QStringList out;
    // Every column is TEXT so that codes such as "01" stay text.
    out << QStringLiteral(
        "CREATE TABLE BasicInfo (ID VARCHAR(18) NOT NULL PRIMARY KEY, name TEXT, Address TEXT, WorkUnit "
        "TEXT, "
        "Phone TEXT, age TEXT, level TEXT, political TEXT, duty TEXT, Position TEXT, Flag TEXT)");
    for (const QString& t : tables().mid(1))
        out << QStringLiteral("CREATE TABLE %1 (ID VARCHAR(18) NOT NULL, Code VARCHAR(2), Name TEXT)").arg(t);
    return out;
}

QStringList indexStatements() {
    // ID for finding a questionnaire; Code and Flag so that the statistics count from an index
    // instead of reading every answer row.
    QStringList out;
    for (const QString& t : tables().mid(1)) {
        out << QStringLiteral("CREATE INDEX IF NOT EXISTS IX_%1_ID ON %1 (ID)").arg(t);
        out << QStringLiteral("CREATE INDEX IF NOT EXISTS IX_%1_Code ON %1 (Code)").arg(t);
    }
    out << QStringLiteral("CREATE INDEX IF NOT EXISTS IX_BasicInfo_Flag ON BasicInfo (Flag)");
    return out;
}

QStringList countAttachedStatements() {
    QStringList out;
    for (const QString& t : tables()) out << QStringLiteral("SELECT count(*) FROM other.\"%1\" NOT INDEXED").arg(t);
    return out;
}

QStringList copyAttachedStatements() {
    QStringList out;
    for (const QString& t : tables()) {
        QStringList names, values;
        for (const QString& c : columns(t)) {
            names << u'"' + c + u'"';
            values << QStringLiteral("astext(\"%1\")").arg(c);
        }
        out << QStringLiteral("INSERT OR IGNORE INTO main.\"%1\" (%2) SELECT %3 FROM other.\"%1\" NOT INDEXED")
                   .arg(t, names.join(u','), values.join(u','));
    }
    return out;
}

bool ensureIndexes(QSqlDatabase& db, QString* error) {
    // Only a database that holds the thirteen tables is touched; anything else stays as it is.
    QStringList present = db.tables();
    for (QString& t : present) t = t.toLower();
    for (const QString& t : tables())
        if (!present.contains(t.toLower())) return true;
    QStringList existing;
    QSqlQuery q(db);
    if (db.driverName() == QLatin1String("QSQLITE") &&
        q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='index'")))
        while (q.next()) existing << q.value(0).toString().toLower();
    QStringList missing;
    for (const QString& sql : indexStatements())
        if (!existing.contains(sql.section(u' ', 5, 5).toLower())) missing << sql;
    if (missing.isEmpty()) return true;
    bool ok = db.transaction();
    for (const QString& sql : missing) {
        if (!ok) break;
        ok = q.exec(sql);
    }
    if (ok) ok = db.commit();
    if (!ok) {
        if (error) *error = q.lastError().isValid() ? q.lastError().text() : db.lastError().text();
        db.rollback();
    }
    return ok;
}

namespace {

QString uriFor(const QString& path, const char* mode) {
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded) +
           QStringLiteral("?mode=") + QLatin1String(mode);
}

bool configure(QSqlDatabase& db, const QString& path, const char* mode, QString* error) {
    db.setDatabaseName(uriFor(path, mode));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!db.open()) {
        if (error) *error = db.lastError().text();
        return false;
    }
    QSqlQuery q(db);
    // A rollback journal, not a write-ahead log: the file alone holds every committed
    // questionnaire (a copy taken while the program runs is complete), a stray log of another
    // file is never applied to it, and SQLite refuses to write to a file that was moved or
    // deleted. A file still in WAL mode has its log folded in and is switched here.
    q.exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
    q.exec(QStringLiteral("PRAGMA synchronous=FULL"));
    return true;
}

// SQLite applies a -wal file lying beside a database whatever the database's own header says.
// The register's files use the rollback journal, so a log beside a file whose header says
// "rollback journal" (bytes 18 and 19 are 1) belongs to some other database: it is moved aside
// under a name of its own, never applied and never deleted. A file still in WAL mode (an earlier
// version's) keeps its log, which is folded in when the journal mode is switched.
void setAsideStrayLog(const QString& path) {
    const QString log = path + QStringLiteral("-wal");
    if (!QFileInfo::exists(log)) return;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return;
    const QByteArray header = f.read(100);
    if (header.size() < 100 || !header.startsWith("SQLite format 3") || header[18] != 1 || header[19] != 1)
        return;
    const QString aside = log + QStringLiteral(".stray-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (QFile::rename(log, aside)) {
        QFile::rename(path + QStringLiteral("-shm"), aside + QStringLiteral("-shm"));
        qWarning("quenvale: moved the write-ahead log of another database aside: %s", qPrintable(aside));
    }
}

}  // namespace

bool openExisting(const QString& connectionName, const QString& path, QString* error) {
    if (const QString refused = DataLocation::refusal(path); !refused.isEmpty()) {
        if (error) *error = refused;
        return false;
    }
    if (!QFileInfo(path).isFile()) {
        if (error) *error = QStringLiteral("no database file at %1").arg(path);
        return false;
    }
    setAsideStrayLog(path);
    QSqlDatabase db = QSqlDatabase::contains(connectionName)
                          ? QSqlDatabase::database(connectionName, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    return configure(db, path, "rw", error);
}

bool ensureDatabaseFile(const QString& path, QString* error) {
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink()) return true;
    const QString tmp = info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                        QStringLiteral(".new-") + QUuid::createUuid().toString(QUuid::Id128);
    {
        // Created empty with owner-only rights before SQLite fills it.
        QFile f(tmp);
        if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (error) *error = f.errorString();
            return false;
        }
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    const QString name = QStringLiteral("quenvale-create-") + QUuid::createUuid().toString(QUuid::Id128);
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        ok = configure(db, tmp, "rw", error);
        if (ok) {
            QSqlQuery q(db);
            ok = db.transaction();
            for (const QString& sql : createStatements()) {
                if (!ok) break;
                ok = q.exec(sql);
            }
            if (ok) ok = db.commit();
            if (!ok && error) *error = q.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    QFile::remove(tmp + QStringLiteral("-journal"));
    // Put in place without replacing a file that appeared meanwhile (link fails then), and
    // make the new name durable before anything is stored in it.
    if (ok) {
        const QByteArray from = QFile::encodeName(tmp), to = QFile::encodeName(path);
        ok = ::link(from.constData(), to.constData()) == 0;
        if (!ok && error) *error = QStringLiteral("cannot create %1").arg(path);
        if (ok) {
            const int dirFd =
                ::open(QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
            if (dirFd >= 0) {
                ::fsync(dirFd);
                ::close(dirFd);
            }
        }
    }
    QFile::remove(tmp);
    return ok;
}

}  // namespace schema
