#include "Schema.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUuid>

#include "questionnaire/Catalogue.h"

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

QStringList createStatements() {
    QStringList out;
    // Every column is TEXT so that codes such as "01" stay text.
    out << QStringLiteral(
        "CREATE TABLE BasicInfo (ID VARCHAR(18) NOT NULL PRIMARY KEY, name TEXT, Address TEXT, WorkUnit "
        "TEXT, "
        "Phone TEXT, age TEXT, level TEXT, political TEXT, duty TEXT, Position TEXT, Flag TEXT)");
    for (const QString& t : tables().mid(1)) {
        out << QStringLiteral("CREATE TABLE %1 (ID VARCHAR(18) NOT NULL, Code VARCHAR(2), Name TEXT)").arg(t);
        out << QStringLiteral("CREATE INDEX IX_%1_ID ON %1 (ID)").arg(t);
    }
    return out;
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
    q.exec(QStringLiteral("PRAGMA synchronous=FULL"));
    return true;
}

}  // namespace

bool openExisting(const QString& connectionName, const QString& path, QString* error) {
    if (!QFileInfo(path).isFile()) {
        if (error) *error = QStringLiteral("no database file at %1").arg(path);
        return false;
    }
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
            ok = q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) && db.transaction();
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
    QFile::remove(tmp + QStringLiteral("-wal"));
    QFile::remove(tmp + QStringLiteral("-shm"));
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
