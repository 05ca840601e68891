#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace exchange {

/// Every CSV file the register writes is written by this class: UTF-8, RFC 4180 quoting, CRLF
/// line ends.
///
/// A CSV for spreadsheets (the default) starts with a byte-order mark, so that Excel reads it
/// as UTF-8, and keeps each text a text when a spreadsheet's default import opens it:
/// - a text a spreadsheet would run as a formula (it starts with = + - @ ＝ ＋ － ＠, a tab or a
///   carriage return) is written after an apostrophe, and so is a text that starts with an
///   apostrophe followed by one of those or by another apostrophe;
/// - a text the import would turn into a number or a date (an identity number, a phone with its
///   leading 0, any text that starts with a digit; textrules::looksLikeNumber) is written after
///   a tab, which shows as nothing and keeps the cell a text, digit for digit.
/// A program gets every text back exactly with one rule: when a field starts with a tab, or
/// with an apostrophe followed by one of = + - @ ' ＝ ＋ － ＠, a tab or a carriage return,
/// drop that first character.
///
/// A plain CSV (for programs) has no byte-order mark and every text exactly as stored.
///
/// In both, what no file holds (a NUL, an unpaired surrogate: textrules::holdable) is written
/// visibly, and the writer says so.
class CsvFile {
public:
    /// How a column's fields are written in a CSV for spreadsheets.
    enum class Kind {
        Text,    ///< a stored text, or one that came from elsewhere: kept a text as above
        Number,  ///< a whole number the program wrote (a count, a 0/1 box): as it is
        Label,   ///< a fixed text of the program (a heading, a kind, an option's caption): as it is
    };
    enum class Flavour { Spreadsheet, Plain };
    using Columns = std::vector<std::pair<QString, Kind>>;

    /// Opens `path` (a temporary the caller renames into place) for writing; `shownPath` names
    /// the file in messages. Raises ExportError.
    CsvFile(const QString& path, const QString& shownPath, Flavour flavour);
    ~CsvFile();
    CsvFile(const CsvFile&) = delete;
    CsvFile& operator=(const CsvFile&) = delete;

    /// Appends a field to the current line; true when characters had to be replaced.
    bool field(const QString& text, Kind kind);
    /// Appends a whole number.
    void number(qint64 value);
    /// Ends the current line.
    void endRow();
    /// Flushes and closes the file. Raises ExportError.
    void close();

    /// One field as it appears in the file, separators not included.
    static QByteArray encode(const QString& text, Kind kind, Flavour flavour, bool* replaced = nullptr);

    /// A whole table: the headings, then the rows (a text per column), to `target` under the
    /// target rule, through a temporary renamed into place. Returns the number of fields whose
    /// characters were replaced. Raises ExportError.
    static int writeTable(const QString& target, bool replace, const Columns& columns,
                          const QList<QStringList>& rows, Flavour flavour = Flavour::Spreadsheet);

private:
    void append(const QString& text, Kind kind, bool* replaced);
    void put();

    std::FILE* m_file = nullptr;
    QString m_shown;
    Flavour m_flavour;
    std::vector<char> m_buffer;
    std::string m_line;
    bool m_first = true;
};

}  // namespace exchange
