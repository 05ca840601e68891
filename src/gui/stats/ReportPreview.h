#pragma once

#include <QString>

#include "core/report/BandedReport.h"

class QPrinter;
class QWidget;

/// The desktop program's outputs of a laid-out report: the print preview window and paper.
namespace reportpreview {

/// Opens the preview window titled `caption` (the report's paper, zoom 100 %), from which the
/// user prints or saves a PDF; returns when the window has been closed.
void preview(const report::BandedReport& report, QWidget* parent, const QString& caption);
/// Prints on `printer` as it has been set up (paper forced to the report's).
bool print(const report::BandedReport& report, QPrinter& printer);
/// Sets up a printer for a report: its paper without printer margins, one copy, all pages,
/// automatic tray, no duplex.
void preparePrinter(const report::BandedReport& report, QPrinter& printer);

}  // namespace reportpreview
