#include "RecordLookup.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include "core/store/SurveyStore.h"
#include "gui/forms/QuestionnairePages.h"
#include "gui/ui/Prompt.h"
#include "gui/ui/StatusPanels.h"

namespace {
const QString kCaption = QStringLiteral("提示");
}

void RecordLookup::typeAndEnter(QLineEdit* idEdit, const QString& id) {
    idEdit->setFocus(Qt::OtherFocusReason);
    idEdit->clear();
    idEdit->insert(id);
    // A real key event, so that it passes the same filters as a key typed on the keyboard.
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QCoreApplication::sendEvent(idEdit, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QCoreApplication::sendEvent(idEdit, &release);
}

bool RecordLookup::run(const Host& h) {
    h.status->setPanelText(0, QStringLiteral("正在查询相关信息,请稍候..."));
    if (trimmedText(h.idEdit->text()).isEmpty()) {
        inform(h.form, QStringLiteral("请输入身份证号码"), kCaption);
        return false;
    }
    SurveyStore store(*h.query);
    const LookupResult result = store.readTyped(h.idEdit->text());
    if (result.status == LookupResult::NotFound) {
        inform(h.form, QStringLiteral("没有符合条件的记录"), kCaption);
        h.status->setPanelText(0, QStringLiteral("查询成功,没有符合条件的记录！"));
        return false;
    }
    if (result.found) {
        // A found record replaces whatever the pages showed before.
        h.pages->clearAnswers();
        h.pages->load(result.answers);
    }
    if (result.status == LookupResult::Failed) {
        inform(h.form, QStringLiteral("查询失败！"), kCaption);
        h.status->setPanelText(0, QStringLiteral("查询失败！"));
        return false;
    }
    h.status->setPanelText(0, QStringLiteral("查询成功！"));
    if (h.loaded) *h.loaded = result.answers;
    if (h.onSuccess) h.onSuccess();
    return true;
}
