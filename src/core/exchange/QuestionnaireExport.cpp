#include "QuestionnaireExport.h"

#include <QHash>
#include <algorithm>
#include <array>
#include <bitset>

#include "core/exchange/Captions.h"
#include "core/exchange/CsvWriter.h"
#include "core/exchange/ReadStatWriter.h"
#include "core/exchange/WideLayout.h"
#include "core/exchange/XlsxSheetWriter.h"
#include "core/store/DbError.h"
#include "core/store/SqlQuery.h"
#include "core/store/Statements.h"

using namespace catalogue;

namespace exchange {

namespace {

const QString kConnection = QStringLiteral("MyDb");

// clang-format off
// The tables as stored, BasicInfo first (in identity-number order), then the answer tables in
// storage order, each read straight through in the order it is stored: a scan that follows the
// file rather than an index costs a fraction as much on a large register.
struct TableRead {
    QString name;
    QByteArray select;
    QByteArray count;
};
const std::vector<TableRead>& tableReads() {
    static const std::vector<TableRead> all = [] {
        std::vector<TableRead> out;
        out.push_back({statements::tableName(0),
                       "select ID, name, Address, WorkUnit, Phone, age, level, political, duty, Position, Flag "
                       "from BasicInfo order by ID",
                       "select count(*) from BasicInfo"});
        const auto selects = statements::perAnswerTable("select ID, Code, Name from {T}");
        const auto counts = statements::perAnswerTable("select count(*) from {T}");
        for (std::size_t t = 0; t < selects.size(); ++t)
            out.push_back({statements::tableName(int(t) + 1), selects[t], counts[t]});
        return out;
    }();
    return all;
}
const char* const kIdentities = "select ID from BasicInfo";
const char* const kBasicColumns[] = {"ID", "name", "Address", "WorkUnit", "Phone", "age", "level",
                                     "political", "duty", "Position", "Flag"};
const char* const kAnswerColumns[] = {"ID", "Code", "Name"};
// clang-format on
constexpr int kTableCount = statements::kTableCount;

struct Cancelled {};

// Progress every so many rows: often enough for a smooth bar, rarely enough to cost nothing.
constexpr qint64 kProgressStep = 500;
// Boxes of the twelve answer tables (143), rounded up.
constexpr int kMaxBoxes = 192;

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
    q.setSql(QLatin1String(tableReads()[table].count), {}, tableReads()[table].name);
    q.open();
    q.first();
    return q.eof() ? 0 : q.text(0).toLongLong();
}

void Run::open(SqlQuery& q, int table) {
    q.setSql(QLatin1String(tableReads()[table].select), {}, tableReads()[table].name);
    q.open();
    q.first();
}

void Run::wide() {
    const qint64 total = count(0);
    step(0, total, true);
    WideLayout layout;
    const auto& order = answerTables();
    std::vector<UnknownRow> unknown;

    // Every identity number, then every answer row in the order stored: the ticks and other
    // texts of each questionnaire, kept compactly until its row is written.
    QHash<QString, int> index;
    index.reserve(int(total));
    {
        SqlQuery q(kConnection);
        q.setSql(QLatin1String(kIdentities), {}, QStringLiteral("BasicInfo"));
        q.open();
        for (q.first(); !q.eof(); q.next()) index.insert(q.text(0), int(index.size()));
    }
    std::array<int, GroupCount> offset{};
    int boxes = 0;
    for (GroupId g : order) {
        offset[g] = boxes;
        boxes += int(group(g).boxes.size());
    }
    Q_ASSERT(boxes <= kMaxBoxes);
    std::vector<std::bitset<kMaxBoxes>> ticks(size_t(index.size()));
    QHash<qint64, QString> others;  // questionnaire * GroupCount + group -> other text
    qint64 scanned = 0;
    for (int t = 0; t < int(order.size()); ++t) {
        const GroupId g = order[t];
        const Group& grp = group(g);
        const QString page = captions::ofGroup(g);
        SqlQuery q(kConnection);
        open(q, t + 1);
        for (; !q.eof(); q.next()) {
            if (++scanned % (kProgressStep * 20) == 0) step(0, total, true);  // cancellable while reading
            const QString id = q.text(0);
            const QString code = q.text(1);
            const QString name = q.text(2);
            const auto found = index.constFind(id);
            const int box = WideLayout::boxOf(g, code);
            if (found == index.constEnd() || box < 0) {
                // An answer row without its BasicInfo row, or a code that no option has.
                unknown.push_back({page, id, code, name,
                                   found == index.constEnd()  ? WideLayout::noQuestionnaire()
                                   : code.trimmed().isEmpty() ? WideLayout::noCode()
                                                              : WideLayout::noOption()});
                continue;
            }
            auto& bits = ticks[size_t(found.value())];
            const bool isOther = grp.boxes[box].code == kOtherCode;
            const qint64 key = qint64(found.value()) * GroupCount + g;
            // A second other row of a page, or a text on a row that carries none, is kept aside
            // rather than lost or overwriting the first.
            if ((isOther && bits.test(size_t(offset[g] + box))) || (!isOther && !name.isEmpty()))
                unknown.push_back({page, id, code, name,
                                   isOther ? WideLayout::secondOther() : WideLayout::textWithoutOther()});
            if (isOther && !bits.test(size_t(offset[g] + box))) others.insert(key, name);
            bits.set(size_t(offset[g] + box));
        }
    }

    m_writer.beginSheet(QStringLiteral("问卷"), layout.columns(), total);
    SqlQuery basic(kConnection);
    open(basic, 0);
    QStringList values;
    qint64 done = 0;
    for (; !basic.eof() && done < total; basic.next()) {
        values.clear();
        for (int c = 0; c < 11; ++c) values << basic.text(c);
        layout.startRow(values, unknown);
        const int i = index.value(values[0], -1);
        if (i >= 0) {
            const auto& bits = ticks[size_t(i)];
            for (GroupId g : order) {
                const int n = int(group(g).boxes.size());
                for (int b = 0; b < n; ++b)
                    if (bits.test(size_t(offset[g] + b))) layout.tick(g, b);
                const auto other = others.constFind(qint64(i) * GroupCount + g);
                if (other != others.constEnd()) layout.setOther(g, other.value());
            }
        }
        m_writer.writeRow(layout.row(), values[0]);
        step(++done, total);
    }
    m_writer.endSheet();
    questionnaires = done;

    unknownRows = qint64(unknown.size());
    if (!unknown.empty()) {
        // By identity number, then in table order, so that one questionnaire's rows stand together.
        std::stable_sort(unknown.begin(), unknown.end(),
                         [](const UnknownRow& a, const UnknownRow& b) { return a.identity < b.identity; });
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
        m_writer.beginSheet(tableReads()[t].name, columns, counts[t]);
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

std::unique_ptr<SheetWriter> makeWriter(Format format, const QString& target, bool replace) {
    switch (format) {
        case Format::Xlsx:
            return std::make_unique<XlsxSheetWriter>(target, replace);
        case Format::Csv:
            return std::make_unique<CsvWriter>(target, replace, CsvFile::Flavour::Spreadsheet);
        case Format::CsvPlain:
            return std::make_unique<CsvWriter>(target, replace, CsvFile::Flavour::Plain);
        case Format::Sav:
            return std::make_unique<ReadStatWriter>(ReadStatWriter::Kind::Sav, target, replace);
        case Format::Dta:
            return std::make_unique<ReadStatWriter>(ReadStatWriter::Kind::Dta, target, replace);
    }
    throw ExportError{QStringLiteral("不支持的文件格式。")};
}

ExportResult exportQuestionnaires(const ExportOptions& options, const ProgressFn& progress) {
    ExportResult result;
    SqlQuery transaction(kConnection);
    try {
        std::unique_ptr<SheetWriter> writer = makeWriter(options.format, options.path, options.replace);
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
    } catch (const DbError& e) {
        result.error = captions::readFailed(e.statement()) + QStringLiteral("，未导出任何文件。");
    } catch (const std::bad_alloc&) {
        result.error = QStringLiteral("内存不足，未导出任何文件。");
    }
    if (transaction.inTransaction()) transaction.rollback();
    return result;
}

}  // namespace exchange
