#pragma once

#include <QString>

#include "core/check/CheckProblem.h"

/// The data check's list as a CSV file for spreadsheets, written by the register's one CSV
/// writer (exchange::CsvFile): UTF-8 with a byte-order mark, one header line, CRLF line ends,
/// RFC 4180 quoting, identity numbers kept as text and no text run as a formula.
namespace problemcsv {

/// The whole file's text.
QByteArray render(const CheckResult& result);
/// Writes the file under a temporary name beside `path` and renames it into place, by the
/// target rule (an existing file only when `replace`); on failure nothing is left behind and
/// `error` says why, in Chinese.
bool write(const CheckResult& result, const QString& path, QString* error = nullptr, bool replace = false);

}  // namespace problemcsv
