#include "ReadStatWriter.h"

#include <readstat.h>

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "core/exchange/TextRules.h"

namespace exchange {

namespace {

ssize_t writeBytes(const void* data, size_t len, void* ctx) {
    FILE* f = static_cast<FILE*>(ctx);
    return std::fwrite(data, 1, len, f) == len ? ssize_t(len) : -1;
}

struct WriterDeleter {
    void operator()(readstat_writer_t* w) const { readstat_writer_free(w); }
};

QString writeFailed(const QString& path) {
    return QStringLiteral("写入文件“%1”时出错，磁盘可能已满。").arg(QDir::toNativeSeparators(path));
}

// libreadstat 1.1.8 fills the map of a .dta file (the offsets of its sections) before it writes
// the strL texts, so the offsets of the value labels and of the file's end fall short by their
// size, and readers that follow the map (pandas among them) read garbage. Puts the right
// offsets in. The sections after the texts are small: they lie in the file's last megabyte.
bool fixDtaMap(FILE* f) {
    if (std::fflush(f) != 0 || std::fseek(f, 0, SEEK_END) != 0) return false;
    const long size = std::ftell(f);
    const long tailStart = std::max(0L, size - (1L << 20));
    QByteArray head(1024, '\0'), tail(size - tailStart, '\0');
    if (std::fseek(f, 0, SEEK_SET) != 0) return false;
    head.resize(qsizetype(std::fread(head.data(), 1, size_t(head.size()), f)));
    if (std::fseek(f, tailStart, SEEK_SET) != 0 ||
        std::fread(tail.data(), 1, size_t(tail.size()), f) != size_t(tail.size()))
        return false;
    const qsizetype map = head.indexOf("<map>");
    const qsizetype labels = tail.lastIndexOf("<value_labels>");
    const qsizetype end = tail.lastIndexOf("</stata_dta>");
    if (map < 0 || labels < 0 || end < 0) return false;
    const quint64 offsets[3] = {quint64(tailStart + labels), quint64(tailStart + end), quint64(size)};
    // Entries 11, 12 and 13 of the map: value labels, </stata_dta>, end of file (little-endian).
    unsigned char bytes[24];
    for (int i = 0; i < 3; ++i)
        for (int b = 0; b < 8; ++b) bytes[i * 8 + b] = (offsets[i] >> (8 * b)) & 0xFF;
    if (std::fseek(f, long(map + 5 + 11 * 8), SEEK_SET) != 0) return false;
    return std::fwrite(bytes, 1, sizeof bytes, f) == sizeof bytes && std::fflush(f) == 0;
}

}  // namespace

ReadStatWriter::ReadStatWriter(Kind kind, const QString& target, bool replace)
    : m_kind(kind),
      m_files(target, kind == Kind::Sav ? QStringLiteral("sav") : QStringLiteral("dta"), replace) {}

ReadStatWriter::~ReadStatWriter() = default;

void ReadStatWriter::beginSheet(const QString& name, const std::vector<Column>& columns, qint64 rows) {
    m_finalPath = m_sheets++ == 0 ? m_files.target() : m_files.besideTarget(name);
    m_tempPath = m_files.add(m_finalPath);
    m_sheetName = name;
    m_columns = columns;
    m_textIndex.assign(columns.size(), -1);
    m_textColumns = m_numberColumns = 0;
    for (size_t c = 0; c < columns.size(); ++c) {
        if (columns[c].kind == Column::Text)
            m_textIndex[c] = m_textColumns++;
        else
            ++m_numberColumns;
    }
    m_codes.clear();
    m_texts.clear();
    m_textEnds.clear();
    m_codes.reserve(size_t(std::max<qint64>(rows, 0)) * m_numberColumns);
    m_textEnds.reserve(size_t(std::max<qint64>(rows, 0)) * m_textColumns);
    m_maxBytes.assign(m_textColumns, 1);
    m_rows = 0;
}

void ReadStatWriter::writeRow(const std::vector<Cell>& cells, const QString& identity) {
    for (size_t c = 0; c < m_columns.size(); ++c) {
        const Cell& cell = cells[c];
        const int t = m_textIndex[c];
        if (t < 0) {
            m_codes.push_back(cell.code == Cell::kNoCode ? kMissing : int16_t(cell.code));
            continue;
        }
        bool replaced = false;
        // A NUL would end the C string libreadstat is given.
        QByteArray utf8 = textrules::holdable(cell.text, &replaced).toUtf8();
        if (replaced) m_cuts.push_back({m_sheetName, identity, Cut::Replaced});
        if (m_kind == Kind::Sav) {
            bool cut = false;
            utf8 = textrules::cutToBytes(utf8, textrules::kSavStringMax, &cut);
            if (cut) m_cuts.push_back({m_sheetName, identity, Cut::TooLong});
        }
        m_maxBytes[t] = std::max(m_maxBytes[t], int(std::min<qsizetype>(utf8.size(), INT_MAX)));
        m_texts.append(utf8.constData(), size_t(utf8.size()));
        m_textEnds.push_back(m_texts.size());
    }
    ++m_rows;
}

void ReadStatWriter::endSheet() {
    std::unique_ptr<readstat_writer_t, WriterDeleter> writer(readstat_writer_init());
    readstat_set_data_writer(writer.get(), &writeBytes);
    const bool dta = m_kind == Kind::Dta;
    if (dta) readstat_writer_set_file_format_version(writer.get(), 118);  // 118: UTF-8 texts

    readstat_label_set_t* ticks = nullptr;
    std::vector<readstat_variable_t*> vars(m_columns.size());
    std::vector<bool> strl(m_columns.size(), false);
    for (size_t c = 0; c < m_columns.size(); ++c) {
        const Column& col = m_columns[c];
        const QByteArray name = col.varName.toLatin1();
        const int t = m_textIndex[c];
        readstat_variable_t* v = nullptr;
        if (t >= 0) {
            const int width = m_maxBytes[t];
            strl[c] = dta && width > textrules::kDtaStrMax;
            v = readstat_add_variable(writer.get(), name.constData(),
                                      strl[c] ? READSTAT_TYPE_STRING_REF : READSTAT_TYPE_STRING,
                                      strl[c] ? 0 : size_t(width));
            if (!dta) readstat_variable_set_display_width(v, std::clamp(width, 8, 40));
        } else {
            v = readstat_add_variable(writer.get(), name.constData(),
                                      dta ? READSTAT_TYPE_INT8 : READSTAT_TYPE_DOUBLE, 0);
            readstat_label_set_t* set = nullptr;
            const readstat_type_t setType = dta ? READSTAT_TYPE_INT32 : READSTAT_TYPE_DOUBLE;
            auto label = [&](readstat_label_set_t* s, int value, const QString& text) {
                const QByteArray l = text.toUtf8();
                if (dta)
                    readstat_label_int32_value(s, value, l.constData());
                else
                    readstat_label_double_value(s, value, l.constData());
            };
            if (col.kind == Column::Tick) {
                if (!ticks) {
                    ticks = readstat_add_label_set(writer.get(), setType, "ticked");
                    label(ticks, 0, QStringLiteral("未选"));
                    label(ticks, 1, QStringLiteral("选中"));
                }
                set = ticks;
            } else {
                set = readstat_add_label_set(writer.get(), setType, name.constData());
                for (const auto& [value, text] : col.labels) label(set, value, text);
            }
            readstat_variable_set_label_set(v, set);
            readstat_variable_set_measure(v, READSTAT_MEASURE_NOMINAL);
        }
        readstat_variable_set_label(v, col.header.toUtf8().constData());
        vars[c] = v;
    }

    FILE* file = std::fopen(QFile::encodeName(m_tempPath).constData(), dta ? "w+b" : "wb");
    if (!file) throw ExportError{writeFailed(m_finalPath)};
    std::vector<char> buffer(1 << 16);
    std::setvbuf(file, buffer.data(), _IOFBF, buffer.size());
    auto fail = [&](readstat_error_t e) {
        std::fclose(file);
        if (e == READSTAT_ERROR_WRITE) throw ExportError{writeFailed(m_finalPath)};
        throw ExportError{
            QStringLiteral("写入文件“%1”时出错：%2")
                .arg(QDir::toNativeSeparators(m_finalPath), QString::fromUtf8(readstat_error_message(e)))};
    };

    readstat_error_t e = dta ? readstat_begin_writing_dta(writer.get(), file, long(m_rows))
                             : readstat_begin_writing_sav(writer.get(), file, long(m_rows));
    if (e != READSTAT_OK) fail(e);
    size_t code = 0, text = 0, start = 0;
    std::string value;
    for (qint64 r = 0; r < m_rows && e == READSTAT_OK; ++r) {
        e = readstat_begin_row(writer.get());
        for (size_t c = 0; c < m_columns.size() && e == READSTAT_OK; ++c) {
            if (m_textIndex[c] < 0) {
                const int16_t v = m_codes[code++];
                if (v == kMissing)
                    e = readstat_insert_missing_value(writer.get(), vars[c]);
                else if (dta)
                    e = readstat_insert_int8_value(writer.get(), vars[c], int8_t(v));
                else
                    e = readstat_insert_double_value(writer.get(), vars[c], v);
                continue;
            }
            const size_t end = m_textEnds[text++];
            value.assign(m_texts, start, end - start);
            start = end;
            if (strl[c])
                e = readstat_insert_string_ref(writer.get(), vars[c],
                                               readstat_add_string_ref(writer.get(), value.c_str()));
            else
                e = readstat_insert_string_value(writer.get(), vars[c], value.c_str());
        }
        if (e == READSTAT_OK) e = readstat_end_row(writer.get());
    }
    if (e == READSTAT_OK) e = readstat_end_writing(writer.get());
    if (e != READSTAT_OK) fail(e);
    if (dta && std::find(strl.begin(), strl.end(), true) != strl.end() && !fixDtaMap(file))
        fail(READSTAT_ERROR_WRITE);
    const bool flushed = std::fflush(file) == 0 && !std::ferror(file);
    if (std::fclose(file) != 0 || !flushed) throw ExportError{writeFailed(m_finalPath)};

    // The rows are written: free them before the next sheet.
    std::vector<int16_t>().swap(m_codes);
    std::string().swap(m_texts);
    std::vector<size_t>().swap(m_textEnds);
}

void ReadStatWriter::commit() { m_files.commit(); }

}  // namespace exchange
