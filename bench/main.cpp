// quenvale-bench: how fast the register stores, finds, changes, deletes and counts, side by
// side with the engine's limit (raw SQLite) and with the old way (every statement committed by
// itself). Prints a table of medians and ratios and the targets they meet.
//
//   quenvale-bench                 N = 1,000, 10,000 and 100,000 (several minutes)
//   quenvale-bench --n 100000      one size
//   quenvale-bench --smoke         N = 1,000, few repetitions (seconds): keeps the benchmark working

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numeric>
#include <random>

#include "Children.h"
#include "Generator.h"
#include "Harness.h"
#include "RawDb.h"
#include "core/store/DataModule.h"
#include "core/store/DataSourceRegistration.h"
#include "core/store/Encoding.h"
#include "core/store/Registry.h"
#include "core/store/Schema.h"
#include "core/store/SqlQuery.h"
#include "core/store/Statements.h"
#include "core/store/SurveyStore.h"
#include "gui/stats/TFrm_Report.h"
#include "gui/stats/TFrm_Total.h"
#include "gui/stats/TotalPages.h"

using bench::Sample;
using bench::Variant;

namespace {

struct Options {
    QList<qint64> sizes{1000, 10000, 100000};
    QString root = QStringLiteral("/var/tmp/quenvale-bench");
    bool smoke = false;
    bool keep = false;
    bool strict = false;
    bool allowMemoryFs = false;
    int writeReps = 15;
    int readReps = 101;
    int statsReps = 7;
    int widgetReps = 11;
    QString only;  ///< run only the operations whose name starts with this (for profiling)
};

struct Row {
    QString op;
    qint64 n = 0;
    Sample program, floor, old;
    Sample before;  ///< the program on the same register without the Code and Flag indexes
};

struct Report {
    QList<Row> rows;
    double fillMs = 0;
    double meanRows = 0;
};

void say(const QString& text) {
    std::fprintf(stderr, "%s\n", qPrintable(text));
    std::fflush(stderr);
}

[[noreturn]] void die(const QString& text) {
    say(QStringLiteral("quenvale-bench: ") + text);
    std::exit(1);
}

// ---------------------------------------------------------------------------------------------
// Data

struct Database {
    QString folder, file, hive;
    QString before;  ///< a copy of the file without the Code and Flag indexes, as files were made before
    /// A copy of the file that the floor and the old way write to. Each writer has a file of its
    /// own, as one clerk has: with the rollback journal, a write by another connection empties a
    /// connection's page cache, so writers sharing a file would each start cold.
    QString floorFile;
    qint64 n = 0;
    qint64 answerRows = 0;
    double fillMs = 0;
};

// A benchmark folder laid out as the program's: Data/MyDB.db made by the program's own schema
// code, and a registry stand-in that registers it. Filled in large transactions without
// durability, for setup only.
Database makeDatabase(const QString& root, qint64 n, std::uint64_t seed) {
    Database db;
    db.n = n;
    db.folder = root + QStringLiteral("/n%1").arg(n);
    QDir(db.folder).removeRecursively();
    QDir().mkpath(db.folder + QStringLiteral("/Data"));
    db.file = db.folder + QStringLiteral("/Data/MyDB.db");
    db.hive = children::hiveFile(db.folder);
    QString error;
    if (!schema::ensureDatabaseFile(db.file, &error))
        die(QStringLiteral("cannot create %1: %2").arg(db.file, error));
    Registry registry(db.hive);
    registration::registerDataSource(registry, db.file);

    const double t0 = bench::nowMs();
    gen::Generator g(seed);
    RawDb raw(db.file, true);
    raw.begin();
    for (qint64 i = 0; i < n; ++i) {
        const RawRows rows = toRaw(encoding::encode(g.typical(gen::idFor(i))));
        raw.insert(rows);
        db.answerRows += qint64(rows.rows.size());
        if ((i + 1) % 25000 == 0) {
            raw.commit();
            raw.begin();
            say(QStringLiteral("  filled %1 of %2").arg(i + 1).arg(n));
        }
    }
    raw.commit();
    db.fillMs = bench::nowMs() - t0;
    db.floorFile = db.folder + QStringLiteral("/floor.db");
    QFile::remove(db.floorFile);
    if (!QFile::copy(db.file, db.floorFile)) die(QStringLiteral("cannot copy %1").arg(db.file));
    // The same register as a file made before the Code and Flag indexes existed.
    db.before = db.folder + QStringLiteral("/before.db");
    QFile::remove(db.before);
    if (!QFile::copy(db.file, db.before)) die(QStringLiteral("cannot copy %1").arg(db.file));
    RawDb old(db.before, true);
    for (const QString& sql : schema::indexStatements()) {
        const QString index = sql.section(u' ', 5, 5);
        if (!index.endsWith(QLatin1String("_ID")))
            old.exec(QStringLiteral("DROP INDEX %1").arg(index).toUtf8().constData());
    }
    return db;
}

// The program's statement path (SqlQuery) on a connection of its own, opened without adding
// the missing indexes: what the program did with files made before them.
const QString kBefore = QStringLiteral("before-indexes");

// ---------------------------------------------------------------------------------------------
// Operations at one size

class SizeRun {
public:
    SizeRun(const Database& db, const Options& o)
        : m_db(db), m_o(o), m_gen(0x5eed0000 + std::uint64_t(db.n)) {
        m_dm = std::make_unique<TDM>(nullptr, db.hive, db.file);
        m_query = std::make_unique<SqlQuery>(QStringLiteral("MyDb"));
        m_store = std::make_unique<SurveyStore>(*m_query);
        m_raw = std::make_unique<RawDb>(db.file);
        m_floorWrites = std::make_unique<RawDb>(db.floorFile);
        QString error;
        if (!schema::openExisting(kBefore, db.before, &error)) die(error);
        m_beforeQuery = std::make_unique<SqlQuery>(kBefore);
        m_beforeStore = std::make_unique<SurveyStore>(*m_beforeQuery);
        m_rawBefore = std::make_unique<RawDb>(db.before);
        // Existing questionnaires for reading, replacing and deleting, each used once.
        m_pool.resize(std::size_t(db.n));
        std::iota(m_pool.begin(), m_pool.end(), 0);
        std::shuffle(m_pool.begin(), m_pool.end(), std::mt19937_64(db.n));
    }
    ~SizeRun() {
        m_beforeStore.reset();
        m_beforeQuery.reset();
        QSqlDatabase::database(kBefore, false).close();
        QSqlDatabase::removeDatabase(kBefore);
        m_store.reset();
        m_query.reset();
        m_dm.reset();  // closes the program's connection
    }

    void all(QList<Row>& out) {
        auto wanted = [&](const char* op) {
            return m_o.only.isEmpty() || QLatin1String(op).startsWith(m_o.only);
        };
        if (wanted("store")) {
            out << store(QStringLiteral("store one questionnaire, typical"), false);
            out << store(QStringLiteral("store one questionnaire, every box ticked"), true);
        }
        if (wanted("read")) out << read();
        if (wanted("replace")) out << replace();
        if (wanted("delete")) out << remove();
        if (wanted("statistics")) {
            out << statistics();
            out << specialtyReport();
        }
    }

private:
    QString existing() {
        if (m_next >= m_pool.size()) die(QStringLiteral("too few stored questionnaires for the repetitions"));
        return gen::idFor(m_pool[m_next++]);
    }
    // Fresh identity numbers, disjoint per variant and never among the filled ones.
    static QString fresh(int variant, int round) { return gen::idFor(10'000'000LL * (variant + 1) + round); }
    int rounds(int reps) const { return reps + warmup(reps); }
    static int warmup(int reps) { return reps >= 20 ? 5 : 2; }

    Answers answersFor(const QString& id, bool worst) { return worst ? m_gen.worst(id) : m_gen.typical(id); }

    Row store(const QString& op, bool worst) {
        say(QStringLiteral("  %1").arg(op));
        const int reps = m_o.writeReps;
        const int base = worst ? 3 : 0;
        std::vector<Answers> program, before;
        std::vector<RawRows> floor, old;
        for (int r = 0; r < rounds(reps); ++r) {
            program.push_back(answersFor(fresh(base + 0, r), worst));
            floor.push_back(toRaw(encoding::encode(answersFor(fresh(base + 1, r), worst))));
            old.push_back(toRaw(encoding::encode(answersFor(fresh(base + 2, r), worst))));
            before.push_back(answersFor(fresh(base + 6, r), worst));
        }
        auto s = bench::sideBySide(
            {
                {QStringLiteral("program"), [&](int r) { m_store->store(program[std::size_t(r)]); }},
                {QStringLiteral("before"), [&](int r) { m_beforeStore->store(before[std::size_t(r)]); }},
                {QStringLiteral("floor"),
                 [&](int r) {
                     m_floorWrites->begin();
                     m_floorWrites->insert(floor[std::size_t(r)]);
                     m_floorWrites->commit();
                 }},
                {QStringLiteral("old"), [&](int r) { m_floorWrites->insert(old[std::size_t(r)]); }},
            },
            reps, warmup(reps));
        return {op, m_db.n, s[0], s[2], s[3], s[1]};
    }

    Row read() {
        const QString op = QStringLiteral("read one back by identity number");
        say(QStringLiteral("  %1").arg(op));
        const int reps = m_o.readReps;
        std::vector<QString> program;
        std::vector<std::string> floor;
        // Reads run before any delete, so every questionnaire of the pool is still there.
        std::size_t k = 0;
        auto any = [&] { return gen::idFor(m_pool[k++ % m_pool.size()]); };
        for (int r = 0; r < rounds(reps); ++r) {
            program.push_back(any());
            floor.push_back(any().toStdString());
        }
        auto s = bench::sideBySide(
            {
                {QStringLiteral("program"),
                 [&](int r) {
                     if (m_store->read(program[std::size_t(r)]).status != LookupResult::Complete)
                         die(QStringLiteral("a stored questionnaire was not read back"));
                 }},
                {QStringLiteral("floor"),
                 [&](int r) {
                     if (m_raw->read(floor[std::size_t(r)]) < 2)
                         die(QStringLiteral("raw read found nothing"));
                 }},
            },
            reps, warmup(reps));
        return {op, m_db.n, s[0], s[1], {}};
    }

    Row replace() {
        const QString op = QStringLiteral("replace one (the Edit form's save)");
        say(QStringLiteral("  %1").arg(op));
        const int reps = m_o.writeReps;
        std::vector<Answers> program, before;
        std::vector<RawRows> floor, old;
        for (int r = 0; r < rounds(reps); ++r) {
            program.push_back(m_gen.typical(existing()));
            floor.push_back(toRaw(encoding::encode(m_gen.typical(existing()))));
            old.push_back(toRaw(encoding::encode(m_gen.typical(existing()))));
            before.push_back(m_gen.typical(existing()));
        }
        auto s = bench::sideBySide(
            {
                {QStringLiteral("program"), [&](int r) { m_store->replace(program[std::size_t(r)]); }},
                {QStringLiteral("before"), [&](int r) { m_beforeStore->replace(before[std::size_t(r)]); }},
                {QStringLiteral("floor"),
                 [&](int r) {
                     m_floorWrites->begin();
                     m_floorWrites->removeRows(floor[std::size_t(r)].id);
                     m_floorWrites->insert(floor[std::size_t(r)]);
                     m_floorWrites->commit();
                 }},
                {QStringLiteral("old"),
                 [&](int r) {
                     m_floorWrites->removeRows(old[std::size_t(r)].id);
                     m_floorWrites->insert(old[std::size_t(r)]);
                 }},
            },
            reps, warmup(reps));
        return {op, m_db.n, s[0], s[2], s[3], s[1]};
    }

    Row remove() {
        const QString op = QStringLiteral("delete one (thirteen tables)");
        say(QStringLiteral("  %1").arg(op));
        const int reps = m_o.writeReps;
        std::vector<QString> program, before;
        std::vector<std::string> floor, old;
        for (int r = 0; r < rounds(reps); ++r) {
            program.push_back(existing());
            floor.push_back(existing().toStdString());
            old.push_back(existing().toStdString());
            before.push_back(existing());
        }
        auto s = bench::sideBySide(
            {
                {QStringLiteral("program"), [&](int r) { m_store->remove(program[std::size_t(r)]); }},
                {QStringLiteral("before"), [&](int r) { m_beforeStore->remove(before[std::size_t(r)]); }},
                {QStringLiteral("floor"),
                 [&](int r) {
                     m_floorWrites->begin();
                     m_floorWrites->removeRows(floor[std::size_t(r)]);
                     m_floorWrites->commit();
                 }},
                {QStringLiteral("old"), [&](int r) { m_floorWrites->removeRows(old[std::size_t(r)]); }},
            },
            reps, warmup(reps));
        return {op, m_db.n, s[0], s[2], s[3], s[1]};
    }

    Row statistics() {
        const QString op = QStringLiteral("statistics run (fourteen statements)");
        say(QStringLiteral("  %1").arg(op));
        // The real form; its creation is the first run, then the timed runs are its refresh's work.
        TFrm_Total form;
        std::int64_t formTotal = 0, rawTotal = m_raw->countAll();
        for (QLineEdit* box : form.findChildren<QLineEdit*>()) formTotal += box->text().toLongLong();
        if (formTotal != rawTotal)
            die(QStringLiteral("the statistics form counted %1, the engine %2").arg(formTotal).arg(rawTotal));
        const int reps = m_db.n >= 100000 ? m_o.statsReps : m_o.statsReps * 2 + 1;
        // The same fourteen statements through the program's query object on the file without
        // the indexes: what the form took before them.
        auto countBefore = [&] {
            std::int64_t total = 0;
            for (const total::Statement& st : total::statements()) {
                m_beforeQuery->setSql(QString::fromUtf8(st.sql));
                m_beforeQuery->open();
                for (; !m_beforeQuery->eof(); m_beforeQuery->next())
                    total += m_beforeQuery->integer(st.grouped ? 1 : 0);
            }
            return total;
        };
        if (countBefore() != m_rawBefore->countAll())
            die(QStringLiteral("the statistics counted differently without the indexes"));
        auto s = bench::sideBySide(
            {
                {QStringLiteral("program"), [&](int) { form.FormCreate(); }},
                {QStringLiteral("floor"), [&](int) { m_raw->countAll(); }},
                {QStringLiteral("before"), [&](int) { countBefore(); }},
            },
            reps, 1);
        return {op, m_db.n, s[0], s[1], {}, s[2]};
    }

    // The specialty report's statement, every row read, as the report form walks it.
    Row specialtyReport() {
        const QString op = QStringLiteral("specialty report's statement");
        say(QStringLiteral("  %1").arg(op));
        const QString sql = TFrm_Report::specialSql();
        auto walk = [&](SqlQuery& q) {
            q.setSql(sql);
            q.open();
            std::int64_t total = 0;
            for (; !q.eof(); q.next()) total += q.integer(QStringLiteral("icount"));
            return total;
        };
        const std::string raw = sql.toStdString();
        const int reps = m_db.n >= 100000 ? m_o.statsReps * 2 + 1 : m_o.statsReps * 4 + 1;
        auto s = bench::sideBySide(
            {
                {QStringLiteral("program"), [&](int) { walk(*m_query); }},
                {QStringLiteral("floor"), [&](int) { m_raw->countSql(raw); }},
                {QStringLiteral("before"), [&](int) { walk(*m_beforeQuery); }},
            },
            reps, 1);
        return {op, m_db.n, s[0], s[1], {}, s[2]};
    }

    const Database& m_db;
    const Options& m_o;
    gen::Generator m_gen;
    std::unique_ptr<TDM> m_dm;
    std::unique_ptr<SqlQuery> m_query;
    std::unique_ptr<SurveyStore> m_store;
    std::unique_ptr<RawDb> m_raw;
    std::unique_ptr<RawDb> m_floorWrites;  // the floor's and the old way's writes, on a file of their own
    std::unique_ptr<SqlQuery> m_beforeQuery;
    std::unique_ptr<SurveyStore> m_beforeStore;
    std::unique_ptr<RawDb> m_rawBefore;
    std::vector<qint64> m_pool;
    std::size_t m_next = 0;
};

// ---------------------------------------------------------------------------------------------
// Widgets and memory, each in fresh processes

struct WidgetFigures {
    Sample startup;
    double firstNewForm = NAN;
    Sample newForm;
    long peakKb = 0, peakEmptyKb = 0, hwmBeforeKb = 0;
    qint64 peakN = 0;
};

double field(const QString& out, const QString& key) {
    for (const QString& line : out.split(u'\n'))
        if (line.startsWith(key + u' ')) return line.mid(key.size() + 1).toDouble();
    return NAN;
}

WidgetFigures widgets(const QString& root, const Database& small, const Database& largest, const Options& o) {
    WidgetFigures w;
    say(QStringLiteral("start-up to the main window shown"));
    for (int i = 0; i < o.widgetReps + 1; ++i) {
        const children::Result r = children::run({QStringLiteral("startup"), small.folder});
        const double shown = field(r.out, QStringLiteral("shown"));
        if (r.exitStatus != 0 || std::isnan(shown)) die(QStringLiteral("the start-up child failed"));
        if (i > 0) w.startup.ms.push_back(shown - r.spawnedAtMs);  // the first warms the disk cache
    }
    say(QStringLiteral("opening the New form"));
    for (int i = 0; i < 3; ++i) {
        const children::Result r =
            children::run({QStringLiteral("newform"), small.folder, QString::number(o.widgetReps + 1)});
        if (r.exitStatus != 0) die(QStringLiteral("the New-form child failed"));
        bool first = true;
        for (const QString& line : r.out.split(u'\n')) {
            if (!line.startsWith(QLatin1String("open "))) continue;
            const double v = line.mid(5).toDouble();
            if (first) {
                w.firstNewForm = std::isnan(w.firstNewForm) ? v : std::min(w.firstNewForm, v);
                first = false;
            } else if (i == 0) {
                w.newForm.ms.push_back(v);
            }
        }
    }
    say(QStringLiteral("peak memory of the statistics run at N = %1").arg(largest.n));
    const children::Result full = children::run({QStringLiteral("stats"), largest.folder});
    if (full.exitStatus != 0) die(QStringLiteral("the statistics child failed"));
    // The child's own high-water mark: wait4's figure would also count this process's memory,
    // which the child shares until it executes (posix_spawn uses vfork).
    w.peakKb = long(field(full.out, QStringLiteral("hwm-after")));
    w.hwmBeforeKb = long(field(full.out, QStringLiteral("hwm-before")));
    w.peakN = largest.n;
    // The same process on an empty register: what Qt and the windows take by themselves.
    const Database empty = makeDatabase(root, 0, 1);
    const children::Result none = children::run({QStringLiteral("stats"), empty.folder});
    if (none.exitStatus != 0) die(QStringLiteral("the statistics child failed on an empty register"));
    w.peakEmptyKb = long(field(none.out, QStringLiteral("hwm-after")));
    return w;
}

// ---------------------------------------------------------------------------------------------
// Output

QString spread(const Sample& s) {
    return s.ms.empty() ? QStringLiteral("–")
                        : bench::ms(s.quantile(0.1)) + u'–' + bench::ms(s.quantile(0.9));
}

void print(const QString& line) { std::printf("%s\n", qPrintable(line)); }

struct Target {
    QString what;
    QString measured;
    bool met;
};

QList<Target> judge(const Report& rep, const WidgetFigures& w, qint64 n) {
    QList<Target> t;
    auto rowOf = [&](const QString& prefix) -> const Row* {
        for (const Row& r : rep.rows)
            if (r.n == n && r.op.startsWith(prefix)) return &r;
        return nullptr;
    };
    // The old way's column is information only: how far ahead of it a store is depends on
    // what a flush costs on this disk, not on the program.
    for (const char* which :
         {"store one questionnaire, typical", "store one questionnaire, every box ticked"}) {
        if (const Row* r = rowOf(QLatin1String(which))) {
            const double f = r->program.median() / r->floor.median();
            t << Target{QStringLiteral("%1: ≤ 1.3× floor").arg(QLatin1String(which)),
                        QStringLiteral("%1 floor").arg(bench::ratio(f)), f <= 1.3};
        }
    }
    // The Code indexes cost every write a little: at most 10 %.
    for (const char* which : {"store one questionnaire, typical", "store one questionnaire, every box ticked",
                              "replace one", "delete one"}) {
        if (const Row* r = rowOf(QLatin1String(which))) {
            const double b = r->program.median() / r->before.median();
            t << Target{
                QStringLiteral("%1: ≤ 1.10× the same without the Code indexes").arg(QLatin1String(which)),
                QStringLiteral("%1").arg(bench::ratio(b)), b <= 1.10};
        }
    }
    for (const char* which : {"read one back", "replace one", "delete one"}) {
        if (const Row* r = rowOf(QLatin1String(which))) {
            const double f = r->program.median() / r->floor.median();
            t << Target{
                QStringLiteral("%1: ≤ 1.5× floor and < 2 ms").arg(QLatin1String(which)),
                QStringLiteral("%1 floor, %2 ms").arg(bench::ratio(f), bench::ms(r->program.median())),
                f <= 1.5 && r->program.median() < 2.0};
        }
    }
    if (const Row* r = rowOf(QStringLiteral("statistics run"))) {
        const double f = r->program.median() / r->floor.median();
        const double gain = r->before.median() / r->program.median();
        t << Target{QStringLiteral("statistics run: ≤ 1.2× floor, ≥ 5× faster than without the Code indexes"),
                    QStringLiteral("%1 floor, %2 faster (%3 ms)")
                        .arg(bench::ratio(f), bench::ratio(gain), bench::ms(r->program.median())),
                    f <= 1.2 && gain >= 5};
    }
    if (w.startup.ms.empty()) return t;
    t << Target{QStringLiteral("opening the New form: < 50 ms"),
                QStringLiteral("%1 ms (first opening after start-up %2 ms)")
                    .arg(bench::ms(w.newForm.median()), bench::ms(w.firstNewForm)),
                w.newForm.median() < 50 && w.firstNewForm < 50};
    t << Target{QStringLiteral("start-up to the main window: < 300 ms"),
                QStringLiteral("%1 ms").arg(bench::ms(w.startup.median())), w.startup.median() < 300};
    t << Target{QStringLiteral("peak memory of the statistics run at N = %1: < 100 MB").arg(w.peakN),
                QStringLiteral("%1 MB whole process (%2 MB with an empty register)")
                    .arg(w.peakKb / 1024.0, 0, 'f', 1)
                    .arg(w.peakEmptyKb / 1024.0, 0, 'f', 1),
                w.peakKb < 100 * 1024};
    return t;
}

bool printReport(const Report& rep, const WidgetFigures& w, const bench::Machine& m, const Options& o,
                 const QString& folder) {
    print(QStringLiteral("## quenvale-bench%1").arg(o.smoke ? QStringLiteral(" (smoke)") : QString()));
    print(QString());
    print(QStringLiteral("- machine: %1 CPUs, %2; %3").arg(m.cpus).arg(m.model, m.kernel));
    print(QStringLiteral("- data folder: %1 on %2%3")
              .arg(folder, m.fileSystem,
                   m.memoryBacked ? QStringLiteral(" (MEMORY-BACKED: fsync costs nothing here)")
                                  : QStringLiteral(" (disk-backed)")));
    print(QStringLiteral("- SQLite %1, Qt %2, %3; rollback journal (journal_mode DELETE), synchronous FULL "
                         "for program, floor and old way")
              .arg(m.sqlite, m.qt, m.buildType));
    print(QStringLiteral("- questionnaires: %1 answer rows on average (typical), 143 with every box ticked; "
                         "fill %2 s in all")
              .arg(rep.meanRows, 0, 'f', 1)
              .arg(rep.fillMs / 1000, 0, 'f', 1));
    print(QStringLiteral(
              "- medians of %1 runs (writes), %2 (reads), %3 (statistics at 100,000); variants interleaved")
              .arg(o.writeReps)
              .arg(o.readReps)
              .arg(o.statsReps));
    print(QString());
    print(
        QStringLiteral("| operation | N | program ms | p10–p90 | floor ms | program ÷ floor | "
                       "before the indexes ms | program ÷ before | old way ms | old ÷ program |"));
    print(QStringLiteral("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|"));
    const QString none = QStringLiteral("–");
    for (const Row& r : rep.rows) {
        const bool hasOld = !r.old.ms.empty(), hasBefore = !r.before.ms.empty();
        print(QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 | %7 | %8 | %9 | %10 |")
                  .arg(r.op)
                  .arg(r.n)
                  .arg(bench::ms(r.program.median()), spread(r.program), bench::ms(r.floor.median()),
                       bench::ratio(r.program.median() / r.floor.median()),
                       hasBefore ? bench::ms(r.before.median()) : none,
                       hasBefore ? bench::ratio(r.program.median() / r.before.median()) : none,
                       hasOld ? bench::ms(r.old.median()) : none)
                  .arg(hasOld ? bench::ratio(r.old.median() / r.program.median()) : none));
    }
    if (!w.startup.ms.empty()) {
        const QString rest = QStringLiteral(" – | – | – | – | – | – |");
        print(QStringLiteral("| start-up to the main window shown | – | %1 | %2 |")
                  .arg(bench::ms(w.startup.median()), spread(w.startup)) +
              rest);
        print(QStringLiteral("| opening the New form (175 boxes) | – | %1 | %2 |")
                  .arg(bench::ms(w.newForm.median()), spread(w.newForm)) +
              rest);
        print(QStringLiteral("| opening the New form, first after start-up | – | %1 | – |")
                  .arg(bench::ms(w.firstNewForm)) +
              rest);
        print(QStringLiteral("| peak memory, statistics run (whole process) | %1 | %2 MB | – |")
                  .arg(w.peakN)
                  .arg(w.peakKb / 1024.0, 0, 'f', 1) +
              rest);
        print(QStringLiteral("| peak memory, same process, empty register | 0 | %1 MB | – |")
                  .arg(w.peakEmptyKb / 1024.0, 0, 'f', 1) +
              rest);
        print(QStringLiteral("| peak memory, start-up only (before the statistics form) | %1 | %2 MB | – |")
                  .arg(w.peakN)
                  .arg(w.hwmBeforeKb / 1024.0, 0, 'f', 1) +
              rest);
    }
    print(QString());

    const qint64 n = o.sizes.last();
    print(QStringLiteral("### Targets at N = %1%2")
              .arg(n)
              .arg(n < 100000 ? QStringLiteral(" (they are set for N = 100,000)") : QString()));
    print(QString());
    bool all = true;
    for (const Target& t : judge(rep, w, n)) {
        print(QStringLiteral("- %1 — %2: %3")
                  .arg(t.met ? QStringLiteral("met") : QStringLiteral("NOT MET"), t.what, t.measured));
        all = all && t.met;
    }
    print(QString());
    return all;
}

void printPlans(const Database& db) {
    RawDb raw(db.file);
    print(QStringLiteral("### Query plans (N = %1)").arg(db.n));
    print(QString());
    auto show = [&](const std::string& sql) {
        std::string steps;
        for (const std::string& s : raw.plan(sql)) steps += (steps.empty() ? "" : "; ") + s;
        print(QStringLiteral("- `%1` → %2").arg(QString::fromStdString(sql), QString::fromStdString(steps)));
    };
    show(statements::select(0).toStdString());
    show(statements::select(1).toStdString());
    show(statements::remove(1).toStdString());
    show(total::statements().front().sql);
    show(total::statements()[5].sql);
    show(TFrm_Report::specialSql().toStdString());
    print(QStringLiteral("- journal_mode %1, page_size %2, page count %3")
              .arg(QString::fromStdString(raw.pragma("journal_mode")),
                   QString::fromStdString(raw.pragma("page_size")),
                   QString::fromStdString(raw.pragma("page_count"))));
    print(QString());
}

Options parse(const QStringList& args) {
    Options o;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&]() -> QString {
            if (i + 1 >= args.size()) die(QStringLiteral("%1 needs a value").arg(a));
            return args[++i];
        };
        if (a == QLatin1String("--n")) {
            o.sizes.clear();
            for (const QString& s : value().split(u',')) {
                bool ok = false;
                const qint64 n = s.toLongLong(&ok);
                if (!ok || n < 200 || n > 10'000'000)
                    die(QStringLiteral("--n takes sizes from 200 to 10000000"));
                o.sizes << n;
            }
            std::sort(o.sizes.begin(), o.sizes.end());
        } else if (a == QLatin1String("--smoke")) {
            o.smoke = true;
            o.sizes = {1000};
            o.writeReps = 5;
            o.readReps = 21;
            o.statsReps = 3;
            o.widgetReps = 3;
        } else if (a == QLatin1String("--dir")) {
            o.root = value();
        } else if (a == QLatin1String("--reps")) {
            o.writeReps = std::max(3, value().toInt());
        } else if (a == QLatin1String("--read-reps")) {
            o.readReps = std::max(3, value().toInt());
        } else if (a == QLatin1String("--only")) {
            o.only = value();
        } else if (a == QLatin1String("--keep")) {
            o.keep = true;
        } else if (a == QLatin1String("--strict")) {
            o.strict = true;
        } else if (a == QLatin1String("--allow-memory-fs")) {
            o.allowMemoryFs = true;
        } else {
            print(QStringLiteral(
                "usage: quenvale-bench [--n N[,N...]] [--smoke] [--dir FOLDER] [--reps R] [--keep] "
                "[--strict] "
                "[--allow-memory-fs]\n"
                "  --n        register sizes (default 1000,10000,100000)\n"
                "  --smoke    N = 1000, few repetitions: checks that the benchmark builds and runs\n"
                "  --dir      data folder on a disk-backed file system (default /var/tmp/quenvale-bench)\n"
                "  --reps     timed runs per write operation (default 15)\n"
                "  --read-reps timed runs of the read (default 101)\n"
                "  --only OP  only the operations starting with OP (store, read, replace, delete, "
                "statistics)\n"
                "  --keep     leave the databases in the data folder\n"
                "  --strict   exit with status 1 when a target is missed"));
            std::exit(a == QLatin1String("--help") ? 0 : 2);
        }
    }
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && qstrcmp(argv[1], "--child") == 0) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return children::main(argc, argv);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const Options o = parse(app.arguments());

    const QString root = QDir(o.root).absolutePath();
    QDir().mkpath(root);
    const bench::Machine machine = bench::describe(root);
    // The smoke run only keeps the benchmark working; its figures are not judged.
    if (machine.memoryBacked && !o.allowMemoryFs && !o.smoke)
        die(QStringLiteral("%1 is on %2, which has no disk behind it: the commit's fsync would cost nothing. "
                           "Choose a folder on a disk-backed file system with --dir.")
                .arg(root, machine.fileSystem));

    Report report;
    QList<Database> dbs;
    qint64 questionnaires = 0, answerRows = 0;
    for (qint64 n : o.sizes) {
        say(QStringLiteral("filling %1 questionnaires").arg(n));
        dbs << makeDatabase(root, n, 42);
        report.fillMs += dbs.last().fillMs;
        questionnaires += n;
        answerRows += dbs.last().answerRows;
    }
    report.meanRows = double(answerRows) / double(std::max<qint64>(1, questionnaires));

    for (const Database& db : dbs) {
        say(QStringLiteral("operations at N = %1").arg(db.n));
        SizeRun run(db, o);
        run.all(report.rows);
    }
    const WidgetFigures w = o.only.isEmpty() ? widgets(root, dbs.first(), dbs.last(), o) : WidgetFigures{};

    const bool met = printReport(report, w, machine, o, root);
    printPlans(dbs.last());
    std::fflush(stdout);

    if (!o.keep) {
        for (const Database& db : dbs) QDir(db.folder).removeRecursively();
        QDir(root + QStringLiteral("/n0")).removeRecursively();
        QDir().rmdir(root);
    }
    return o.strict && !met ? 1 : 0;
}
