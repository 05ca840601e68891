#include "BandedReport.h"

#include <QComboBox>
#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>

#include "PagePainter.h"
#include "Paginator.h"

namespace report {

namespace {

QPageLayout paperLayout(const Definition& def) {
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

void BandedReport::lockPaper(QPrinter& printer) const {
    // The layout is made for one paper; whatever the dialogs chose, print on that paper.
    printer.setFullPage(true);
    printer.setPageLayout(paperLayout(m_def));
}

void BandedReport::preparePrinter(QPrinter& printer) const {
    lockPaper(printer);
    printer.setCopyCount(1);
    printer.setPrintRange(QPrinter::AllPages);
    printer.setPaperSource(QPrinter::Auto);
    printer.setDuplex(QPrinter::DuplexNone);
    if (!m_def.name.isEmpty()) printer.setDocName(m_def.name);
}

bool BandedReport::print(QPrinter& printer) const {
    lockPaper(printer);
    return paintPages(printer, layout());
}

void BandedReport::preview(QWidget* parent, const QString& caption) const {
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer);
    // Laid out once when the window opens; every repaint and every print shows these pages.
    const QList<PageLayout> pages = layout();

    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(caption);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [this, &pages](QPrinter* target) {
                         lockPaper(*target);
                         paintPages(*target, pages);
                     });
    // Zoom 100 %: through the dialog's own zoom box, so that its fit buttons let go too.
    auto* zoomBox = dialog.findChild<QComboBox*>();
    const int actualSize = zoomBox ? zoomBox->findText(QStringLiteral("100%")) : -1;
    if (actualSize >= 0) {
        zoomBox->setCurrentIndex(actualSize);
    } else if (auto* view = dialog.findChild<QPrintPreviewWidget*>()) {
        view->setZoomMode(QPrintPreviewWidget::CustomZoom);
        view->setZoomFactor(1.0);
    }
    dialog.exec();
}

bool BandedReport::exportPdf(const QString& file, const QString& title, QString* error) const {
    const QList<PageLayout> pages = layout();
    QPdfWriter writer(file);
    writer.setResolution(1200);
    writer.setPageLayout(paperLayout(m_def));
    writer.setCreator(QStringLiteral("Quenvale"));
    writer.setTitle(title.isEmpty() ? m_def.name : title);
    if (!paintPages(writer, pages)) {
        if (error) *error = QStringLiteral("cannot write %1").arg(QFileInfo(file).absoluteFilePath());
        return false;
    }
    return true;
}

}  // namespace report
