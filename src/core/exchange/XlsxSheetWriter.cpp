#include "XlsxSheetWriter.h"

#include <xlsxwriter.h>

#include <QDir>
#include <QFile>

#include "core/exchange/TextRules.h"

namespace exchange {

namespace {

constexpr int kMaxWidth = 60;  // wider columns make the sheet hard to read; the cell still holds all

}

XlsxSheetWriter::XlsxSheetWriter(const QString& target, bool replace)
    : m_files(target, QStringLiteral("xlsx"), replace) {
    m_temp = m_files.add(m_files.target());
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = LXW_TRUE;  // a large register may pass 4 GB of uncompressed XML
    m_book = workbook_new_opt(QFile::encodeName(m_temp).constData(), &options);
    if (!m_book) throw ExportError{QStringLiteral("无法创建 Excel 工作簿。")};
    m_bold = workbook_add_format(m_book);
    format_set_bold(m_bold);
    m_textFormat = workbook_add_format(m_book);
    format_set_num_format(m_textFormat, "@");
}

XlsxSheetWriter::~XlsxSheetWriter() {
    // An unfinished workbook: close it into its temporary file, which TargetFiles then removes.
    if (m_book) workbook_close(m_book);
}

void XlsxSheetWriter::check(int error) const {
    if (error != LXW_NO_ERROR)
        throw ExportError{QStringLiteral("写入 Excel 工作簿时出错：%1")
                              .arg(QString::fromUtf8(lxw_strerror(lxw_error(error))))};
}

void XlsxSheetWriter::beginSheet(const QString& name, const std::vector<Column>& columns, qint64) {
    m_sheet = workbook_add_worksheet(m_book, name.toUtf8().constData());
    if (!m_sheet) throw ExportError{QStringLiteral("无法在 Excel 工作簿中添加工作表“%1”。").arg(name)};
    m_sheetName = name;
    m_columns = columns;
    m_widths.assign(columns.size(), 0);
    m_row = 0;
    for (size_t c = 0; c < columns.size(); ++c) {
        const QByteArray h = columns[c].header.toUtf8();
        check(worksheet_write_string(m_sheet, 0, lxw_col_t(c), h.constData(), m_bold));
        // Long question headings wrap less than the answers below them need.
        m_widths[c] = std::min(textrules::displayWidth(columns[c].header, kMaxWidth), 24);
    }
    worksheet_freeze_panes(m_sheet, 1, 0);
    m_row = 1;
}

void XlsxSheetWriter::writeText(int column, const QString& text, const QString& identity,
                                lxw_format* format) {
    if (text.isEmpty()) return;
    bool replaced = false;
    const QString held = textrules::holdable(text, &replaced);
    if (replaced) m_cuts.push_back({m_sheetName, identity, Cut::Replaced});
    bool cut = false;
    const QString kept = textrules::cutToUnits(held, textrules::kXlsxCellMax, &cut);
    if (cut) m_cuts.push_back({m_sheetName, identity, Cut::TooLong});
    m_widths[column] = std::max(m_widths[column], textrules::displayWidth(kept, kMaxWidth));
    // Control characters libxlsxwriter escapes itself (_x0001_); a typed "_x0041_" is ours to escape.
    const QByteArray utf8 = textrules::escapeXlsx(kept).toUtf8();
    // A string cell: Excel shows it as typed, whatever it starts with.
    check(worksheet_write_string(m_sheet, m_row, lxw_col_t(column), utf8.constData(), format));
}

void XlsxSheetWriter::writeRow(const std::vector<Cell>& cells, const QString& identity) {
    for (size_t c = 0; c < m_columns.size(); ++c) {
        const Column& col = m_columns[c];
        const Cell& cell = cells[c];
        if (col.kind == Column::Tick && cell.code != Cell::kNoCode) {
            check(worksheet_write_number(m_sheet, m_row, lxw_col_t(c), cell.code, nullptr));
            m_widths[c] = std::max(m_widths[c], 1);
        } else {
            writeText(int(c), cell.text, identity, col.isIdentity ? m_textFormat : nullptr);
        }
    }
    ++m_row;
}

void XlsxSheetWriter::endSheet() {
    for (size_t c = 0; c < m_columns.size(); ++c)
        check(worksheet_set_column(m_sheet, lxw_col_t(c), lxw_col_t(c), std::max(m_widths[c], 4) + 2,
                                   m_columns[c].isIdentity ? m_textFormat : nullptr));
    m_sheet = nullptr;
}

void XlsxSheetWriter::commit() {
    lxw_workbook* book = m_book;
    m_book = nullptr;
    const lxw_error error = workbook_close(book);
    if (error != LXW_NO_ERROR)
        throw ExportError{QStringLiteral("写入文件“%1”时出错，磁盘可能已满。")
                              .arg(QDir::toNativeSeparators(m_files.target()))};
    m_files.commit();
}

}  // namespace exchange
