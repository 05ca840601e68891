#pragma once

#include <memory>

#include "core/exchange/CsvFile.h"
#include "core/exchange/SheetWriter.h"
#include "core/exchange/TargetFiles.h"

namespace exchange {

/// CSV files, one per sheet, written by CsvFile (for spreadsheets or, plain, for programs). The
/// first sheet goes to the target, each further one to "<stem>_<sheet>.csv" beside it. Texts
/// are kept whole; characters no file holds are written visibly and reported.
class CsvWriter final : public SheetWriter {
public:
    CsvWriter(const QString& target, bool replace, CsvFile::Flavour flavour);
    ~CsvWriter() override;

    void beginSheet(const QString& name, const std::vector<Column>& columns, qint64 rows) override;
    void writeRow(const std::vector<Cell>& cells, const QString& identity) override;
    void endSheet() override;
    void commit() override;
    QStringList files() const override { return m_files.finalPaths(); }
    const std::vector<Cut>& cuts() const override { return m_cuts; }

private:
    TargetFiles m_files;
    CsvFile::Flavour m_flavour;
    std::unique_ptr<CsvFile> m_file;
    std::vector<Column> m_columns;
    std::vector<CsvFile::Kind> m_kinds;
    std::vector<Cut> m_cuts;  // characters replaced; csv keeps every text whole
    QString m_sheetName;
    int m_sheets = 0;
};

}  // namespace exchange
