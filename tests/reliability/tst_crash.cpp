// Kill a writer at random moments: the file stays sound, every acknowledged questionnaire is
// complete, and no questionnaire is ever stored in part.
#include <QtTest>
#include <csignal>
#include <random>

#include "TestDb.h"
#include "core/store/Connection.h"
#include "core/store/Encoding.h"
#include "core/store/SqlQuery.h"
#include "core/store/Statements.h"
#include "core/store/SurveyStore.h"

using namespace catalogue;

namespace {

const char* const kChildEnv = "QUENVALE_CRASH_CHILD_FILE";

// Two versions of questionnaire `id`, different in every table.
Answers version(const QString& id, int v) {
    Answers a = completeAnswers(id);
    const uint seed = qHash(id) + uint(v) * 7919u;
    a.name = QStringLiteral("版本%1").arg(v);
    for (GroupId g : answerTables()) {
        auto& t = a[g].ticked;
        t.fill(false);
        for (int b = 0; b < t.size(); ++b) t[b] = ((seed >> (b % 16)) ^ uint(g) ^ uint(b * v)) & 1;
        t[(seed + uint(g)) % t.size()] = true;
        if (group(g).hasOther() && t.last()) a[g].otherText = QStringLiteral("其它%1").arg(v);
    }
    return a;
}

// The rows a questionnaire must have, per table, as sorted text.
QStringList expectedRows(const Answers& a) {
    const auto rows = encoding::encode(a);
    QStringList out{QStringLiteral("BasicInfo|") + rows.basic.join(u'|')};
    for (const auto& r : rows.rows)
        out << statements::tableName(statements::tableOf(r.table)) + u'|' + trimmedText(a.id) + u'|' +
                   r.code + u'|' + (r.isOther() ? r.name : QStringLiteral("<null>"));
    out.sort();
    return out;
}

int childMain(const QString& file, const QString& prefix) {
    connection::Definition def{QStringLiteral("MyDb"), QStringLiteral("Velmora"), false, {}, {}, file};
    connection::define(def);
    SqlQuery q(QStringLiteral("MyDb"));
    SurveyStore store(q);
    QTextStream out(stdout);
    for (int i = 0;; ++i) {
        const QString id = prefix + QString::number(i);
        store.store(version(id, 0));
        out << "S " << id << Qt::endl;
        store.replace(version(id, 1));
        out << "R " << id << Qt::endl;
    }
}

}  // namespace

class TstCrash : public QObject {
    Q_OBJECT
private slots:
    void killedWriterLosesNothing() {
        TestDb db;
        std::mt19937 rng(20261207);
        std::uniform_int_distribution<int> delay(5, 80);
        QHash<QString, int> acknowledged;  // id → version acknowledged
        int kills = 0, stored = 0;
        const int rounds = qEnvironmentVariableIntValue("QUENVALE_CRASH_ROUNDS") > 0
                               ? qEnvironmentVariableIntValue("QUENVALE_CRASH_ROUNDS")
                               : 200;
        for (int round = 0; round < rounds; ++round) {
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(kChildEnv, db.file());
            env.insert("QUENVALE_CRASH_PREFIX", QStringLiteral("K%1-").arg(round));
            child.setProcessEnvironment(env);
            child.start(QCoreApplication::applicationFilePath(), {});
            QVERIFY(child.waitForStarted());
            QTest::qWait(delay(rng));
            // A writer that died by itself has no process to signal, and kill() with a pid of 0
            // would signal this test's whole process group: only ever signal a live child.
            const qint64 pid = child.processId();
            QVERIFY2(pid > 0 && child.state() == QProcess::Running,
                     qPrintable(QStringLiteral("the writer died by itself before it was killed: %1")
                                    .arg(QString::fromLocal8Bit(child.readAllStandardError()))));
            ::kill(pid_t(pid), SIGKILL);
            QVERIFY(child.waitForFinished(5000));
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
            ++kills;
            for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
                if (line.size() < 3) continue;
                const QString id = QString::fromUtf8(line.mid(2));
                acknowledged[id] = line[0] == 'R' ? 1 : 0;
                ++stored;
            }
            QCOMPARE(db.rows("PRAGMA integrity_check").value(0).value(0), QString("ok"));
        }
        // Every questionnaire present is one whole version; acknowledged ones are the acknowledged version.
        QHash<QString, QStringList> present;
        for (const QString& t : schema_tables()) {
            const QString sql = t == "BasicInfo"
                                    ? "select * from BasicInfo"
                                    : QString("select ID, Code, coalesce(Name,'<null>') from %1").arg(t);
            for (const QStringList& r : db.rows(sql)) present[r[0]] << t + u'|' + r.join(u'|');
        }
        int partial = 0;
        for (auto it = present.begin(); it != present.end(); ++it) {
            it->sort();
            const bool v0 = *it == expectedRows(version(it.key(), 0));
            const bool v1 = *it == expectedRows(version(it.key(), 1));
            if (!v0 && !v1) ++partial;
            if (acknowledged.contains(it.key()))
                QVERIFY2(acknowledged[it.key()] == 1 ? v1 : (v0 || v1), qPrintable(it.key()));
        }
        QCOMPARE(partial, 0);
        for (auto it = acknowledged.cbegin(); it != acknowledged.cend(); ++it)
            QVERIFY2(present.contains(it.key()), qPrintable("acknowledged but missing: " + it.key()));
        qInfo(
            "crash consistency: %d kills, %d acknowledged commits, %d questionnaires on file, 0 partial, "
            "integrity ok after every kill",
            kills, stored, int(present.size()));
    }

private:
    static QStringList schema_tables() {
        QStringList t{"BasicInfo"};
        for (int i = 1; i < statements::kTableCount; ++i) t << statements::tableName(i);
        return t;
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet(kChildEnv)) {
        QCoreApplication app(argc, argv);
        return childMain(qEnvironmentVariable(kChildEnv), qEnvironmentVariable("QUENVALE_CRASH_PREFIX"));
    }
    QCoreApplication app(argc, argv);
    TstCrash t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_crash.moc"
