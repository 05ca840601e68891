#pragma once

#include <cstdio>
#include <string>

#include "SheetWriter.h"
#include "TargetFiles.h"

namespace exchange {

/// CSV files, one per sheet: UTF-8 with a byte-order mark (so that Excel shows Chinese),
/// RFC 4180 quoting and CRLF line ends. The first sheet goes to the target, each further one to
/// "<stem>_<sheet>.csv" beside it. Texts are kept whole; one that a spreadsheet would run as a
/// formula is prefixed with an apostrophe.
class CsvWriter final : public SheetWriter {
public:
    explicit CsvWriter(const QString& target);
    ~CsvWriter() override;

    void beginSheet(const QString& name, const std::vector<Column>& columns, qint64 rows) override;
    void writeRow(const std::vector<Cell>& cells, const QString& identity) override;
    void endSheet() override;
    void commit() override;
    QStringList files() const override { return m_files.finalPaths(); }
    const std::vector<Cut>& cuts() const override { return m_cuts; }

private:
    void field(const QString& text, bool first);
    void put(const std::string& bytes);
    void endLine();
    void closeFile();

    TargetFiles m_files;
    std::vector<Column> m_columns;
    std::vector<Cut> m_cuts;  // always empty: csv keeps every text whole
    FILE* m_file = nullptr;
    QString m_tempPath;
    QString m_finalPath;
    std::vector<char> m_buffer;
    std::string m_line;
    int m_sheets = 0;
};

}  // namespace exchange
