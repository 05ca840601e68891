#include "ReportPreview.h"

#include <QComboBox>
#include <QPageLayout>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>

namespace reportpreview {

namespace {

void lockPaper(const report::BandedReport& report, QPrinter& printer) {
    // The layout is made for one paper; whatever the dialogs chose, print on that paper.
    printer.setFullPage(true);
    printer.setPageLayout(report.paperLayout());
}

}  // namespace

void preparePrinter(const report::BandedReport& report, QPrinter& printer) {
    lockPaper(report, printer);
    printer.setCopyCount(1);
    printer.setPrintRange(QPrinter::AllPages);
    printer.setPaperSource(QPrinter::Auto);
    printer.setDuplex(QPrinter::DuplexNone);
    if (!report.definition().name.isEmpty()) printer.setDocName(report.definition().name);
}

bool print(const report::BandedReport& report, QPrinter& printer) {
    lockPaper(report, printer);
    return report::BandedReport::paintPages(printer, report.layout());
}

void preview(const report::BandedReport& report, QWidget* parent, const QString& caption) {
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(report, printer);
    // Laid out once when the window opens; every repaint and every print shows these pages.
    const QList<report::PageLayout> pages = report.layout();

    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(caption);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&report, &pages](QPrinter* target) {
                         lockPaper(report, *target);
                         report::BandedReport::paintPages(*target, pages);
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

}  // namespace reportpreview
