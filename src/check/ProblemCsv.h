#pragma once

#include <QString>

#include "check/CheckProblem.h"

/// The data check's list as a CSV file: UTF-8 with a byte-order mark (so spreadsheet programs
/// read the Chinese texts), one header line, CRLF line ends, fields quoted as RFC 4180 says.
namespace problemcsv {

/// The whole file's text.
QByteArray render(const CheckResult& result);
/// Writes the file under a temporary name beside `path` and renames it into place; on failure
/// nothing is left behind and `error` says why.
bool write(const CheckResult& result, const QString& path, QString* error = nullptr);

}  // namespace problemcsv
