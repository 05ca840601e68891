#pragma once

#include "core/exchange/ExportTypes.h"

/// The statistics workbook: a summary sheet (number of questionnaires, date, willingness) and a
/// sheet per question page (the five single-choice groups of page one, then the twelve answer
/// tables) with each option's count, its percentage of the questionnaires and a bar chart of
/// the counts. The counts are those of the statistics form (its fourteen statements, a code in
/// two spellings adding up), the page-one groups counted from BasicInfo; all read in one
/// transaction. A stored value that counts nowhere (empty, NULL, no option's code) never stops
/// the workbook: it is listed with its rows on the sheet "未能识别的数据". Written under a
/// temporary name and renamed into place; an existing file is replaced only when `replace`.
namespace exchange {

ExportResult exportStatistics(const QString& path, const ProgressFn& progress = {}, bool replace = false);

}  // namespace exchange
