#pragma once

#include <QList>
#include <QString>

#include "PageLayout.h"
#include "ReportDefinition.h"
#include "RowSource.h"

class QPagedPaintDevice;
class QPrinter;
class QWidget;

namespace report {

/// A report definition bound to its rows, with its outputs: the preview window, paper and PDF.
/// Every output lays the rows out afresh, so it shows the rows as they are at that moment.
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

    /// Opens the preview window titled `caption` (A4 portrait, zoom 100 %), from which the user
    /// prints or saves a PDF; returns when the window has been closed.
    void preview(QWidget* parent, const QString& caption) const;
    /// Prints on `printer` as it has been set up (paper forced to the report's).
    bool print(QPrinter& printer) const;
    /// Writes the report to a PDF file; false with a reason in `error` when it cannot.
    bool exportPdf(const QString& file, const QString& title = QString(), QString* error = nullptr) const;

    /// Sets up a printer for this report: A4 portrait without printer margins, one copy,
    /// all pages, automatic tray, no duplex.
    void preparePrinter(QPrinter& printer) const;
    /// Paints laid-out pages on a paged device whose page is the whole paper.
    static bool paintPages(QPagedPaintDevice& device, const QList<PageLayout>& pages);

private:
    void lockPaper(QPrinter& printer) const;

    Definition m_def;
    RowSource* m_rows = nullptr;
};

}  // namespace report
