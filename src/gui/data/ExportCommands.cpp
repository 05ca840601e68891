#include "ExportCommands.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QStandardPaths>

#include "core/exchange/QuestionnaireExport.h"
#include "core/exchange/StatsWorkbook.h"
#include "gui/ui/ProgressRunner.h"
#include "gui/ui/Prompt.h"

namespace exportcommands {

namespace {

const QString kCaption = QStringLiteral("导出问卷");
const QString kStatsCaption = QStringLiteral("导出统计表");

struct FormatFilter {
    exchange::Format format;
    const char* filter;
};
const FormatFilter kFilters[] = {
    {exchange::Format::Xlsx, "Excel 工作簿 (*.xlsx)"},
    {exchange::Format::Csv, "CSV 文件，UTF-8 (*.csv)"},
    {exchange::Format::Sav, "SPSS 数据文件 (*.sav)"},
    {exchange::Format::Dta, "Stata 数据文件 (*.dta)"},
};

QString startFolder() {
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return docs.isEmpty() ? QDir::homePath() : docs;
}

// Runs `work` under the progress window; its Cancel stops the export.
template <typename Work>
exchange::ExportResult withProgress(QWidget* parent, const QString& label, const QString& caption,
                                    Work work) {
    exchange::ExportResult r;
    progressrunner::onThisThread(parent, {label, caption, QStringLiteral("Frm_ExportProgress")},
                                 [&](const ProgressFn& p) { r = work(p); });
    return r;
}

void tell(QWidget* parent, const exchange::ExportResult& r, const QString& caption) {
    if (r.ok)
        inform(parent, r.summary(), caption);
    else if (r.cancelled)
        inform(parent, QStringLiteral("导出已取消，没有写入任何文件。"), caption);
    else
        fail(parent, QStringLiteral("导出失败：%1").arg(r.error));
}

}  // namespace

void exportQuestionnaires(QWidget* parent) {
    QFileDialog dialog(parent, kCaption, startFolder());
    dialog.setObjectName(QStringLiteral("Frm_Export"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);  // it carries the layout choice
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    QStringList filters;
    for (const FormatFilter& f : kFilters) filters << QString::fromUtf8(f.filter);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(QStringLiteral("xlsx"));
    dialog.selectFile(QStringLiteral("问卷导出.xlsx"));
    QObject::connect(
        &dialog, &QFileDialog::filterSelected, &dialog, [&dialog, filters](const QString& filter) {
            const QString suffix =
                exchange::extension(kFilters[std::max<qsizetype>(0, filters.indexOf(filter))].format);
            dialog.setDefaultSuffix(suffix);
        });

    auto* layoutLabel = new QLabel(QStringLiteral("版式(&L)："), &dialog);
    auto* layout = new QComboBox(&dialog);
    layout->setObjectName(QStringLiteral("Cbx_Layout"));
    layout->addItem(QStringLiteral("每份问卷一行（选项为列）"));
    layout->addItem(QStringLiteral("按数据表原样导出（每表一页或一个文件）"));
    layoutLabel->setBuddy(layout);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        const int row = grid->rowCount();
        grid->addWidget(layoutLabel, row, 0);
        grid->addWidget(layout, row, 1);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;

    exchange::ExportOptions options;
    options.path = dialog.selectedFiles().first();
    // The name's own extension decides the format when it names one; else the chosen filter.
    if (!exchange::parseFormat(QFileInfo(options.path).suffix(), &options.format))
        options.format =
            kFilters[std::max<qsizetype>(0, filters.indexOf(dialog.selectedNameFilter()))].format;
    options.layout = layout->currentIndex() == 1 ? exchange::Layout::Tables : exchange::Layout::Wide;
    options.replace = true;  // the file dialog has asked before an existing file is replaced

    const auto r =
        withProgress(parent, QStringLiteral("正在导出问卷..."), kCaption,
                     [&](const ProgressFn& p) { return exchange::exportQuestionnaires(options, p); });
    tell(parent, r, kCaption);
}

void exportStatistics(QWidget* parent) {
    QFileDialog dialog(parent, kStatsCaption, startFolder());
    dialog.setObjectName(QStringLiteral("Frm_ExportStats"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({QString::fromUtf8(kFilters[0].filter)});
    dialog.setDefaultSuffix(QStringLiteral("xlsx"));
    dialog.selectFile(QStringLiteral("统计表.xlsx"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString path = dialog.selectedFiles().first();
    // The file dialog has asked before an existing file is replaced.
    const auto r =
        withProgress(parent, QStringLiteral("正在导出统计表..."), kStatsCaption,
                     [&](const ProgressFn& p) { return exchange::exportStatistics(path, p, true); });
    tell(parent, r, kStatsCaption);
}

}  // namespace exportcommands
