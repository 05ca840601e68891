// quenvale-bench-check: how long the data check takes on a large register with a few planted
// problems of every kind, through the program's own connection; checks the counts it finds.
//
//   quenvale-bench-check                 N = 100,000 (the register is made once and kept)
//   quenvale-bench-check --n 1000 --reps 3 --dir FOLDER --fresh

#include <sqlite3.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "Generator.h"
#include "RawDb.h"
#include "core/check/RegisterCheck.h"
#include "core/questionnaire/IdentityNumber.h"
#include "core/store/Connection.h"
#include "core/store/DataModule.h"
#include "core/store/DataSourceRegistration.h"
#include "core/store/Encoding.h"
#include "core/store/Registry.h"
#include "core/store/Schema.h"
#include "core/store/Statements.h"

namespace {

void say(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    std::fflush(stderr);
}

double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

constexpr int kPlanted = 5;  // of each kind

// Rows of a questionnaire with the given identity number (answers drawn like the rest).
RawRows rowsFor(gen::Generator& g, const QString& id) { return toRaw(encoding::encode(g.typical(id))); }

// One answer row by itself (an ordinary row: no other text).
void insertAnswer(RawDb& raw, const std::string& id, int table, const std::string& code) {
    const QByteArray sql = statements::insertAnswer(table, false).toUtf8();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(raw.handle(), sql.constData(), -1, &st, nullptr);
    sqlite3_bind_text(st, 1, id.data(), int(id.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, code.data(), int(code.size()), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) raw.exec("insert failed");  // raises with the engine's message
}

// Five problems of each kind, made of numbers far from the generated ones.
void plant(RawDb& raw, gen::Generator& g) {
    for (int i = 0; i < kPlanted; ++i) {
        const QString seq = QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0'));
        // A right number with its check character changed.
        QString wrong = QStringLiteral("65010219770101") + seq;
        wrong += IdentityNumber::checkCharacter(wrong) == u'0' ? u'1' : u'0';
        raw.insert(rowsFor(g, wrong));
        // 30 February.
        QString date = QStringLiteral("65010219770230") + seq;
        raw.insert(rowsFor(g, date + IdentityNumber::checkCharacter(date)));
        // A 15-digit number and its 18-digit form: one resident twice (and one 15-digit number).
        const QString fifteen = QStringLiteral("650103770101") + seq;
        raw.insert(rowsFor(g, fifteen));
        raw.insert(rowsFor(g, IdentityNumber::toEighteen(fifteen)));
        // Not a number at all.
        raw.insert(rowsFor(g, QStringLiteral("65010477010") + seq));
        // Answer rows whose questionnaire has no BasicInfo row, in two tables.
        const RawRows orphan = rowsFor(g, QStringLiteral("65010519770101") + seq + u'9');
        for (const auto& r : orphan.rows)
            if (r.table <= 2) insertAnswer(raw, orphan.id, r.table, r.code);
        // A code no box of the Special page has.
        const QString odd = QStringLiteral("65010619770101") + seq;
        const RawRows rows = rowsFor(g, odd + IdentityNumber::checkCharacter(odd));
        raw.insert(rows);
        insertAnswer(raw, rows.id, 1, "25");
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qint64 n = 100000;
    int reps = 7;
    bool fresh = false;
    QString root = QStringLiteral("/var/tmp/quenvale-bench-check");
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--n") && i + 1 < args.size())
            n = args[++i].toLongLong();
        else if (args[i] == QLatin1String("--reps") && i + 1 < args.size())
            reps = args[++i].toInt();
        else if (args[i] == QLatin1String("--dir") && i + 1 < args.size())
            root = args[++i];
        else if (args[i] == QLatin1String("--fresh"))
            fresh = true;
        else {
            say(QStringLiteral("usage: quenvale-bench-check [--n N] [--reps R] [--dir FOLDER] [--fresh]"));
            return 2;
        }
    }
    const QString folder = root + QStringLiteral("/n%1").arg(n);
    const QString file = folder + QStringLiteral("/Data/MyDB.db");
    const QString hive = folder + QStringLiteral("/hive/HKEY_LOCAL_MACHINE.reg");
    if (fresh || !QFile::exists(file)) {
        QDir(folder).removeRecursively();
        QDir().mkpath(folder + QStringLiteral("/Data"));
        QString error;
        if (!schema::ensureDatabaseFile(file, &error)) {
            say(QStringLiteral("cannot create %1: %2").arg(file, error));
            return 1;
        }
        say(QStringLiteral("filling %1 questionnaires into %2").arg(n).arg(file));
        gen::Generator g(20261208);
        RawDb raw(file, true);
        raw.begin();
        for (qint64 i = 0; i < n; ++i) {
            raw.insert(rowsFor(g, gen::idFor(i)));
            if ((i + 1) % 25000 == 0) {
                raw.commit();
                raw.begin();
                say(QStringLiteral("  %1 of %2").arg(i + 1).arg(n));
            }
        }
        plant(raw, g);
        raw.commit();
    }
    Registry registry(hive);
    registration::registerDataSource(registry, file);
    TDM dm(nullptr, hive, file);

    const RegisterCheck check;
    if (qEnvironmentVariableIsSet("QUENVALE_BENCH_STEPS")) {  // CPU time of each step, for profiling
        check.run(QDate(2026, 12, 8));                        // opens the connection
        double last = cpuMs();
        check.run(QDate(2026, 12, 8), [&last](int done, int total) {
            const double now = cpuMs();
            std::printf("step %d/%d: %.1f ms CPU\n", done, total, now - last);
            last = now;
            return true;
        });
    }
    std::vector<double> wall, cpu;
    CheckResult result;
    for (int r = 0; r < reps + 1; ++r) {  // the first run warms the cache and is not counted
        QElapsedTimer t;
        const double c0 = cpuMs();
        t.start();
        result = check.run(QDate(2026, 12, 8));
        const double ms = double(t.nsecsElapsed()) / 1e6;
        if (r > 0) {
            wall.push_back(ms);
            cpu.push_back(cpuMs() - c0);
        }
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());

    // What must be found: per planted set, one wrong check character, one impossible date,
    // one 15-digit number, two records of one resident, one non-number, one orphan, one code.
    const int expected[CheckProblem::KindCount] = {kPlanted, kPlanted, kPlanted, 2 * kPlanted,
                                                   kPlanted, kPlanted, kPlanted};
    bool right = result.questionnaires == n + 6 * kPlanted;
    for (int k = 0; k < CheckProblem::KindCount; ++k) {
        const auto kind = CheckProblem::Kind(k);
        std::printf("%-20s %d (planted %d)\n", CheckProblem::kindName(kind).toUtf8().constData(),
                    result.count(kind), expected[k]);
        right = right && result.count(kind) == expected[k];
    }
    std::printf("questionnaires %lld; data check median %.0f ms (min %.0f, max %.0f), CPU %.0f ms, %d runs\n",
                static_cast<long long>(result.questionnaires), wall[wall.size() / 2], wall.front(),
                wall.back(), cpu[cpu.size() / 2], reps);
    std::printf("target: 100,000 questionnaires in <= 1000 ms: %s\n",
                n >= 100000 && wall[wall.size() / 2] <= 1000 ? "met" : (n >= 100000 ? "MISSED" : "n/a"));
    if (!right) say(QStringLiteral("the check did not find what was planted"));
    return right ? 0 : 1;
}
