#pragma once

#include <QString>

struct MergePlan;

/// A merge's report as a CSV file for spreadsheets, written by the register's one CSV writer
/// (exchange::CsvFile): a line per difference of each conflict (identity number, 冲突, page,
/// item, ours, theirs, which is kept) and a line per questionnaire or row that is not
/// importable. The texts come from another office's register: they are kept texts, never
/// formulas, and identity numbers stay digit for digit.
namespace mergereport {

/// Writes the report to `file` by the target rule (an existing file only when `replace`),
/// through a temporary renamed into place. On failure `error` says why, in Chinese.
bool write(const MergePlan& plan, const QString& file, QString* error = nullptr, bool replace = false);

}  // namespace mergereport
