#include "TFrm_Report.h"

#include <QCloseEvent>
#include <exception>
#include <memory>

#include "core/store/DbError.h"
#include "gui/stats/ReportPreview.h"
#include "gui/ui/Prompt.h"

TFrm_Report::TFrm_Report(QWidget* host) : QWidget(nullptr), m_host(host) {
    setObjectName(QStringLiteral("Frm_Report"));
    setWindowTitle(QStringLiteral("报表预览和打印"));
    Qry_Special.setSql(specialSql(), {}, QStringLiteral("special"));
    Rpt_Special = report::BandedReport(specialReport(), this);
    FormCreate();
}

TFrm_Report::~TFrm_Report() = default;

void TFrm_Report::FormCreate() {
    try {
        m_rows.open();
    } catch (const DbError& e) {
        // The preview still opens, with no rows.
        fail(m_host, QStringLiteral("无法打开专业及特长统计的数据（%1）。").arg(e.statement()));
    }
}

void TFrm_Report::FormClose() {
    if (Qry_Special.isOpen()) Qry_Special.close();
}

void TFrm_Report::closeEvent(QCloseEvent* event) {
    FormClose();
    QWidget::closeEvent(event);
}

namespace talentreport {

void preview(QWidget* parent) {
    std::unique_ptr<TFrm_Report> form;
    try {
        form = std::make_unique<TFrm_Report>(parent);
        reportpreview::preview(form->Rpt_Special, parent, form->windowTitle());
    } catch (const std::exception& e) {
        fail(parent, QString::fromUtf8(e.what()));
    }
    // The form and its query go here, also after an error.
}

}  // namespace talentreport
