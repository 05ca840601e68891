// quenvale-bench-find: how fast the window "查找问卷" opens and finds on a large register, and
// how much memory the program holds with it open.
//
//   quenvale-bench-find                 N = 100,000 questionnaires
//   quenvale-bench-find --n 10000       another size
//   quenvale-bench-find --reps 15       timed repetitions per search (default 9)
//
// The register is built once under /var/tmp/quenvale-bench-find/n<N> (kept for the next run
// with the same N). The window is measured in a fresh process that starts as the desktop
// program does, so that its peak memory is the program's own.

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QProcess>
#include <QTableView>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <ctime>

#include "../Generator.h"
#include "../Harness.h"
#include "../RawDb.h"
#include "app/Application.h"
#include "app/Startup.h"
#include "app/TFrm_Main.h"
#include "core/store/DataModule.h"
#include "core/store/DataSourceRegistration.h"
#include "core/store/Encoding.h"
#include "core/store/RegisterSearch.h"
#include "core/store/Registry.h"
#include "core/store/Schema.h"
#include "core/store/SqlQuery.h"
#include "gui/data/TFrm_Find.h"

namespace {

void say(const QString& text) {
    std::fprintf(stderr, "%s\n", qPrintable(text));
    std::fflush(stderr);
}

[[noreturn]] void die(const QString& text) {
    say(QStringLiteral("quenvale-bench-find: ") + text);
    std::exit(1);
}

QString hiveOf(const QString& folder) { return folder + QStringLiteral("/hive/HKEY_LOCAL_MACHINE.reg"); }

// CPU time of the process: on a shared machine, what the work itself cost, without the time
// other programs held the processors.
double cpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

long highWaterKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

// The searches a clerk makes: a name fragment first (the target), then the other kinds.
struct Search {
    const char* label;
    const char* typed;
};
const Search kSearches[] = {
    {"name fragment", "秀英"},
    {"surname", "王"},
    {"two words", "王 幸福路"},
    {"phone, last four digits", "1234"},
    {"phone, full-width digits", "１２３４"},
    {"identity number part", "19900101"},
    {"no match", "无此人"},
};

// ---------------------------------------------------------------------------------------------
// The register

int storedCount(const QString& file) {
    if (!QFile::exists(file)) return -1;
    RawDb raw(file);
    sqlite3_stmt* stmt = nullptr;
    int n = -1;
    if (sqlite3_prepare_v2(raw.handle(), "SELECT COUNT(*) FROM BasicInfo", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        n = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    return n;
}

void build(const QString& folder, int n) {
    const QString file = folder + QStringLiteral("/Data/MyDB.db");
    if (storedCount(file) == n) {
        say(QStringLiteral("register of %1 questionnaires kept from an earlier run: %2").arg(n).arg(file));
        return;
    }
    QDir(folder).removeRecursively();
    QDir().mkpath(folder + QStringLiteral("/Data"));
    QString error;
    if (!schema::ensureDatabaseFile(file, &error))
        die(QStringLiteral("cannot create %1: %2").arg(file, error));
    Registry registry(hiveOf(folder));
    registration::registerDataSource(registry, file);
    say(QStringLiteral("building a register of %1 questionnaires in %2").arg(n).arg(file));
    gen::Generator g(0xf1d);
    RawDb raw(file, true);
    raw.begin();
    for (int i = 0; i < n; ++i) {
        raw.insert(toRaw(encoding::encode(g.typical(gen::idFor(i)))));
        if ((i + 1) % 25000 == 0) {
            raw.commit();
            raw.begin();
            say(QStringLiteral("  %1 of %2").arg(i + 1).arg(n));
        }
    }
    raw.commit();
}

// ---------------------------------------------------------------------------------------------
// The window, in a fresh process

// Paints of the list's viewport, to know when rows are on screen.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
};

void waitExposed(QWidget* w) {
    const double limit = bench::nowMs() + 10000;
    while (!(w->windowHandle() && w->windowHandle()->isExposed()) && bench::nowMs() < limit)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Until the viewport has been painted once more than `before`.
void waitPainted(const PaintCounter& counter, int before) {
    const double limit = bench::nowMs() + 10000;
    while (counter.paints <= before && bench::nowMs() < limit)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

int child(int argc, char** argv) {
    const QString folder = QString::fromLocal8Bit(argv[2]);
    const int reps = std::max(1, std::atoi(argv[3]));
    Application app(argc, argv);
    startup::prepareApplication(app);
    Registry registry(hiveOf(folder));
    TFrm_Main Frm_Main(nullptr, folder, &registry);
    TDM DM(nullptr, hiveOf(folder), Frm_Main.databaseFile());
    Frm_Main.showMaximized();
    waitExposed(&Frm_Main);
    QCoreApplication::processEvents();
    // The connection is open before the window is timed, as it is after any earlier form.
    {
        SqlQuery warm(QStringLiteral("MyDb"));
        RegisterSearch(warm).rows({gen::idFor(0)});
    }
    std::printf("hwm-main %ld\n", highWaterKb());

    // Opening: construction to the first rows painted.
    PaintCounter counter;
    const double t0 = bench::nowMs();
    const double cpu0 = cpuMs();
    auto* form = new TFrm_Find(&Frm_Main);
    const double made = cpuMs() - cpu0;
    auto* grid = form->findChild<QTableView*>(QStringLiteral("Grid_Results"));
    grid->viewport()->installEventFilter(&counter);
    form->show();  // lists the register
    const double listed = cpuMs() - cpu0;
    waitExposed(form);
    waitPainted(counter, 0);
    const double opened = bench::nowMs() - t0;
    std::printf("open %.3f rows %d cpu %.3f made %.3f listed %.3f\n", opened, grid->model()->rowCount(),
                cpuMs() - cpu0, made, listed);
    {
        SqlQuery q(QStringLiteral("MyDb"));
        bench::Sample all, cpu;
        for (int r = 0; r < reps; ++r) {
            const double a = bench::nowMs();
            const double ca = cpuMs();
            RegisterSearch(q).find(QString());
            all.ms.push_back(bench::nowMs() - a);
            cpu.ms.push_back(cpuMs() - ca);
        }
        std::printf("find-all %.3f cpu %.3f\n", all.median(), cpu.median());
    }

    // Searches, typed pause skipped: filter to the first rows painted; and the engine's part alone.
    auto* edit = form->findChild<QLineEdit*>(QStringLiteral("Edt_Search"));
    SqlQuery query(QStringLiteral("MyDb"));
    for (const Search& s : kSearches) {
        const QString typed = QString::fromUtf8(s.typed);
        bench::Sample window, engine, windowCpu, engineCpu;
        int matches = 0;
        for (int r = 0; r < reps + 2; ++r) {
            edit->setText(QString());
            form->Edt_SearchChange();
            QCoreApplication::processEvents();
            const int before = counter.paints;
            const double a = bench::nowMs();
            const double ca = cpuMs();
            edit->setText(typed);
            form->Edt_SearchChange();
            waitPainted(counter, before);
            const double b = bench::nowMs();
            const double cb = cpuMs();
            matches = grid->model()->rowCount();
            const double c = bench::nowMs();
            const double cc = cpuMs();
            RegisterSearch(query).find(typed);
            const double d = bench::nowMs();
            const double cd = cpuMs();
            if (r >= 2) {
                window.ms.push_back(b - a);
                windowCpu.ms.push_back(cb - ca);
                engineCpu.ms.push_back(cd - cc);
                engine.ms.push_back(d - c);
            }
        }
        std::printf("search\t%s\t%s\t%d\t%.3f\t%.3f\t%.3f\t%.3f\t%.3f\n", s.label, s.typed, matches,
                    window.median(), window.quantile(1.0), engine.median(), windowCpu.median(),
                    engineCpu.median());
    }

    // The whole list again, sorted by name, then scrolled to its end.
    edit->setText(QString());
    form->Edt_SearchChange();
    QCoreApplication::processEvents();
    int before = counter.paints;
    double a = bench::nowMs();
    double ca = cpuMs();
    grid->horizontalHeader()->setSortIndicator(RegisterSearch::Name, Qt::AscendingOrder);
    waitPainted(counter, before);
    std::printf("sort-name %.3f cpu %.3f\n", bench::nowMs() - a, cpuMs() - ca);
    before = counter.paints;
    a = bench::nowMs();
    grid->scrollToBottom();
    waitPainted(counter, before);
    std::printf("scroll-end %.3f\n", bench::nowMs() - a);
    // Every row's texts read once, as scrolling through the whole list would read them.
    a = bench::nowMs();
    ca = cpuMs();
    QAbstractItemModel* model = grid->model();
    qint64 chars = 0;
    for (int r = 0; r < model->rowCount(); ++r) chars += model->index(r, 1).data().toString().size();
    std::printf("read-all %.3f chars %lld cpu %.3f\n", bench::nowMs() - a, chars, cpuMs() - ca);
    std::printf("hwm %ld\n", highWaterKb());
    delete form;
    return 0;
}

QString field(const QStringList& lines, const QString& key, int index = 1) {
    for (const QString& l : lines)
        if (l.startsWith(key + u' ')) return l.split(u' ').value(index);
    return QString();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && QByteArray(argv[1]) == "--child") return child(argc, argv);

    int n = 100000;
    int reps = 9;
    QString root = QStringLiteral("/var/tmp/quenvale-bench-find");
    for (int i = 1; i < argc; ++i) {
        const QByteArray a = argv[i];
        if (a == "--n" && i + 1 < argc)
            n = std::atoi(argv[++i]);
        else if (a == "--reps" && i + 1 < argc)
            reps = std::atoi(argv[++i]);
        else if (a == "--root" && i + 1 < argc)
            root = QString::fromLocal8Bit(argv[++i]);
        else {
            std::fprintf(stderr, "usage: quenvale-bench-find [--n N] [--reps R] [--root FOLDER]\n");
            return 2;
        }
    }
    QCoreApplication app(argc, argv);
    const QString folder = root + QStringLiteral("/n%1").arg(n);
    build(folder, n);

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QCoreApplication::applicationFilePath(),
            {QStringLiteral("--child"), folder, QString::number(reps)});
    if (!p.waitForFinished(600000) || p.exitCode() != 0) die(QStringLiteral("the window's process failed"));
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);

    const bench::Machine m = bench::describe(folder);
    std::printf("Find window, %d questionnaires (%s, %d CPUs, SQLite %s, Qt %s, %s build)\n\n", n,
                qPrintable(m.model), m.cpus, qPrintable(m.sqlite), qPrintable(m.qt), qPrintable(m.buildType));
    std::printf(
        "Wall-clock figures; in brackets the CPU time the program used (on a shared machine\n"
        "the difference is time other programs held the processors).\n\n");
    std::printf("| what | figure | target |\n|---|---|---|\n");
    std::printf("| window opens, first rows painted (%s rows listed) | %s ms (CPU %s ms: window made %s, "
                "register listed %s, the rest painting) | ≤ 100 ms |\n",
                qPrintable(field(lines, QStringLiteral("open"), 3)), qPrintable(field(lines, QStringLiteral("open"))),
                qPrintable(field(lines, QStringLiteral("open"), 5)), qPrintable(field(lines, QStringLiteral("open"), 7)),
                qPrintable(field(lines, QStringLiteral("open"), 9)));
    std::printf("| of which: the statement listing the whole register | %s ms (CPU %s ms) | |\n",
                qPrintable(field(lines, QStringLiteral("find-all"))),
                qPrintable(field(lines, QStringLiteral("find-all"), 3)));
    for (const QString& l : lines) {
        if (!l.startsWith(QLatin1String("search\t"))) continue;
        const QStringList f = l.split(u'\t');
        std::printf(
            "| search \"%s\" (%s, %s matches): first rows painted, median / max | %s / %s ms "
            "(CPU %s ms; the statement alone %s ms, CPU %s ms) | %s |\n",
            qPrintable(f[2]), qPrintable(f[1]), qPrintable(f[3]), qPrintable(bench::ms(f[4].toDouble())),
            qPrintable(bench::ms(f[5].toDouble())), qPrintable(bench::ms(f[7].toDouble())),
            qPrintable(bench::ms(f[6].toDouble())), qPrintable(bench::ms(f[8].toDouble())),
            f[1] == QLatin1String("name fragment") ? "≤ 100 ms" : "");
    }
    std::printf("| sort the whole list by name | %s ms (CPU %s ms) | |\n",
                qPrintable(field(lines, QStringLiteral("sort-name"))),
                qPrintable(field(lines, QStringLiteral("sort-name"), 3)));
    std::printf("| scroll to the end | %s ms | |\n", qPrintable(field(lines, QStringLiteral("scroll-end"))));
    std::printf(
        "| read every row's texts once (as scrolling through all of them would) | %s ms (CPU %s ms) | |\n",
        qPrintable(field(lines, QStringLiteral("read-all"))),
        qPrintable(field(lines, QStringLiteral("read-all"), 5)));
    std::printf("| peak memory, main window only | %.1f MB | |\n",
                field(lines, QStringLiteral("hwm-main")).toDouble() / 1024.0);
    std::printf("| peak memory, with the window open, after all the above | %.1f MB | ≤ 100 MB |\n",
                field(lines, QStringLiteral("hwm")).toDouble() / 1024.0);
    return 0;
}
