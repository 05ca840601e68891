#include "SpecialtyReport.h"

namespace specialtyreport {
void preview(QWidget*) {}
}  // namespace specialtyreport
