#pragma once

#include "ExportTypes.h"

/// The statistics workbook: a summary sheet (number of questionnaires, date, willingness) and a
/// sheet per question page (the five single-choice groups of page one, then the twelve answer
/// tables) with each option's count, its percentage of the questionnaires and a bar chart of
/// the counts. The counts are those of the statistics form (its fourteen statements, a code in
/// two spellings adding up), the page-one groups counted from BasicInfo; all read in one
/// transaction. Written under a temporary name and renamed into place.
namespace exchange {

ExportResult exportStatistics(const QString& path, const ProgressFn& progress = {});

}  // namespace exchange
