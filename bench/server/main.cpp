// quenvale-bench-server: the register on a PostgreSQL server with 1, 4 and 16 clerks at once.
// Each clerk is its own process with its own connection, as on the office's PCs. The program
// (SurveyStore on the connection MyDb through Qt's QPSQL driver) is timed against a floor: the
// same statements through libpq alone, prepared once, one transaction per questionnaire.
//
//   quenvale-bench-server [--per N] [--levels 1,4,16] [--conninfo STR]
//
// Without --conninfo a throwaway cluster is started (fsync on, as a real server runs).
#include <libpq-fe.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

#include "Generator.h"
#include "PgCluster.h"
#include "core/store/DataModule.h"
#include "core/store/DataSource.h"
#include "core/store/DataSourceRegistration.h"
#include "core/store/Encoding.h"
#include "core/store/Registry.h"
#include "core/store/SqlQuery.h"
#include "core/store/Statements.h"
#include "core/store/SurveyStore.h"

namespace {

QString idOf(int clerk, int i) { return gen::idFor(std::int64_t(clerk) * 100000 + i); }

// ---- the floor: libpq alone ----

QByteArray dollars(const QString& sql) {
    QString out;
    int n = 0;
    for (QChar c : sql) out += c == u'?' ? QStringLiteral("$%1").arg(++n) : QString(c);
    return out.toUtf8();
}

class Floor {
public:
    explicit Floor(const QByteArray& conninfo) : m_c(PQconnectdb(conninfo.constData())) {
        if (PQstatus(m_c) != CONNECTION_OK) qFatal("floor: %s", PQerrorMessage(m_c));
        prepare("b", statements::insertBasic());
        for (int t = 0; t < statements::kTableCount; ++t) {
            prepare("s" + QByteArray::number(t), statements::select(t));
            prepare("d" + QByteArray::number(t), statements::remove(t));
            if (t == 0) continue;
            prepare("i" + QByteArray::number(t), statements::insertAnswer(t, false));
            if (catalogue::group(statements::groupOf(t)).hasOther())
                prepare("o" + QByteArray::number(t), statements::insertAnswer(t, true));
        }
    }
    ~Floor() { PQfinish(m_c); }

    void store(const Answers& a) {
        command("BEGIN");
        insert(a);
        command("COMMIT");
    }
    void replace(const Answers& a) {
        command("BEGIN");
        const QByteArray id = a.id.toUtf8();
        for (int t = 0; t < statements::kTableCount; ++t) run("d" + QByteArray::number(t), {id});
        insert(a);
        command("COMMIT");
    }
    int lookup(const QString& id) {
        const QByteArray key = id.toUtf8();
        int values = 0;
        for (int t = 0; t < statements::kTableCount; ++t) {
            PGresult* r = exec("s" + QByteArray::number(t), {key});
            for (int row = 0; row < PQntuples(r); ++row)
                for (int col = 0; col < PQnfields(r); ++col)
                    values += QString::fromUtf8(PQgetvalue(r, row, col)).size();
            PQclear(r);
        }
        return values;
    }

private:
    void prepare(const QByteArray& name, const QString& sql) {
        PGresult* r = PQprepare(m_c, name.constData(), dollars(sql).constData(), 0, nullptr);
        if (PQresultStatus(r) != PGRES_COMMAND_OK)
            qFatal("prepare %s: %s", name.constData(), PQerrorMessage(m_c));
        PQclear(r);
    }
    void command(const char* sql) { PQclear(PQexec(m_c, sql)); }
    PGresult* exec(const QByteArray& name, const QList<QByteArray>& values) {
        std::vector<const char*> p;
        for (const QByteArray& v : values) p.push_back(v.constData());
        PGresult* r = PQexecPrepared(m_c, name.constData(), int(p.size()), p.data(), nullptr, nullptr, 0);
        const auto s = PQresultStatus(r);
        if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK)
            qFatal("%s: %s", name.constData(), PQerrorMessage(m_c));
        return r;
    }
    void run(const QByteArray& name, const QList<QByteArray>& values) { PQclear(exec(name, values)); }
    void insert(const Answers& a) {
        const encoding::Rows rows = encoding::encode(a);
        QList<QByteArray> basic;
        for (const QString& v : rows.basic) basic << v.toUtf8();
        run("b", basic);
        const QByteArray id = rows.basic.first().toUtf8();
        for (const auto& row : rows.rows) {
            const int t = statements::tableOf(row.table);
            if (row.isOther())
                run("o" + QByteArray::number(t), {id, row.code.toUtf8(), row.name.toUtf8()});
            else
                run("i" + QByteArray::number(t), {id, row.code.toUtf8()});
        }
    }
    PGconn* m_c;
};

// ---- one clerk process: prints the milliseconds its loop took ----

int clerk(const QString& engine, const QString& phase, const QString& conninfo, int clerkNo, int per) {
    gen::Generator g(clerkNo + 1);
    gen::Generator g2(clerkNo + 1001);
    QTemporaryDir dir;
    std::unique_ptr<TDM> dm;
    std::unique_ptr<SqlQuery> q;
    std::unique_ptr<SurveyStore> store;
    std::unique_ptr<Floor> floor;
    std::vector<Answers> answers;
    for (int i = 0; i < per; ++i)
        answers.push_back(phase == "replace" ? g2.typical(idOf(clerkNo, i)) : g.typical(idOf(clerkNo, i)));
    if (engine == "program") {
        const QString hive = dir.filePath("hive.reg");
        Registry r(hive);
        registration::registerDataSource(r, dir.filePath("MyDB.db"));
        datasource::setServer(conninfo, hive);
        dm = std::make_unique<TDM>(nullptr, hive, dir.filePath("MyDB.db"));
        q = std::make_unique<SqlQuery>(QStringLiteral("MyDb"));
        store = std::make_unique<SurveyStore>(*q);
        store->read(idOf(clerkNo, 0));  // connected before the clock starts, as the floor is
    } else {
        floor = std::make_unique<Floor>(conninfo.toUtf8());
    }
    QElapsedTimer t;
    t.start();
    for (const Answers& a : answers) {
        if (phase == "store")
            store ? store->store(a) : floor->store(a);
        else if (phase == "lookup")
            store ? void(store->read(a.id)) : void(floor->lookup(a.id));
        else
            store ? store->replace(a) : floor->replace(a);
    }
    std::printf("%lld\n", (long long)t.nsecsElapsed() / 1000);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    auto option = [&](const QString& name, const QString& fallback) {
        const int i = args.indexOf(name);
        return i >= 0 && i + 1 < args.size() ? args[i + 1] : fallback;
    };
    if (args.value(0) == "--clerk") return clerk(args[1], args[2], args[3], args[4].toInt(), args[5].toInt());

    const int per = option("--per", "200").toInt();
    QList<int> levels;
    for (const QString& l : option("--levels", "1,4,16").split(',')) levels << l.toInt();
    QString conninfo = option("--conninfo", QString());
    std::unique_ptr<PgCluster> cluster;
    if (conninfo.isEmpty()) {
        PgCluster::Options o;
        o.durable = true;
        cluster = std::make_unique<PgCluster>(o);
        if (!cluster->isRunning()) {
            std::fprintf(stderr, "no server: %s\n", qPrintable(cluster->why()));
            return 1;
        }
    }
    std::printf(
        "%d questionnaires per clerk; figures are questionnaires per second, all clerks together "
        "(median of 3 runs)\n\n",
        per);
    std::printf("%-8s %-7s %10s %10s %7s\n", "clerks", "op", "program", "libpq", "ratio");
    QString db;  // the database of the last store run
    for (int level : levels) {
        for (const QString phaseName : {"store", "lookup", "replace"}) {
            // Before reading: the server's statistics of the tables just filled, as a register in use has.
            if (phaseName != QLatin1String("store")) {
                PGconn* c = PQconnectdb(db.toUtf8().constData());
                PQclear(PQexec(c, "ANALYZE"));
                PQfinish(c);
            }
            std::vector<double> rates[2];
            // Program and floor take turns going first, so neither always meets the server just
            // after the other's writes (autovacuum, statistics, checkpoints).
            for (int run = 0; run < 3; ++run) {
                for (int turn = 0; turn < 2; ++turn) {
                    const int e = run % 2 == 0 ? turn : 1 - turn;
                    const QString engine = e == 0 ? "program" : "floor";
                    // A fresh database per run for stores; lookups and replaces work on stored ones.
                    if (phaseName == QLatin1String("store")) {
                        QString info = conninfo;
                        if (cluster) {
                            const QString name = cluster->createDatabase();
                            info = cluster->conninfo(name);
                            QString error;
                            if (!datasource::test(info, &error)) qFatal("%s", qPrintable(error));
                        }
                        db = info;
                    }
                    QList<QProcess*> ps;
                    for (int c = 0; c < level; ++c) {
                        auto* p = new QProcess;
                        p->start(
                            QCoreApplication::applicationFilePath(),
                            {"--clerk", engine, phaseName, db, QString::number(c), QString::number(per)});
                        ps << p;
                    }
                    double slowest = 0;
                    for (QProcess* p : ps) {
                        p->waitForFinished(-1);
                        slowest = std::max(slowest, p->readAllStandardOutput().trimmed().toDouble());
                        delete p;
                    }
                    rates[e].push_back(level * per / (slowest / 1e6));
                }
            }
            double best[2];
            for (int e = 0; e < 2; ++e) {
                std::sort(rates[e].begin(), rates[e].end());
                best[e] = rates[e][1];
            }
            std::printf("%-8d %-7s %10.0f %10.0f %7.2f\n", level, qPrintable(phaseName), best[0], best[1],
                        best[1] / best[0]);
            std::fflush(stdout);
        }
    }
    return 0;
}
