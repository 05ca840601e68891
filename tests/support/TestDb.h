#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "core/questionnaire/Answers.h"

class TDM;

/// A fresh database for one test: a temporary folder holding Data/MyDB.db with the thirteen
/// tables, a registry stand-in that registers "Velmora" for it, and the data module that
/// defines "MyDb". Also offers plain SQL on a separate connection for seeding and checking.
///
/// The engine is the file unless the environment says QUENVALE_TEST_ENGINE=server: then each
/// TestDb is a fresh database on the process's throwaway PostgreSQL cluster, named by the data
/// source's "Server" value (the same cases, run a second time against the server).
class TestDb {
public:
    enum class Engine { File, Server };
    /// The engine this test process runs on (QUENVALE_TEST_ENGINE).
    static Engine engine();
    static bool isServer() { return engine() == Engine::Server; }
    /// False (with the reason) when the server engine is asked for and no server can be started.
    static bool engineAvailable(QString* why = nullptr);

    /// With `createFile` false no database file (or, on the server, no table) is made.
    explicit TestDb(bool createFile = true);
    TestDb(Engine engine, bool createFile = true);
    ~TestDb();

    Engine testEngine() const { return m_engine; }
    /// The server connection string (server engine only).
    QString conninfo() const { return m_conninfo; }

    QString dir() const { return m_dir.path(); }
    QString file() const { return m_file; }
    QString hive() const { return m_hive; }

    /// Plain SQL on a separate connection; QFAIL-style abort via qFatal on error.
    void exec(const QString& sql, const QVariantList& values = {});
    /// Rows of a select, each as a list of texts (NULL as "<null>").
    QList<QStringList> rows(const QString& sql, const QVariantList& values = {});
    int count(const QString& table, const QString& id = QString());
    /// The column that orders a table's rows as they were inserted ("rowid", or "ctid").
    QString insertionOrder() const {
        return m_engine == Engine::Server ? QStringLiteral("ctid") : QStringLiteral("rowid");
    }
    /// Makes every `event` ("INSERT" or "DELETE") on `table` fail, only where `when` holds
    /// (e.g. "NEW.Code = '02'"; empty or "1": always), on either engine, with `message`.
    void failOn(const QString& event, const QString& table, const QString& when = QString(),
                const QString& message = QStringLiteral("injected"));
    /// Lets `table`'s statements run again.
    void clearFailure(const QString& table);
    /// Every table's rows, sorted: two equal dumps mean equal databases.
    QString dump();

private:
    QSqlDatabase raw();
    QTemporaryDir m_dir;
    QString m_file;
    QString m_hive;
    QString m_rawName;
    Engine m_engine = Engine::File;
    QString m_conninfo;
    std::unique_ptr<TDM> m_dm;
};

/// Skips the whole test case when its engine cannot run here (call from initTestCase()).
#define QUENVALE_SKIP_WITHOUT_ENGINE()                                \
    do {                                                              \
        QString why_;                                                 \
        if (!TestDb::engineAvailable(&why_)) QSKIP(qPrintable(why_)); \
    } while (false)
/// Skips one case that is about the file itself.
#define QUENVALE_FILE_ONLY()                                           \
    do {                                                               \
        if (TestDb::isServer()) QSKIP("about the database file only"); \
    } while (false)

/// A complete questionnaire that passes every check.
Answers completeAnswers(const QString& id = QStringLiteral("110101199001011234"));
