#include "StatsWorkbook.h"

#include <xlsxwriter.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMap>

#include "core/exchange/Captions.h"
#include "core/exchange/TargetFiles.h"
#include "core/exchange/TextRules.h"
#include "core/store/AnswerCounts.h"
#include "core/store/DbError.h"
#include "core/store/SqlQuery.h"

using namespace catalogue;

namespace exchange {

namespace {

const QString kConnection = QStringLiteral("MyDb");

struct Cancelled {};

struct Counts {
    qint64 total = 0;
    QMap<GroupId, QMap<int, qint64>> perGroup;  // box index -> count
    // The stored values that count nowhere, per group in page order.
    QList<std::pair<GroupId, answercounts::Uncounted>> uncounted;
    qint64 uncountedRows() const {
        qint64 n = 0;
        for (const auto& u : uncounted) n += u.second.rows;
        return n;
    }
};

// The willingness values that neither count ("1" is 是, "0" is 否, exactly as the form counts).
const char* const kOtherFlags =
    "select Flag, count(*) from BasicInfo where Flag is null or Flag not in ('0', '1') group by Flag";

Counts readCounts() {
    Counts c;
    SqlQuery q(kConnection);
    q.setSql(QStringLiteral("select count(*) from BasicInfo"), {}, QStringLiteral("BasicInfo"));
    q.open();
    q.first();
    c.total = q.eof() ? 0 : q.text(0).toLongLong();
    q.close();
    QMap<GroupId, QList<answercounts::Uncounted>> uncounted;
    // The counts of the statistics form; a value it cannot read is listed, never a reason to stop.
    for (const answercounts::Statement& s : answercounts::statements())
        answercounts::tally(q, s, c.perGroup[s.group], uncounted[s.group]);
    for (GroupId g : {Age, Level, Political, Duty, Position})
        c.perGroup[g] = answercounts::countBasicGroup(q, g, &uncounted[g]);
    q.setSql(QLatin1String(kOtherFlags), {}, QStringLiteral("Flag"));
    q.open();
    for (q.first(); !q.eof(); q.next()) uncounted[Flag].append({q.text(0), q.integer(1)});
    q.close();
    for (const Group& g : groups())
        for (const answercounts::Uncounted& u : uncounted.value(g.id)) c.uncounted.append({g.id, u});
    return c;
}

// Why a value counts nowhere, in the clerk's words.
QString whyUncounted(const Group& g, const QString& value) {
    if (value.isNull()) return QStringLiteral("空值（NULL）");
    if (value.trimmed().isEmpty()) return QStringLiteral("空白");
    int n = 0;
    if (g.id != Flag && SqlQuery::parseInteger(value, &n)) return QStringLiteral("没有这个选项");
    return g.id == Flag ? QStringLiteral("只有“1”（是）和“0”（否）计入") : QStringLiteral("不是选项代码");
}

QByteArray utf8(const QString& s) { return s.toUtf8(); }

QString title(const Group& g) {
    QString q = qs(g.label);
    while (q.endsWith(u'：') || q.endsWith(u':')) q.chop(1);
    return q;
}

// Sheet names: the page's short title for the answer tables, the group's label on page one.
QString sheetName(const Group& g) {
    QString name = g.page == 0 ? title(g) : qs(pages().at(g.page).hintTitle);
    name.remove(u'？');
    return name.left(31);
}

class Book {
public:
    explicit Book(const QString& temp) {
        m_book = workbook_new(QFile::encodeName(temp).constData());
        if (!m_book) throw ExportError{QStringLiteral("无法创建 Excel 工作簿。")};
        m_bold = workbook_add_format(m_book);
        format_set_bold(m_bold);
        m_title = workbook_add_format(m_book);
        format_set_bold(m_title);
        format_set_font_size(m_title, 14);
        m_percent = workbook_add_format(m_book);
        format_set_num_format(m_percent, "0.0%");
        m_text = workbook_add_format(m_book);
        format_set_num_format(m_text, "@");
    }
    ~Book() {
        if (m_book) workbook_close(m_book);
    }

    void summary(const Counts& c) {
        lxw_worksheet* ws = workbook_add_worksheet(m_book, "汇总");
        worksheet_set_column(ws, 0, 0, 30, nullptr);
        worksheet_set_column(ws, 1, 2, 16, nullptr);
        worksheet_write_string(ws, 0, 0, "社区居民问卷统计", m_title);
        worksheet_write_string(ws, 2, 0, "问卷总数", m_bold);
        worksheet_write_number(ws, 2, 1, double(c.total), nullptr);
        worksheet_write_string(ws, 3, 0, "导出日期", m_bold);
        worksheet_write_string(
            ws, 3, 1,
            utf8(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))).constData(),
            nullptr);
        const Group& flag = group(Flag);
        worksheet_write_string(ws, 5, 0, utf8(title(flag)).constData(), m_bold);
        worksheet_write_string(ws, 6, 0, "选项", m_bold);
        worksheet_write_string(ws, 6, 1, "人数", m_bold);
        worksheet_write_string(ws, 6, 2, "占问卷的百分比", m_bold);
        for (int b = 0; b < int(flag.boxes.size()); ++b) {
            const qint64 n = c.perGroup.value(Flag).value(b);
            worksheet_write_string(ws, lxw_row_t(7 + b), 0, utf8(qs(flag.boxes[b].caption)).constData(),
                                   nullptr);
            worksheet_write_number(ws, lxw_row_t(7 + b), 1, double(n), nullptr);
            worksheet_write_number(ws, lxw_row_t(7 + b), 2, c.total ? double(n) / double(c.total) : 0.0,
                                   m_percent);
        }
    }

    void page(const Group& g, const Counts& c) {
        const QByteArray name = utf8(sheetName(g));
        lxw_worksheet* ws = workbook_add_worksheet(m_book, name.constData());
        if (!ws) throw ExportError{QStringLiteral("无法在 Excel 工作簿中添加工作表“%1”。").arg(sheetName(g))};
        worksheet_set_column(ws, 0, 0, 20, nullptr);
        worksheet_set_column(ws, 1, 1, 8, nullptr);
        worksheet_set_column(ws, 2, 2, 16, nullptr);
        worksheet_write_string(ws, 0, 0, utf8(title(g)).constData(), m_title);
        worksheet_write_string(ws, 2, 0, "选项", m_bold);
        worksheet_write_string(ws, 2, 1, "人数", m_bold);
        worksheet_write_string(ws, 2, 2, "占问卷的百分比", m_bold);
        worksheet_freeze_panes(ws, 3, 0);
        // Printed, the table and its chart share one landscape page.
        worksheet_set_landscape(ws);
        worksheet_fit_to_pages(ws, 1, 1);
        const int n = int(g.boxes.size());
        for (int b = 0; b < n; ++b) {
            const qint64 count = c.perGroup.value(g.id).value(b);
            const lxw_row_t row = lxw_row_t(3 + b);
            worksheet_write_string(ws, row, 0, utf8(qs(g.boxes[b].caption)).constData(), nullptr);
            worksheet_write_number(ws, row, 1, double(count), nullptr);
            worksheet_write_number(ws, row, 2, c.total ? double(count) / double(c.total) : 0.0, m_percent);
        }

        lxw_chart* chart = workbook_add_chart(m_book, LXW_CHART_BAR);
        lxw_chart_series* series = chart_add_series(chart, nullptr, nullptr);
        chart_series_set_categories(series, name.constData(), 3, 0, lxw_row_t(2 + n), 0);
        chart_series_set_values(series, name.constData(), 3, 1, lxw_row_t(2 + n), 1);
        chart_series_set_name(series, "人数");
        chart_title_set_name(chart, utf8(title(g)).constData());
        chart_legend_set_position(chart, LXW_CHART_LEGEND_NONE);
        chart_axis_set_reverse(chart->y_axis);          // the first option on top, as in the table
        chart_axis_set_num_format(chart->x_axis, "0");  // counts are whole numbers
        chart_axis_set_min(chart->x_axis, 0);
        lxw_chart_options options = {};
        options.x_offset = 10;
        options.y_scale = std::max(1.0, n / 9.0);  // about eleven points a bar
        options.x_scale = 1.3;
        worksheet_insert_chart_opt(ws, 2, 4, chart, &options);
    }

    // The values that count nowhere: where, as stored, how many rows, why.
    void uncounted(const Counts& c) {
        const QByteArray name = utf8(unknownSheetName());
        lxw_worksheet* ws = workbook_add_worksheet(m_book, name.constData());
        if (!ws)
            throw ExportError{
                QStringLiteral("无法在 Excel 工作簿中添加工作表“%1”。").arg(unknownSheetName())};
        worksheet_set_column(ws, 0, 0, 30, nullptr);
        worksheet_set_column(ws, 1, 1, 16, m_text);
        worksheet_set_column(ws, 2, 2, 8, nullptr);
        worksheet_set_column(ws, 3, 3, 30, nullptr);
        const char* const heads[] = {"所在页", "存储的值", "行数", "说明"};
        for (int i = 0; i < 4; ++i) worksheet_write_string(ws, 0, lxw_col_t(i), heads[i], m_bold);
        worksheet_freeze_panes(ws, 1, 0);
        lxw_row_t row = 1;
        for (const auto& [id, u] : c.uncounted) {
            const Group& g = group(id);
            worksheet_write_string(ws, row, 0, utf8(captions::ofGroup(id)).constData(), nullptr);
            if (!u.value.isEmpty()) {
                bool replaced = false;
                const QString held = textrules::holdable(u.value, &replaced);
                bool cut = false;
                const QString kept = textrules::cutToUnits(held, textrules::kXlsxCellMax, &cut);
                worksheet_write_string(ws, row, 1, utf8(textrules::escapeXlsx(kept)).constData(), m_text);
            }
            worksheet_write_number(ws, row, 2, double(u.rows), nullptr);
            worksheet_write_string(ws, row, 3, utf8(whyUncounted(g, u.value)).constData(), nullptr);
            ++row;
        }
    }

    void close() {
        lxw_workbook* book = m_book;
        m_book = nullptr;
        if (workbook_close(book) != LXW_NO_ERROR)
            throw ExportError{QStringLiteral("写入统计表时出错，磁盘可能已满。")};
    }

private:
    lxw_workbook* m_book = nullptr;
    lxw_format* m_bold = nullptr;
    lxw_format* m_title = nullptr;
    lxw_format* m_percent = nullptr;
    lxw_format* m_text = nullptr;
};

}  // namespace

ExportResult exportStatistics(const QString& path, const ProgressFn& progress, bool replace) {
    ExportResult result;
    SqlQuery transaction(kConnection);
    try {
        TargetFiles files(path, QStringLiteral("xlsx"), replace);
        const QString temp = files.add(files.target());
        const std::vector<const Group*> sheets = [] {
            std::vector<const Group*> out;
            for (const Group& g : groups())
                if (g.id != Flag) out.push_back(&g);
            return out;
        }();
        const qint64 steps = qint64(sheets.size()) + 1;
        auto step = [&](qint64 done) {
            if (progress && !progress(done, steps)) throw Cancelled{};
        };
        step(0);
        transaction.begin();
        const Counts counts = readCounts();
        transaction.commit();
        Book book(temp);
        book.summary(counts);
        step(1);
        for (size_t i = 0; i < sheets.size(); ++i) {
            book.page(*sheets[i], counts);
            step(qint64(i) + 2);
        }
        if (!counts.uncounted.isEmpty()) book.uncounted(counts);
        book.close();
        files.commit();
        result.ok = true;
        result.questionnaires = counts.total;
        result.unknownRows = counts.uncountedRows();
        result.files = files.finalPaths();
    } catch (const Cancelled&) {
        result.cancelled = true;
    } catch (const ExportError& e) {
        result.error = e.message;
    } catch (const DbError& e) {
        result.error = captions::readFailed(e.statement()) + QStringLiteral("，未导出统计表。");
    }
    if (transaction.inTransaction()) transaction.rollback();
    return result;
}

}  // namespace exchange
