#pragma once

// What the command line's tests share: running quenvale-cli as a user does, and registers to
// run it on.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>
#include <QtTest>

#include "TestDb.h"
#include "core/store/Connection.h"
#include "core/store/Schema.h"
#include "core/store/SqlQuery.h"
#include "core/store/SurveyStore.h"

namespace clirun {

/// What one run of a program left: its exit status (-1: it crashed or hung), stdout, stderr.
struct Run {
    int exitCode = -1;
    QString out, err;
    /// The lines on stderr.
    QStringList errLines() const { return err.split(u'\n', Qt::SkipEmptyParts); }
};

/// Runs `program` with `args` in `env` (stdin a closed pipe: no terminal).
inline Run run(const QString& program, const QStringList& args, const QProcessEnvironment& env) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    p.closeWriteChannel();
    Run r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

/// The environment of a user whose home is `home`, as cron gives it: nothing of the test's own,
/// no display, no runtime folder.
inline QProcessEnvironment userEnvironment(const QString& home) {
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    return env;
}

/// A register file holding `count` questionnaires.
inline void fill(const QString& file, int count) {
    QVERIFY(schema::ensureDatabaseFile(file));
    connection::define({QStringLiteral("Fill"), QStringLiteral("Fill"), false, {}, {}, file});
    {
        SqlQuery q(QStringLiteral("Fill"));
        SurveyStore s(q);
        for (int n = 0; n < count; ++n)
            s.store(completeAnswers(QStringLiteral("1101011990%1").arg(n, 8, 10, QChar('0'))));
    }
    connection::closeAll();
}

/// Questionnaires in a register file, read without writing; -1 when it cannot be read.
inline int questionnaires(const QString& file) {
    const QString name = QStringLiteral("count-") + QUuid::createUuid().toString(QUuid::Id128);
    int n = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("select count(*) from BasicInfo")) && q.next()) n = q.value(0).toInt();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return n;
}

}  // namespace clirun
