#include "CsvWriter.h"

namespace exchange {

CsvWriter::CsvWriter(const QString& target, bool replace, CsvFile::Flavour flavour)
    : m_files(target, QStringLiteral("csv"), replace), m_flavour(flavour) {}

CsvWriter::~CsvWriter() = default;

void CsvWriter::beginSheet(const QString& name, const std::vector<Column>& columns, qint64) {
    const QString path = m_sheets++ == 0 ? m_files.target() : m_files.besideTarget(name);
    m_file = std::make_unique<CsvFile>(m_files.add(path), path, m_flavour);
    m_sheetName = name;
    m_columns = columns;
    m_kinds.clear();
    for (const Column& c : columns) {
        m_kinds.push_back(c.kind == Column::Tick     ? CsvFile::Kind::Number
                          : c.kind == Column::Choice ? CsvFile::Kind::Label  // an option's caption
                                                     : CsvFile::Kind::Text);
        m_file->field(c.header, CsvFile::Kind::Label);
    }
    m_file->endRow();
}

void CsvWriter::writeRow(const std::vector<Cell>& cells, const QString& identity) {
    for (size_t c = 0; c < m_columns.size(); ++c) {
        const Cell& cell = cells[c];
        if (m_columns[c].kind == Column::Tick && cell.code != Cell::kNoCode)
            m_file->number(cell.code);  // 0 or 1: no text to convert, nothing to quote
        else if (m_file->field(cell.text, m_kinds[c]))
            m_cuts.push_back({m_sheetName, identity, Cut::Replaced});
    }
    m_file->endRow();
}

void CsvWriter::endSheet() {
    if (m_file) m_file->close();
    m_file.reset();
}

void CsvWriter::commit() {
    endSheet();
    m_files.commit();
}

}  // namespace exchange
