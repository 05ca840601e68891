#pragma once

#include <QByteArray>
#include <QString>

/// What the file formats allow in a text, and how wide it shows.
namespace textrules {

/// True when a spreadsheet would run the text as a formula: it starts with =, +, -, @, a tab
/// or a carriage return.
bool looksLikeFormula(const QString& text);

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
