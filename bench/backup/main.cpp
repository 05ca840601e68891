// quenvale-bench-backup: backing up and merging a register of N questionnaires (default
// 100,000), against the engine's own `sqlite3 FILE ".backup OUT"` on the same file.
#include <sqlite3.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <cstdio>

#include "Generator.h"
#include "RawDb.h"
#include "core/backup/Restore.h"
#include "core/backup/Snapshots.h"
#include "core/exchange/RegisterMerge.h"
#include "core/store/Connection.h"
#include "core/store/Encoding.h"
#include "core/store/Schema.h"

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double cpuNow() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// CPU seconds of this process for the last measurement (on a shared machine the wall clock
// also counts other programs' turns).
double g_cpu = 0;

template <typename F>
double seconds(F f) {
    QElapsedTimer t;
    const double c0 = cpuNow();
    t.start();
    f();
    g_cpu = cpuNow() - c0;
    return double(t.nsecsElapsed()) / 1e9;
}

void fill(const QString& file, int n) {
    QFile::remove(file);
    if (!schema::ensureDatabaseFile(file)) qFatal("cannot create %s", qPrintable(file));
    RawDb db(file, true);
    gen::Generator g(20261208);
    db.begin();
    for (int i = 0; i < n; ++i) db.insert(toRaw(encoding::encode(g.typical(gen::idFor(i)))));
    db.commit();
}

void useAsOurs(const QString& file) {
    connection::closeAll();
    connection::define({QStringLiteral("MyDb"), QStringLiteral("Velmora"), false, {}, {}, file});
}

void removeDb(const QString& file) {
    for (const char* s : {"", "-journal", "-wal", "-shm"}) QFile::remove(file + QLatin1String(s));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto option = [&](const char* name, const QString& fallback) {
        const int i = int(args.indexOf(QLatin1String(name)));
        return i > 0 && i + 1 < args.size() ? args[i + 1] : fallback;
    };
    const int n = option("--n", "100000").toInt();
    const int runs = option("--runs", "5").toInt();
    const QString dir = option("--dir", "/var/tmp/quenvale-bench-backup");
    QDir().mkpath(dir);
    const QString theirs = dir + "/theirs.db", ours = dir + "/ours.db", out = dir + "/out.db";

    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("filling %d questionnaires...\n", n);
    const bool reuse = args.contains("--reuse") && QFileInfo::exists(theirs);  // a file kept by --keep
    const double fillS = reuse ? 0 : seconds([&] { fill(theirs, n); });
    std::printf("filled in %.1f s (cpu %.1f s; C API, one transaction, no durability), file %.1f MB\n", fillS,
                g_cpu, double(QFileInfo(theirs).size()) / 1e6);

    // Backup: the program's (online backup API, integrity_check, fsync, rename) against sqlite3's .backup.
    std::vector<double> program, shell, check;
    for (int r = 0; r < (args.contains("--merge-only") ? 0 : runs); ++r) {
        removeDb(out);
        program.push_back(seconds([&] { backup::Snapshots(theirs).backupNow({}, out); }));
        std::printf("  backup run %d: %.3f s (cpu %.3f s)\n", r, program.back(), g_cpu);
        check.push_back(seconds([&] { sqlitefile::integrityOk(out); }));
        removeDb(out);
        shell.push_back(seconds([&] {
            QProcess::execute("sqlite3", {theirs, QStringLiteral(".backup %1").arg(out)});
        }));
    }
    removeDb(out);
    const bool backups = !program.empty();
    if (!backups) program = shell = check = {0};
    const double p = median(program), s = median(shell), c = median(check);
    if (backups)
        std::printf(
            "backup: program %.3f s (of which integrity_check %.3f s), sqlite3 .backup %.3f s: %.2fx\n", p, c,
            s, p / s);

    // Restore of the N questionnaires over an empty register: check, copy kept before, new file, rename.
    std::vector<double> restores;
    for (int r = 0; r < (args.contains("--merge-only") ? 0 : std::min(runs, 3)); ++r) {
        removeDb(ours);
        QDir(dir + "/Backup").removeRecursively();
        schema::ensureDatabaseFile(ours);
        useAsOurs(ours);
        backup::Snapshots snapshots(ours);
        restores.push_back(seconds([&] { backup::restore(theirs, snapshots); }));
        std::printf("  restore run %d: %.3f s (cpu %.3f s)\n", r, restores.back(), g_cpu);
    }
    connection::closeAll();
    QDir(dir + "/Backup").removeRecursively();
    if (!restores.empty()) std::printf("restore of %d: %.2f s\n", n, median(restores));

    // Merge of N new questionnaires into an empty register.
    std::vector<double> added, identical;
    int written = 0;
    // --identical-only: ours.db as a --keep run left it (already holding the same N).
    const bool identicalOnly = args.contains("--identical-only") && QFileInfo::exists(ours);
    if (identicalOnly) useAsOurs(ours);
    for (int r = 0; r < (identicalOnly ? 0 : std::min(runs, 3)); ++r) {
        removeDb(ours);
        schema::ensureDatabaseFile(ours);
        useAsOurs(ours);
        double planS = 0, applyS = 0, planC = 0, applyC = 0;
        added.push_back(seconds([&] {
            RegisterMerge merge(theirs);
            MergePlan plan;
            planS = seconds([&] { plan = merge.plan(); });
            planC = g_cpu;
            applyS = seconds([&] { written = merge.apply(plan, {}, false); });
            applyC = g_cpu;
        }));
        std::printf(
            "  run %d: %.2f s (cpu %.2f s): copy, read and compare %.2f s (cpu %.2f s), write %.2f s (cpu "
            "%.2f s)\n",
            r, added.back(), g_cpu, planS, planC, applyS, applyC);
    }
    if (added.empty()) added = {0};
    std::printf("merge of %d new: %.2f s (%d written)\n", n, median(added), written);
    // Merge of the same N again: all identical, nothing to write.
    int same = 0;
    for (int r = 0; r < std::min(runs, 3); ++r) {
        identical.push_back(seconds([&] {
            RegisterMerge merge(theirs);
            const MergePlan plan = merge.plan();
            same = plan.identical;
            merge.apply(plan, {}, false);
        }));
        std::printf("  run %d: %.2f s (cpu %.2f s)\n", r, identical.back(), g_cpu);
    }
    std::printf("merge of %d identical: %.2f s (%d identical)\n", n, median(identical), same);
    connection::closeAll();
    const bool ok = (!backups || p <= 1.5 * s) && median(added) <= 20 && median(identical) <= 10;
    std::printf("targets (backup <= 1.5x sqlite3, new <= 20 s, identical <= 10 s): %s\n",
                ok ? "met" : "MISSED");
    if (!args.contains("--keep")) {
        removeDb(theirs);
        removeDb(ours);
    }
    return 0;
}
