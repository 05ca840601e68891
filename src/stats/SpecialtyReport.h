#pragma once

class QWidget;

namespace specialtyreport {
/// The specialty report's preview (menu 专业及特长统计): creates the report form, previews,
/// and destroys it, also after an error. Returns when the preview window has closed.
void preview(QWidget* parent);
}  // namespace specialtyreport
