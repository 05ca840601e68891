#include "TFrm_New.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include "core/questionnaire/Catalogue.h"
#include "core/store/SqlQuery.h"
#include "core/store/SurveyStore.h"
#include "gui/forms/KeyPreview.h"
#include "gui/forms/QuestionnairePages.h"
#include "gui/forms/RecordForms.h"
#include "gui/ui/BusyCursor.h"
#include "gui/ui/FixedDialog.h"
#include "gui/ui/Prompt.h"
#include "gui/ui/StatusPanels.h"

using namespace catalogue;

namespace {

const QSize kClientSize(697, 406);
const QPoint kDesignPosition(77, 88);

QPushButton* makeButton(const QString& name, const QString& caption, QPoint at, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setGeometry(QRect(at, QSize(75, 25)));
    // Enter moves the focus on; it must never click a button by itself.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

}  // namespace

TFrm_New::TFrm_New(QWidget* parent) : HintedForm(parent) {
    setUpFixedDialog(this, QStringLiteral("Frm_New"), QStringLiteral("新增信息"), kClientSize);
    move(kDesignPosition);

    PageControl1 = new QuestionnairePages(FormKind::New, this);
    PageControl1->setGeometry(0, 1, 689, 353);
    Button1 = makeButton(QStringLiteral("Button1"), QStringLiteral("确定(&C)"), {112, 360}, this);
    Button2 = makeButton(QStringLiteral("Button2"), QStringLiteral("取消(&C)"), {400, 360}, this);
    SB = new StatusPanels({150, 50}, this);
    SB->setObjectName(QStringLiteral("SB"));
    const int sbHeight = SB->sizeHint().height();
    SB->setGeometry(0, kClientSize.height() - sbHeight, kClientSize.width(), sbHeight);

    // Tab order: the tab control, every page's controls as the catalogue orders them, then the buttons.
    QWidget* last = PageControl1;
    for (int page = 0; page < PageControl1->count(); ++page)
        for (QWidget* w : PageControl1->tabOrder(page)) {
            QWidget::setTabOrder(last, w);
            last = w;
        }
    QWidget::setTabOrder(last, Button1);
    QWidget::setTabOrder(Button1, Button2);

    m_keys = new KeyPreview(this);
    connect(m_keys, &KeyPreview::keyDown, this, &TFrm_New::FormKeyDown);
    connect(Button1, &QPushButton::clicked, this, &TFrm_New::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TFrm_New::Button2Click);
    showHintsOf(PageControl1, SB);

    FormCreate();
}

TFrm_New::~TFrm_New() = default;

void TFrm_New::FormCreate() {
    PageControl1->setCurrentIndex(0);
    m_query = std::make_unique<SqlQuery>(QStringLiteral("MyDb"));
    ClearForm();
}

void TFrm_New::FormShow() { PageControl1->idEdit()->setFocus(); }

void TFrm_New::FormClose() { m_query.reset(); }

void TFrm_New::FormKeyDown(int key) {
    // Enter has already been turned into a move to the next control; other keys pass unchanged.
    if (focusWidget() == PageControl1->idEdit()) Edt_IDKeyPress(key);
}

void TFrm_New::Edt_IDKeyPress(int) {
    // The identity-number validator keeps the field to digits (and a final X), typed or pasted.
}

void TFrm_New::Button1Click() {
    const Answers answers = PageControl1->answers();
    if (const auto failure = checks::firstFailure(answers, FormKind::New)) {
        recordforms::showCheckFailure(this, PageControl1, *failure);
        return;
    }
    if (!storeAnswers(answers)) return;
    inform(this, QStringLiteral("新增记录成功！"), QStringLiteral("提示"));
    ClearForm();
    // Staff type questionnaires one after another: start the next one at once.
    PageControl1->idEdit()->setFocus();
}

bool TFrm_New::storeAnswers(const Answers& answers) {
    if (!m_query) m_query = std::make_unique<SqlQuery>(QStringLiteral("MyDb"));
    BusyCursor busy;
    try {
        SurveyStore(*m_query).store(answers);
    } catch (const StoreFailure& failure) {
        // The message comes up while the hourglass is still shown, as the run ended there.
        inform(this, recordforms::storeFailureMessage(failure.table), QStringLiteral("提示"));
        return false;
    }
    busy.restore();
    return true;
}

void TFrm_New::Button2Click() { close(); }

void TFrm_New::ClearForm() {
    PageControl1->setCurrentIndex(0);
    PageControl1->clearAnswers();
    PageControl1->idEdit()->clear();
}

int TFrm_New::CountOnes(const QString& choice) { return checks::CountOnes(choice); }

void TFrm_New::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TFrm_New::closeEvent(QCloseEvent* event) {
    FormClose();
    QDialog::closeEvent(event);
}
