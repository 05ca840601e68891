#include "RecordForms.h"

#include "gui/forms/QuestionnairePages.h"
#include "gui/ui/Prompt.h"

namespace recordforms {

QString storeFailureMessage(int table) {
    if (table <= 3) return QStringLiteral("新增失败！,请检查身份证号码！");  // BasicInfo .. Team
    if (table == 4) return QStringLiteral("新增失败,请检查身份证号码！");    // Service
    return QStringLiteral("新增失败！");
}

void showCheckFailure(QWidget* form, QuestionnairePages* pages, const checks::Failure& failure) {
    inform(form, failure.message, failure.caption);
    switch (failure.then) {
        case checks::Then::Nothing:
            break;
        case checks::Then::ShowPage:
            pages->setCurrentIndex(failure.page);
            break;
        case checks::Then::Focus:
            if (QWidget* w = pages->control(failure.control)) {
                pages->setCurrentIndex(pages->pageOf(w));
                w->setFocus(Qt::OtherFocusReason);
            }
            break;
    }
}

}  // namespace recordforms
