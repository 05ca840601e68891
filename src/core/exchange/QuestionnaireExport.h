#pragma once

#include <memory>

#include "core/exchange/ExportTypes.h"
#include "core/exchange/SheetWriter.h"

/// Exporting the questionnaires: the whole register, read in one consistent snapshot (one read
/// transaction on the connection "MyDb"), in the wide or the tables layout, to xlsx, csv, sav or
/// dta (CSV for spreadsheets or plain). The files appear at the target only when everything was
/// written; a failed, cancelled or killed export leaves no file and an existing target
/// untouched. An existing target is replaced only when the options say so.
namespace exchange {

/// The writer for a format (raises ExportError when the target rule refuses the target).
std::unique_ptr<SheetWriter> makeWriter(Format format, const QString& target, bool replace);

/// Runs the export. `progress` (may be empty) is called now and then; when it returns false
/// the export stops and writes nothing.
ExportResult exportQuestionnaires(const ExportOptions& options, const ProgressFn& progress = {});

}  // namespace exchange
