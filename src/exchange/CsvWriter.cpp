#include "CsvWriter.h"

#include <QFile>

#include "TextRules.h"

namespace exchange {

namespace {

QString writeFailed(const QString& path) {
    return QStringLiteral("写入文件“%1”时出错，磁盘可能已满。").arg(path);
}

}  // namespace

CsvWriter::CsvWriter(const QString& target) : m_files(target) {}

CsvWriter::~CsvWriter() {
    if (m_file) std::fclose(m_file);
}

void CsvWriter::beginSheet(const QString& name, const std::vector<Column>& columns, qint64) {
    const QString path = m_sheets++ == 0 ? m_files.target() : m_files.besideTarget(name);
    m_tempPath = m_files.add(path);
    m_finalPath = path;
    m_file = std::fopen(QFile::encodeName(m_tempPath).constData(), "wb");
    if (!m_file) throw ExportError{writeFailed(path)};
    m_buffer.resize(1 << 16);
    std::setvbuf(m_file, m_buffer.data(), _IOFBF, m_buffer.size());
    m_columns = columns;
    m_line = "\xEF\xBB\xBF";  // byte-order mark
    for (size_t c = 0; c < columns.size(); ++c) field(columns[c].header, c == 0);
    endLine();
}

void CsvWriter::field(const QString& text, bool first) {
    if (!first) m_line += ',';
    const QString shown = textrules::looksLikeFormula(text) ? u'\'' + text : text;
    const QByteArray utf8 = shown.toUtf8();
    bool quote = false;
    for (char ch : utf8)
        if (ch == ',' || ch == '"' || ch == '\n' || ch == '\r') {
            quote = true;
            break;
        }
    if (!quote) {
        m_line.append(utf8.constData(), utf8.size());
        return;
    }
    m_line += '"';
    for (char ch : utf8) {
        if (ch == '"') m_line += '"';
        m_line += ch;
    }
    m_line += '"';
}

void CsvWriter::writeRow(const std::vector<Cell>& cells, const QString&) {
    for (size_t c = 0; c < m_columns.size(); ++c) {
        const Cell& cell = cells[c];
        if (m_columns[c].kind == Column::Tick && cell.code != Cell::kNoCode) {
            // 0 or 1: no text to convert, nothing to quote.
            if (c) m_line += ',';
            m_line += std::to_string(cell.code);
        } else if (cell.text.isEmpty()) {
            if (c) m_line += ',';
        } else {
            field(cell.text, c == 0);  // a text, or a choice's caption
        }
    }
    endLine();
}

void CsvWriter::endLine() {
    m_line += "\r\n";
    put(m_line);
    m_line.clear();
}

void CsvWriter::put(const std::string& bytes) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size())
        throw ExportError{writeFailed(m_finalPath)};
}

void CsvWriter::closeFile() {
    if (!m_file) return;
    const bool ok = std::fflush(m_file) == 0 && !std::ferror(m_file);
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    if (!ok || !closed) throw ExportError{writeFailed(m_finalPath)};
}

void CsvWriter::endSheet() { closeFile(); }

void CsvWriter::commit() {
    closeFile();
    m_files.commit();
}

}  // namespace exchange
