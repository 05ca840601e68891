#pragma once

#include "core/exchange/SheetWriter.h"
#include "core/exchange/TargetFiles.h"

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace exchange {

/// One Excel workbook, a worksheet per sheet, written by libxlsxwriter in constant-memory mode
/// (each row goes to disk as it is written). The header row is bold and frozen, the columns
/// as wide as their texts, the identity number a text cell (never a number that Excel would show
/// as 1.1E+17), and every text a string cell, so that a text starting with "=" is shown, never
/// run. A text longer than Excel's 32,767 characters is cut and the cut reported. Texts show as
/// typed: an "_xHHHH_" in a text is escaped (spreadsheets decode those sequences), and what a
/// workbook cannot hold (a NUL, an unpaired surrogate, U+FFFE, U+FFFF) is written visibly and
/// reported (textrules::holdable).
class XlsxSheetWriter final : public SheetWriter {
public:
    XlsxSheetWriter(const QString& target, bool replace);
    ~XlsxSheetWriter() override;

    void beginSheet(const QString& name, const std::vector<Column>& columns, qint64 rows) override;
    void writeRow(const std::vector<Cell>& cells, const QString& identity) override;
    void endSheet() override;
    void commit() override;
    QStringList files() const override { return m_files.finalPaths(); }
    const std::vector<Cut>& cuts() const override { return m_cuts; }

private:
    void check(int error) const;
    void writeText(int column, const QString& text, const QString& identity, lxw_format* format);

    TargetFiles m_files;
    QString m_temp;
    lxw_workbook* m_book = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    lxw_format* m_bold = nullptr;
    lxw_format* m_textFormat = nullptr;
    QString m_sheetName;
    std::vector<Column> m_columns;
    std::vector<int> m_widths;
    std::vector<Cut> m_cuts;
    quint32 m_row = 0;
};

}  // namespace exchange
