#pragma once

#include <QByteArray>
#include <QString>

/// What the file formats allow in a text, and how wide it shows.
namespace textrules {

/// True when a spreadsheet would run the text as a formula: it starts with =, +, -, @, a tab
/// or a carriage return, or with a full-width ＝, ＋, －, ＠ (which some spreadsheets fold to
/// their ASCII forms as they read).
bool looksLikeFormula(const QString& text);

/// True when a spreadsheet's default CSV import would turn the text into something else than
/// the text: a number (a phone loses its leading 0, an identity number becomes 1.1E+17), a
/// date, a time, a percentage or a truth value. Any text that starts with a digit counts, and
/// so do a few other starts that spreadsheets read as numbers.
bool looksLikeNumber(const QString& text);

/// The text with what no file of the register holds written visibly: a NUL as "␀" (U+2400,
/// which no spreadsheet keeps in a cell), an unpaired surrogate or the non-characters U+FFFE
/// and U+FFFF (which UTF-8 and XML cannot carry) as "�" (U+FFFD). `changed` tells whether
/// anything was replaced.
QString holdable(const QString& text, bool* changed);

/// A text as an Excel cell must be written for it to show as typed: the "_" that begins an
/// escape such as "_x0041_" is itself escaped ("_x005F_x0041_"), as spreadsheets decode those
/// sequences.
QString escapeXlsx(const QString& text);

/// The text cut to at most `units` UTF-16 code units, never inside a surrogate pair.
/// `cut` tells whether anything was removed.
QString cutToUnits(const QString& text, int units, bool* cut);

/// The UTF-8 bytes cut to at most `bytes`, never inside a character.
QByteArray cutToBytes(const QByteArray& utf8, int bytes, bool* cut);

/// The width a text takes in a spreadsheet column, in characters: wide (CJK) characters count
/// two. Stops counting at `cap`.
int displayWidth(const QString& text, int cap);

/// Excel's longest cell text, and SPSS's longest string (in bytes).
constexpr int kXlsxCellMax = 32767;
constexpr int kSavStringMax = 32767;
/// Stata's longest fixed string (bytes); longer texts go to strL.
constexpr int kDtaStrMax = 2045;

}  // namespace textrules
