#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "questionnaire/Answers.h"

class TDM;

/// A fresh database for one test: a temporary folder holding Data/MyDB.db with the thirteen
/// tables, a registry stand-in that registers "Velmora" for it, and the data module that
/// defines "MyDb". Also offers plain SQL on a separate connection for seeding and checking.
class TestDb {
public:
    /// With `createFile` false no database file is made (for damaged-file tests).
    explicit TestDb(bool createFile = true);
    ~TestDb();

    QString dir() const { return m_dir.path(); }
    QString file() const { return m_file; }
    QString hive() const { return m_hive; }

    /// Plain SQL on a separate connection; QFAIL-style abort via qFatal on error.
    void exec(const QString& sql, const QVariantList& values = {});
    /// Rows of a select, each as a list of texts (NULL as "<null>").
    QList<QStringList> rows(const QString& sql, const QVariantList& values = {});
    int count(const QString& table, const QString& id = QString());
    /// Every table's rows, sorted: two equal dumps mean equal databases.
    QString dump();

private:
    QSqlDatabase raw();
    QTemporaryDir m_dir;
    QString m_file;
    QString m_hive;
    QString m_rawName;
    std::unique_ptr<TDM> m_dm;
};

/// A complete questionnaire that passes every check.
Answers completeAnswers(const QString& id = QStringLiteral("110101199001011234"));
