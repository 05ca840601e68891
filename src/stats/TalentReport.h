#pragma once

#include <QString>

class QWidget;

namespace talentreport {
/// The specialty report's preview (menu 专业及特长统计): creates the report form, previews,
/// and destroys it, also after an error. Returns when the preview window has closed.
void preview(QWidget* parent);

/// Renders the report with the current counts to a PDF file. False, with the reason in
/// `error`, when the file cannot be written; a query that cannot be read gives the empty
/// report, as the preview would, after the error box.
bool exportPdf(const QString& file, QString* error = nullptr);
}  // namespace talentreport
