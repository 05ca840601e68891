#pragma once

#include <QList>
#include <QString>

#include "core/report/PageLayout.h"
#include "core/report/ReportDefinition.h"
#include "core/report/RowSource.h"

class QPageLayout;
class QPagedPaintDevice;

namespace report {

/// A report definition bound to its rows, laid out into pages and written to PDF. Every output
/// lays the rows out afresh, so it shows the rows as they are at that moment. The preview window
/// and paper are the desktop program's (ReportPreview).
class BandedReport {
public:
    BandedReport() = default;
    explicit BandedReport(Definition definition, RowSource* rows = nullptr);

    Definition& definition() { return m_def; }
    const Definition& definition() const { return m_def; }
    void setRowSource(RowSource* rows) { m_rows = rows; }
    RowSource* rowSource() const { return m_rows; }

    /// The pages as they would print now.
    QList<PageLayout> layout() const;

    /// Writes the report to a PDF file; false with a reason in `error` when it cannot.
    bool exportPdf(const QString& file, const QString& title = QString(), QString* error = nullptr) const;

    /// The report's paper without margins, as every output uses it.
    QPageLayout paperLayout() const;
    /// Paints laid-out pages on a paged device whose page is the whole paper.
    static bool paintPages(QPagedPaintDevice& device, const QList<PageLayout>& pages);

private:
    Definition m_def;
    RowSource* m_rows = nullptr;
};

}  // namespace report
