#include "QuestionnaireExport.h"

#include "CsvWriter.h"
#include "ReadStatWriter.h"
#include "TextRules.h"
#include "WideLayout.h"
#include "XlsxSheetWriter.h"
#include "store/DbError.h"
#include "store/SqlQuery.h"

using namespace catalogue;

namespace exchange {

namespace {

const QString kConnection = QStringLiteral("MyDb");

// clang-format off
// The tables as stored, BasicInfo first, then the answer tables in storage order. The wide
// layout merges them by identity number, so every statement orders by ID.
struct TableRead {
    const char* name;
    const char* select;
    const char* count;
};
const TableRead kTables[] = {
    {"BasicInfo", "select ID, name, Address, WorkUnit, Phone, age, level, political, duty, Position, Flag from BasicInfo order by ID",
                  "select count(*) from BasicInfo"},
    {"Special",   "select ID, Code, Name from Special order by ID",   "select count(*) from Special"},
    {"Love",      "select ID, Code, Name from Love order by ID",      "select count(*) from Love"},
    {"Team",      "select ID, Code, Name from Team order by ID",      "select count(*) from Team"},
    {"Service",   "select ID, Code, Name from Service order by ID",   "select count(*) from Service"},
    {"Train",     "select ID, Code, Name from Train order by ID",     "select count(*) from Train"},
    {"Reason",    "select ID, Code, Name from Reason order by ID",    "select count(*) from Reason"},
    {"Who",       "select ID, Code, Name from Who order by ID",       "select count(*) from Who"},
    {"Type",      "select ID, Code, Name from Type order by ID",      "select count(*) from Type"},
    {"Time1",     "select ID, Code, Name from Time1 order by ID",     "select count(*) from Time1"},
    {"ReinForce", "select ID, Code, Name from ReinForce order by ID", "select count(*) from ReinForce"},
    {"Depend",    "select ID, Code, Name from Depend order by ID",    "select count(*) from Depend"},
    {"Channel",   "select ID, Code, Name from Channel order by ID",   "select count(*) from Channel"},
};
const char* const kBasicColumns[] = {"ID", "name", "Address", "WorkUnit", "Phone", "age", "level",
                                     "political", "duty", "Position", "Flag"};
const char* const kAnswerColumns[] = {"ID", "Code", "Name"};
// clang-format on
constexpr int kTableCount = int(std::size(kTables));

struct Cancelled {};

// Progress every so many rows: often enough for a smooth bar, rarely enough to cost nothing.
constexpr qint64 kProgressStep = 500;

class Run {
public:
    Run(SheetWriter& writer, const ProgressFn& progress) : m_writer(writer), m_progress(progress) {}

    void wide();
    void tables();
    qint64 questionnaires = 0;
    qint64 unknownRows = 0;

private:
    qint64 count(int table);
    void open(SqlQuery& q, int table);
    void step(qint64 done, qint64 total, bool force = false) {
        if (!m_progress) return;
        if (!force && done % kProgressStep != 0) return;
        if (!m_progress(done, total)) throw Cancelled{};
    }

    SheetWriter& m_writer;
    const ProgressFn& m_progress;
};

qint64 Run::count(int table) {
    SqlQuery q(kConnection);
    q.setSql(QLatin1String(kTables[table].count), {}, QLatin1String(kTables[table].name));
    q.open();
    q.first();
    return q.eof() ? 0 : q.text(0).toLongLong();
}

void Run::open(SqlQuery& q, int table) {
    q.setSql(QLatin1String(kTables[table].select), {}, QLatin1String(kTables[table].name));
    q.open();
    q.first();
}

void Run::wide() {
    const qint64 total = count(0);
    step(0, total, true);
    WideLayout layout;
    m_writer.beginSheet(QStringLiteral("问卷"), layout.columns(), total);

    SqlQuery basic(kConnection);
    open(basic, 0);
    std::vector<std::unique_ptr<SqlQuery>> answers;
    for (int t = 1; t < kTableCount; ++t) {
        answers.push_back(std::make_unique<SqlQuery>(kConnection));
        open(*answers.back(), t);
    }
    const auto& order = answerTables();
    std::vector<UnknownRow> unknown;
    auto orphan = [&](int t, SqlQuery& q) {
        // An answer row without its BasicInfo row.
        unknown.push_back({QLatin1String(kTables[t + 1].name), q.text(0), q.text(1), q.text(2)});
    };

    QStringList values;
    qint64 done = 0;
    while (!basic.eof()) {
        values.clear();
        for (int c = 0; c < 11; ++c) values << basic.text(c);
        const QString& id = values[0];
        layout.startRow(values, unknown);
        for (int t = 0; t < int(answers.size()); ++t) {
            SqlQuery& q = *answers[t];
            while (!q.eof()) {
                const QString rowId = q.text(0);
                const int order_ = textrules::compareCodePoints(rowId, id);
                if (order_ > 0) break;
                if (order_ < 0)
                    orphan(t, q);
                else
                    layout.applyAnswer(order[t], q.text(1), q.text(2), unknown);
                q.next();
            }
        }
        m_writer.writeRow(layout.row(), id);
        step(++done, total);
        basic.next();
    }
    for (int t = 0; t < int(answers.size()); ++t)
        for (SqlQuery& q = *answers[t]; !q.eof(); q.next()) orphan(t, q);
    m_writer.endSheet();
    questionnaires = done;

    unknownRows = qint64(unknown.size());
    if (!unknown.empty()) {
        m_writer.beginSheet(unknownSheetName(), WideLayout::unknownColumns(), unknownRows);
        for (const UnknownRow& r : unknown) m_writer.writeRow(WideLayout::unknownCells(r), r.identity);
        m_writer.endSheet();
    }
    step(done, total, true);
}

void Run::tables() {
    std::vector<qint64> counts;
    qint64 total = 0;
    for (int t = 0; t < kTableCount; ++t) total += counts.emplace_back(count(t));
    step(0, total, true);
    qint64 done = 0;
    std::vector<Cell> cells;
    for (int t = 0; t < kTableCount; ++t) {
        std::vector<Column> columns;
        const int n = t == 0 ? 11 : 3;
        for (int c = 0; c < n; ++c) {
            Column col;
            col.header = QLatin1String(t == 0 ? kBasicColumns[c] : kAnswerColumns[c]);
            col.varName = col.header.toLower();
            col.isIdentity = c == 0;
            columns.push_back(col);
        }
        m_writer.beginSheet(QLatin1String(kTables[t].name), columns, counts[t]);
        SqlQuery q(kConnection);
        open(q, t);
        cells.assign(n, Cell());
        qint64 rows = 0;
        // The count bounds the rows: a sav or dta file declares its row count before the rows.
        for (; !q.eof() && rows < counts[t]; q.next(), ++rows) {
            for (int c = 0; c < n; ++c) cells[c].text = q.text(c);
            m_writer.writeRow(cells, cells[0].text);
            if (t == 0) ++questionnaires;
            step(++done, total);
        }
        m_writer.endSheet();
    }
    step(total, total, true);
}

}  // namespace

std::unique_ptr<SheetWriter> makeWriter(Format format, const QString& target) {
    switch (format) {
        case Format::Xlsx:
            return std::make_unique<XlsxSheetWriter>(target);
        case Format::Csv:
            return std::make_unique<CsvWriter>(target);
        case Format::Sav:
            return std::make_unique<ReadStatWriter>(ReadStatWriter::Kind::Sav, target);
        case Format::Dta:
            return std::make_unique<ReadStatWriter>(ReadStatWriter::Kind::Dta, target);
    }
    throw ExportError{QStringLiteral("不支持的文件格式。")};
}

ExportResult exportQuestionnaires(const ExportOptions& options, const ProgressFn& progress) {
    ExportResult result;
    SqlQuery transaction(kConnection);
    try {
        std::unique_ptr<SheetWriter> writer = makeWriter(options.format, options.path);
        // One read transaction: every table is read from the same state of the register.
        transaction.begin();
        Run run(*writer, progress);
        if (options.layout == Layout::Wide)
            run.wide();
        else
            run.tables();
        transaction.commit();
        writer->commit();
        result.ok = true;
        result.questionnaires = run.questionnaires;
        result.unknownRows = run.unknownRows;
        result.files = writer->files();
        result.cuts = writer->cuts();
    } catch (const Cancelled&) {
        result.cancelled = true;
    } catch (const ExportError& e) {
        result.error = e.message;
    } catch (const DbError&) {
        result.error = QStringLiteral("读取数据库时出错，未导出任何文件。");
    } catch (const std::bad_alloc&) {
        result.error = QStringLiteral("内存不足，未导出任何文件。");
    }
    if (transaction.inTransaction()) transaction.rollback();
    return result;
}

}  // namespace exchange
