#include "TalentReport.h"

#include <exception>
#include <memory>

#include "TFrm_Report.h"
#include "ui/Prompt.h"

namespace talentreport {

void preview(QWidget* parent) {
    std::unique_ptr<TFrm_Report> form;
    try {
        form = std::make_unique<TFrm_Report>(parent);
        form->Rpt_Special.preview(parent, form->windowTitle());
    } catch (const std::exception& e) {
        fail(parent, QString::fromUtf8(e.what()));
    }
    // The form and its query go here, also after an error.
}

bool exportPdf(const QString& file, QString* error) {
    try {
        TFrm_Report form;
        return form.Rpt_Special.exportPdf(file, QStringLiteral("专业及特长人数统计"), error);
    } catch (const std::exception& e) {
        if (error) *error = QString::fromUtf8(e.what());
        return false;
    }
}

}  // namespace talentreport
