#pragma once

#include <cstdint>
#include <string>

#include "core/exchange/SheetWriter.h"
#include "core/exchange/TargetFiles.h"

namespace exchange {

/// SPSS .sav or Stata .dta files written by libreadstat, one file per sheet (the first at the
/// target, further ones beside it). Variables have ASCII names and the Chinese headings as
/// labels; single-choice columns are numeric codes with value labels, 0/1 columns carry
/// "未选"/"选中"; texts (the identity number among them) are string variables.
///
/// The files need every string variable's width before the first row, so a sheet's rows are
/// kept (compactly) until the sheet ends. SPSS strings hold at most 32,767 bytes: a longer text
/// is cut and the cut reported. Stata keeps long texts whole as strL. What neither holds (a NUL,
/// an unpaired surrogate) is written visibly and reported (textrules::holdable).
class ReadStatWriter final : public SheetWriter {
public:
    enum class Kind { Sav, Dta };
    ReadStatWriter(Kind kind, const QString& target, bool replace);
    ~ReadStatWriter() override;

    void beginSheet(const QString& name, const std::vector<Column>& columns, qint64 rows) override;
    void writeRow(const std::vector<Cell>& cells, const QString& identity) override;
    void endSheet() override;
    void commit() override;
    QStringList files() const override { return m_files.finalPaths(); }
    const std::vector<Cut>& cuts() const override { return m_cuts; }

private:
    static constexpr int16_t kMissing = INT16_MIN;

    Kind m_kind;
    TargetFiles m_files;
    int m_sheets = 0;
    QString m_sheetName;
    QString m_finalPath;
    QString m_tempPath;
    std::vector<Column> m_columns;
    std::vector<int> m_textIndex;  // per column: its place among the text columns, or -1
    int m_textColumns = 0;
    int m_numberColumns = 0;
    // The kept rows: codes of the numeric columns, and the texts end to end in one buffer.
    std::vector<int16_t> m_codes;
    std::string m_texts;
    std::vector<size_t> m_textEnds;
    std::vector<int> m_maxBytes;
    std::vector<Cut> m_cuts;
    qint64 m_rows = 0;
};

}  // namespace exchange
