// Several clerks on one server at once: 8 clerk processes store, edit and delete questionnaires
// in the same database; afterwards every questionnaire is whole, no number is stored twice, and
// what each clerk was told matches what the database holds. Statistics taken meanwhile all
// come from one snapshot. Runs against the throwaway PostgreSQL 15 server; skips without it.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QSet>
#include <QThread>
#include <QtTest>

#include "PgCluster.h"
#include "TestDb.h"
#include "core/store/DataModule.h"
#include "core/store/Encoding.h"
#include "core/store/Schema.h"
#include "core/store/SqlQuery.h"
#include "core/store/Statements.h"
#include "core/store/SurveyStore.h"
#include "gui/forms/RecordForms.h"
#include "gui/stats/TFrm_Total.h"
#include "gui/ui/ScriptedPrompt.h"

using namespace catalogue;

namespace {

constexpr int kClerks = 8;
constexpr int kPerClerk = 250;

// Clerk c's i-th number: one in ten is shared with the clerk of the same pair.
QString numberOf(int clerk, int i) {
    if (i % 10 == 0) return QStringLiteral("9%1%2").arg(clerk / 2).arg(i, 4, 10, QLatin1Char('0'));
    return QStringLiteral("1%1%2").arg(clerk).arg(i, 4, 10, QLatin1Char('0'));
}

// What clerk c stores (edit false) or saves on edit (edit true): every group has the box of
// its own, so a questionnaire made of two clerks' rows is told apart from a whole one.
Answers versionOf(const QString& id, int clerk, bool edit) {
    Answers a;
    a.id = id;
    a.name = QStringLiteral("%1%2").arg(edit ? QStringLiteral("改") : QStringLiteral("录")).arg(clerk);
    a.address = QStringLiteral("幸福路%1号").arg(clerk);
    a.workUnit = QStringLiteral("社区");
    a.phone = QStringLiteral("138%1").arg(clerk);
    const int k = clerk * 2 + (edit ? 1 : 0);
    for (const Group& g : groups()) {
        auto& ga = a[g.id];
        const int n = g.ordinaryCount();
        ga.ticked[(g.id == Flag ? clerk : k) % n] = true;
    }
    // Exactly one specialty each: the statistics check below counts on it.
    return a;
}

// ---- the clerk process ----

int runClerk() {
    const int clerk = qEnvironmentVariableIntValue("QUENVALE_CLERK");
    TDM dm(nullptr, qEnvironmentVariable("QUENVALE_CLERK_HIVE"), qEnvironmentVariable("QUENVALE_CLERK_FILE"));
    QFile out(qEnvironmentVariable("QUENVALE_CLERK_OUT"));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Text)) return 3;
    SqlQuery q(QStringLiteral("MyDb"));
    SurveyStore store(q);
    auto say = [&](const QString& line) { out.write((line + u'\n').toUtf8()); };
    QStringList shared;
    for (int i = 0; i < kPerClerk; ++i) {
        const QString id = numberOf(clerk, i);
        if (i % 10 == 0) shared << id;
        try {
            store.store(versionOf(id, clerk, false));
            say(QStringLiteral("store %1 ok").arg(id));
        } catch (const StoreFailure& f) {
            say(QStringLiteral("store %1 %2").arg(id, recordforms::storeFailureMessage(f.table)));
        }
    }
    // Every clerk stores before any edits or deletes: a shared number deleted by one clerk
    // before its partner reached it would rightly be stored twice.
    const QFileInfo outInfo(out.fileName());
    QFile(outInfo.absolutePath() + QStringLiteral("/stored-%1").arg(clerk)).open(QIODevice::WriteOnly);
    QElapsedTimer waited;
    waited.start();
    while (QDir(outInfo.absolutePath()).entryList({QStringLiteral("stored-*")}, QDir::Files).size() < kClerks) {
        if (waited.elapsed() > 600000) return 4;
        QThread::msleep(20);
    }
    // Edits of the shared numbers, as the Edit form saves them, and deletes of every other one
    // by the odd clerk of each pair.
    for (int k = 0; k < shared.size(); ++k) {
        const QString& id = shared[k];
        const LookupResult loaded = store.read(id);
        if (loaded.status == LookupResult::Complete) {
            try {
                const auto g = store.replace(versionOf(id, clerk, true), loaded.answers);
                say(QStringLiteral("edit %1 %2")
                        .arg(id, g == SurveyStore::Guard::Replaced           ? QStringLiteral("replaced")
                                 : g == SurveyStore::Guard::ChangedMeanwhile ? QStringLiteral("changed")
                                                                             : QStringLiteral("deleted")));
            } catch (const StoreFailure&) {
                say(QStringLiteral("edit %1 failed").arg(id));
            }
        }
        if (clerk % 2 == 1 && k % 2 == 0) {
            try {
                store.remove(id);
                say(QStringLiteral("delete %1 ok").arg(id));
            } catch (const StoreFailure&) {
                say(QStringLiteral("delete %1 failed").arg(id));
            }
        }
    }
    return 0;
}

}  // namespace

class TstClerks : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (!PgCluster::shared()) QSKIP(qPrintable("no PostgreSQL 15 server: " + PgCluster::sharedWhy()));
    }

    void eightClerksAtOnce() {
        TestDb db(TestDb::Engine::Server);
        QTemporaryDir outDir;
        QList<QProcess*> clerks;
        QElapsedTimer clock;
        clock.start();
        for (int c = 0; c < kClerks; ++c) {
            auto* p = new QProcess(this);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("QUENVALE_CLERK", QString::number(c));
            env.insert("QUENVALE_CLERK_HIVE", db.hive());
            env.insert("QUENVALE_CLERK_FILE", db.file());
            env.insert("QUENVALE_CLERK_OUT", outDir.filePath(QString::number(c)));
            p->setProcessEnvironment(env);
            p->setProcessChannelMode(QProcess::ForwardedChannels);
            p->start(QCoreApplication::applicationFilePath(), {});
            clerks << p;
        }
        // Statistics taken while the clerks store: one snapshot, so every questionnaire's one
        // specialty and one flag add up to the same number.
        ScriptedPrompt prompt;
        int snapshots = 0, unequal = 0;
        while (std::any_of(clerks.begin(), clerks.end(),
                           [](QProcess* p) { return p->state() != QProcess::NotRunning; })) {
            TFrm_Total form;
            qint64 special = 0, flags = 0;
            for (QLineEdit* e : form.findChildren<QLineEdit*>()) {
                if (e->objectName().startsWith("Edt_Special")) special += e->text().toLongLong();
                if (e->objectName().startsWith("Edt_Flag")) flags += e->text().toLongLong();
            }
            ++snapshots;
            if (special != flags) ++unequal;
            QTest::qWait(20);
        }
        const double seconds = clock.elapsed() / 1000.0;
        for (QProcess* p : clerks) {
            if (p->state() != QProcess::NotRunning) QVERIFY(p->waitForFinished(600000));
            QCOMPARE(p->exitStatus(), QProcess::NormalExit);
            QCOMPARE(p->exitCode(), 0);
        }
        QCOMPARE(unequal, 0);

        // What each clerk was told.
        QHash<QString, QStringList> stored;  // number -> clerks told "stored"
        QHash<QString, int> duplicates;
        QSet<QString> deleted;
        QHash<QString, int> versionClerk;  // number -> clerk whose version may stand
        int edits[3] = {0, 0, 0};
        int dupTotal = 0, storesOk = 0;
        for (int c = 0; c < kClerks; ++c) {
            QFile f(outDir.filePath(QString::number(c)));
            QVERIFY(f.open(QIODevice::ReadOnly | QIODevice::Text));
            for (const QString& line : QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
                const QStringList w = line.split(u' ');
                if (w[0] == "store" && w[2] == "ok") {
                    stored[w[1]] << QString::number(c);
                    ++storesOk;
                } else if (w[0] == "store") {
                    QCOMPARE(w[2], QStringLiteral("新增失败！,请检查身份证号码！"));
                    ++duplicates[w[1]];
                    ++dupTotal;
                } else if (w[0] == "edit") {
                    QVERIFY2(w[2] != "failed", qPrintable(line));
                    edits[w[2] == "replaced" ? 0 : w[2] == "changed" ? 1 : 2]++;
                } else if (w[0] == "delete") {
                    QCOMPARE(w[2], QStringLiteral("ok"));
                    deleted << w[1];
                }
            }
        }
        // Every number was stored by exactly one clerk; every other one got the duplicate message.
        QSet<QString> all;
        for (int c = 0; c < kClerks; ++c)
            for (int i = 0; i < kPerClerk; ++i) all << numberOf(c, i);
        for (const QString& id : all) {
            QVERIFY2(stored.value(id).size() == 1, qPrintable(id));
            const int tries = id.startsWith(u'9') ? 2 : 1;
            QCOMPARE(duplicates.value(id), tries - 1);
        }

        // The database: no number twice, no row without its questionnaire, each whole.
        QCOMPARE(db.rows("select count(*), count(distinct ID) from BasicInfo").value(0),
                 (QStringList{QString::number(all.size() - deleted.size()),
                              QString::number(all.size() - deleted.size())}));
        for (const QString& t : schema::tables().mid(1))
            QCOMPARE(
                db.rows(QString("select count(*) from %1 where ID not in (select ID from BasicInfo)").arg(t))
                    .value(0)
                    .value(0),
                QStringLiteral("0"));
        SqlQuery q("MyDb");
        SurveyStore store(q);
        int whole = 0;
        for (const QString& id : all) {
            const LookupResult r = store.read(id);
            if (deleted.contains(id)) {
                QCOMPARE(int(r.status), int(LookupResult::NotFound));
                continue;
            }
            QCOMPARE(int(r.status), int(LookupResult::Complete));
            bool matches = false;
            for (int c = 0; c < kClerks && !matches; ++c)
                matches = r.answers == versionOf(id, c, false) || r.answers == versionOf(id, c, true);
            QVERIFY2(matches, qPrintable("not one clerk's whole questionnaire: " + id));
            // Unshared numbers were never edited: the storing clerk's version.
            if (!id.startsWith(u'9')) QVERIFY(r.answers == versionOf(id, stored[id].first().toInt(), false));
            ++whole;
        }
        qInfo(
            "%d clerks x %d questionnaires in %.1f s: %d stored (%.0f per second), %d duplicates refused, "
            "%d edits saved, %d refused as changed meanwhile, %d as deleted meanwhile, %d deleted; "
            "%d questionnaires whole; %d statistics snapshots taken meanwhile, all consistent",
            kClerks, kPerClerk, seconds, storesOk, storesOk / seconds, dupTotal, edits[0], edits[1], edits[2],
            int(deleted.size()), whole, snapshots);
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet("QUENVALE_CLERK")) {
        QCoreApplication app(argc, argv);
        return runClerk();
    }
    QApplication app(argc, argv);
    TstClerks t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_clerks.moc"
