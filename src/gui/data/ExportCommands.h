#pragma once

class QWidget;

/// The data menu's export commands in the desktop program: a file dialog (the formats as its
/// filters, the layout as a choice), a cancellable progress dialog, then a message with the
/// number of questionnaires written or the reason it failed. The work itself is the export
/// core's (QuestionnaireExport, StatsWorkbook), the same that quenvale-cli runs.
namespace exportcommands {

/// "导出问卷(&X)...": the file dialog is named "Frm_Export", its layout choice "Cbx_Layout".
void exportQuestionnaires(QWidget* parent);
/// "导出统计表(&S)...": the file dialog is named "Frm_ExportStats".
void exportStatistics(QWidget* parent);

}  // namespace exportcommands
