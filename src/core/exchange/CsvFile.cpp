#include "CsvFile.h"

#include <QDir>
#include <QFile>

#include "core/exchange/ExportTypes.h"
#include "core/exchange/TargetFiles.h"
#include "core/exchange/TextRules.h"

namespace exchange {

namespace {

QString writeFailed(const QString& path) {
    return QStringLiteral("写入文件“%1”时出错，磁盘可能已满。").arg(QDir::toNativeSeparators(path));
}

bool isWholeNumber(const QString& text) {
    if (text.isEmpty() || text.size() > 18) return false;
    for (qsizetype i = text[0] == u'-' && text.size() > 1 ? 1 : 0; i < text.size(); ++i)
        if (text[i] < u'0' || text[i] > u'9') return false;
    return true;
}

// The apostrophe goes before a text a spreadsheet would run, and before a text that would
// otherwise read as one the apostrophe was put before.
bool needsApostrophe(const QString& t) {
    if (textrules::looksLikeFormula(t)) return true;
    if (t.size() < 2 || t[0] != u'\'') return false;
    return t[1] == u'\'' || textrules::looksLikeFormula(t.mid(1, 1));
}

}  // namespace

QByteArray CsvFile::encode(const QString& text, Kind kind, Flavour flavour, bool* replaced) {
    bool changed = false;
    QString t = textrules::holdable(text, &changed);
    if (replaced) *replaced = changed;
    if (flavour == Flavour::Spreadsheet && !t.isEmpty() &&
        (kind == Kind::Text || (kind == Kind::Number && !isWholeNumber(t)))) {
        if (needsApostrophe(t))
            t.prepend(u'\'');
        else if (textrules::looksLikeNumber(t))
            t.prepend(u'\t');
    }
    QByteArray f = t.toUtf8();
    // RFC 4180 quotes separators, quotes, line ends; a tab and blanks at either end are quoted
    // too, as some readers would drop them.
    const bool quote = f.contains(',') || f.contains('"') || f.contains('\n') || f.contains('\r') ||
                       f.contains('\t') || (!f.isEmpty() && (f.front() == ' ' || f.back() == ' '));
    if (!quote) return f;
    f.replace("\"", "\"\"");
    return '"' + f + '"';
}

CsvFile::CsvFile(const QString& path, const QString& shownPath, Flavour flavour)
    : m_shown(shownPath), m_flavour(flavour) {
    m_file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!m_file) throw ExportError{writeFailed(shownPath)};
    m_buffer.resize(1 << 16);
    std::setvbuf(m_file, m_buffer.data(), _IOFBF, m_buffer.size());
    if (flavour == Flavour::Spreadsheet) m_line = "\xEF\xBB\xBF";  // so that Excel reads UTF-8
}

CsvFile::~CsvFile() {
    if (m_file) std::fclose(m_file);
}

bool CsvFile::field(const QString& text, Kind kind) {
    if (!m_first) m_line += ',';
    m_first = false;
    if (text.isEmpty()) return false;
    bool replaced = false;
    const QByteArray f = encode(text, kind, m_flavour, &replaced);
    m_line.append(f.constData(), size_t(f.size()));
    return replaced;
}

void CsvFile::number(qint64 value) {
    if (!m_first) m_line += ',';
    m_first = false;
    m_line += std::to_string(value);
}

void CsvFile::endRow() {
    m_line += "\r\n";
    m_first = true;
    put();
}

void CsvFile::put() {
    if (std::fwrite(m_line.data(), 1, m_line.size(), m_file) != m_line.size())
        throw ExportError{writeFailed(m_shown)};
    m_line.clear();
}

void CsvFile::close() {
    if (!m_file) return;
    if (!m_line.empty()) put();
    const bool ok = std::fflush(m_file) == 0 && !std::ferror(m_file);
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    if (!ok || !closed) throw ExportError{writeFailed(m_shown)};
}

int CsvFile::writeTable(const QString& target, bool replace, const Columns& columns,
                        const QList<QStringList>& rows, Flavour flavour) {
    TargetFiles files(target, QStringLiteral("csv"), replace);
    const QString temp = files.add(files.target());
    int replaced = 0;
    {
        CsvFile csv(temp, files.target(), flavour);
        for (const auto& [heading, kind] : columns) csv.field(heading, Kind::Label);
        csv.endRow();
        for (const QStringList& row : rows) {
            for (size_t c = 0; c < columns.size(); ++c)
                replaced += csv.field(row.value(qsizetype(c)), columns[c].second) ? 1 : 0;
            csv.endRow();
        }
        csv.close();
    }
    files.commit();
    return replaced;
}

}  // namespace exchange
