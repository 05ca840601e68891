#include "BandedReport.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

#include "core/report/PagePainter.h"
#include "core/report/Paginator.h"

namespace report {

namespace {

QPageLayout layoutFor(const Definition& def) {
    const QPageSize size(def.paper, QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch);
    const auto orientation =
        def.paper.width() > def.paper.height() ? QPageLayout::Landscape : QPageLayout::Portrait;
    return QPageLayout(size, orientation, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

}  // namespace

BandedReport::BandedReport(Definition definition, RowSource* rows)
    : m_def(std::move(definition)), m_rows(rows) {}

QList<PageLayout> BandedReport::layout() const { return Paginator(m_def).run(m_rows); }

bool BandedReport::paintPages(QPagedPaintDevice& device, const QList<PageLayout>& pages) {
    QPainter painter;
    if (!painter.begin(&device)) return false;
    for (int i = 0; i < pages.size(); ++i) {
        if (i > 0 && !device.newPage()) return false;
        PagePainter::paint(painter, pages[i]);
    }
    return painter.end();
}

QPageLayout BandedReport::paperLayout() const { return layoutFor(m_def); }

bool BandedReport::exportPdf(const QString& file, const QString& title, QString* error) const {
    const QList<PageLayout> pages = layout();
    QPdfWriter writer(file);
    writer.setResolution(1200);
    writer.setPageLayout(layoutFor(m_def));
    writer.setCreator(QStringLiteral("Quenvale"));
    writer.setTitle(title.isEmpty() ? m_def.name : title);
    if (!paintPages(writer, pages)) {
        if (error) *error = QStringLiteral("cannot write %1").arg(QFileInfo(file).absoluteFilePath());
        return false;
    }
    return true;
}

}  // namespace report
