#pragma once

#include <QString>
#include <QStringList>
#include <climits>
#include <functional>
#include <utility>
#include <vector>

#include "core/store/Progress.h"

/// The plain types the exports share: formats and layouts, the columns and cells of a sheet,
/// the options and the result of an export.
namespace exchange {

/// Csv is the CSV for spreadsheets (what the menu writes); CsvPlain the same rows for programs,
/// every text exactly as stored.
enum class Format { Xlsx, Csv, Sav, Dta, CsvPlain };
enum class Layout { Wide, Tables };

/// "xlsx", "csv", "sav", "dta", "csv-plain" (letter case ignored); false for anything else.
bool parseFormat(const QString& text, Format* out);
/// "wide" or "tables"; false for anything else.
bool parseLayout(const QString& text, Layout* out);
/// The file extension of a format, without the dot.
QString extension(Format format);

/// One column of a sheet.
struct Column {
    enum Kind {
        Text,    ///< a text cell
        Choice,  ///< a single choice: the option's caption (xlsx, csv) or its code with value labels
        Tick,    ///< a 0/1 box (value labels 未选 / 选中 in sav and dta)
    };
    QString header;   ///< the Chinese heading (the variable label in sav and dta)
    QString varName;  ///< the ASCII variable name for sav and dta
    Kind kind = Text;
    std::vector<std::pair<int, QString>> labels;  ///< value labels of a Choice column
    bool isIdentity = false;                      ///< the identity number: always text
};

/// One cell: a text, or (Choice, Tick) a code; kNoCode when the cell is empty.
struct Cell {
    static constexpr int kNoCode = INT_MIN;
    QString text;
    int code = kNoCode;
};

/// A text that a file does not hold as typed: cut to the format's limit, or with characters
/// that the format cannot hold written visibly in their place (see textrules::holdable).
struct Cut {
    enum Why { TooLong, Replaced };
    QString sheet;
    QString identity;
    Why why = TooLong;
};

/// Raised by writers and the reader; `message` is the Chinese text shown to the user.
struct ExportError {
    QString message;
};

struct ExportOptions {
    Format format = Format::Xlsx;
    Layout layout = Layout::Wide;
    QString path;          ///< the target file; further sheets of csv, sav and dta go beside it
    bool replace = false;  ///< an existing file at the target (or beside it) may be replaced
};

struct ExportResult {
    bool ok = false;
    bool cancelled = false;
    QString error;              ///< why it failed (Chinese), when !ok and !cancelled
    qint64 questionnaires = 0;  ///< BasicInfo rows written
    qint64 unknownRows = 0;     ///< rows on the "未能识别的数据" sheet
    QStringList files;          ///< the files written, the target first
    std::vector<Cut> cuts;      ///< texts cut to the format's limit or with characters replaced

    /// The closing message: the number written, the cuts and the unrecognised rows.
    QString summary() const;
};

/// The sheet name of the rows that match no option.
QString unknownSheetName();

}  // namespace exchange
