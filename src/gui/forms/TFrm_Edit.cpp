#include "TFrm_Edit.h"

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <utility>

#include "core/questionnaire/Checks.h"
#include "core/store/SqlQuery.h"
#include "core/store/SurveyStore.h"
#include "gui/forms/IdNumberValidator.h"
#include "gui/forms/KeyPreview.h"
#include "gui/forms/QuestionnairePages.h"
#include "gui/forms/RecordForms.h"
#include "gui/forms/RecordLookup.h"
#include "gui/ui/BusyCursor.h"
#include "gui/ui/FixedDialog.h"
#include "gui/ui/Prompt.h"
#include "gui/ui/StatusPanels.h"

namespace {

constexpr int kClientWidth = 689;
constexpr int kClientHeight = 376;
constexpr int kGroupHeight = 53;
constexpr int kPagesHeight = 313;
constexpr int kStatusHeight = 19;  // at least; as tall as the font needs
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kButtonGap = 5;
constexpr int kIdWidth = 233;

const QString kCaption = QStringLiteral("提示");

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text, int left, int top) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(left, top, kButtonWidth, kButtonHeight);
    // Enter moves the focus on; it must never click a button by itself.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

}  // namespace

TFrm_Edit::TFrm_Edit(QWidget* parent) : QDialog(parent) {
    setUpFixedDialog(this, QStringLiteral("Frm_Edit"), QStringLiteral("修改记录"),
                     QSize(kClientWidth, kClientHeight));

    GroupBox1 = new QGroupBox(QStringLiteral("输入查询"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(2, 0, kClientWidth - 4, kGroupHeight - 2);  // its frame stays in view

    constexpr int rowTop = 21;  // below the caption
    Label24 = new QLabel(QStringLiteral("身份证号码："), GroupBox1);
    Label24->setObjectName(QStringLiteral("Label24"));
    Label24->setGeometry(12, rowTop, 76, kButtonHeight);
    Label24->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    Edt_ID = new QLineEdit(GroupBox1);
    Edt_ID->setObjectName(QStringLiteral("Edt_ID"));
    Edt_ID->setGeometry(Label24->geometry().right() + 3, rowTop + 2, kIdWidth, 21);
    Edt_ID->setMaxLength(IdNumberValidator::kMaxLength);
    Edt_ID->setValidator(new IdNumberValidator(Edt_ID));

    // Left to right: query, save, cancel, close.
    int left = Edt_ID->geometry().right() + 16;
    Btn_Qry = makeButton(GroupBox1, "Btn_Qry", QStringLiteral("查询(&V)"), left, rowTop);
    left += kButtonWidth + kButtonGap;
    Btn_Save = makeButton(GroupBox1, "Btn_Save", QStringLiteral("保存(&S)"), left, rowTop);
    left += kButtonWidth + kButtonGap;
    Btn_Cancel = makeButton(GroupBox1, "Btn_Cancel", QStringLiteral("取消(&C)"), left, rowTop);
    left += kButtonWidth + kButtonGap;
    // Despite its caption, not the cancel button: Esc does nothing on this form.
    Button2 = makeButton(GroupBox1, "Button2", QStringLiteral("关闭(Esc)"), left, rowTop);

    PageControl1 = new QuestionnairePages(catalogue::FormKind::Edit, this);
    PageControl1->setGeometry(0, kGroupHeight, kClientWidth, kPagesHeight);

    // The status bar lies over the bottom edge of the pages, which holds no control.
    Sb = new StatusPanels({150, 50}, this);
    Sb->setObjectName(QStringLiteral("Sb"));
    const int statusHeight = std::max(kStatusHeight, Sb->sizeHint().height());
    Sb->setGeometry(0, kClientHeight - statusHeight, kClientWidth, statusHeight);
    Sb->raise();

    setTabOrder(Edt_ID, Btn_Qry);
    setTabOrder(Btn_Qry, Button2);
    setTabOrder(Button2, Btn_Save);
    setTabOrder(Btn_Save, Btn_Cancel);
    setTabOrder(Btn_Cancel, PageControl1);

    m_keys = new KeyPreview(this);
    connect(m_keys, &KeyPreview::keyDown, this, &TFrm_Edit::FormKeyDown);
    Edt_ID->installEventFilter(this);
    connect(Btn_Qry, &QPushButton::clicked, this, &TFrm_Edit::Btn_QryClick);
    connect(Btn_Save, &QPushButton::clicked, this, &TFrm_Edit::Btn_SaveClick);
    connect(Btn_Cancel, &QPushButton::clicked, this, &TFrm_Edit::Btn_CancelClick);
    connect(Button2, &QPushButton::clicked, this, &TFrm_Edit::Button2Click);

    setState(State::Searching);
    FormCreate();
}

TFrm_Edit::~TFrm_Edit() = default;

void TFrm_Edit::FormCreate() {
    // The code list of a storage run is built by the store's encoding step, not kept here.
    m_query = std::make_unique<SqlQuery>(QStringLiteral("MyDB"));
}

void TFrm_Edit::FormShow() {
    PageControl1->setCurrentIndex(0);
    Edt_ID->setFocus(Qt::OtherFocusReason);
}

void TFrm_Edit::FormClose() { m_query.reset(); }

void TFrm_Edit::FormKeyDown(int) {}

void TFrm_Edit::Edt_IDKeyPress(int key) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter) Btn_QryClick();
}

void TFrm_Edit::Btn_QryClick() {
    if (!m_query) return;
    RecordLookup::run(
        {this, Edt_ID, PageControl1, Sb, m_query.get(), [this] { setState(State::Editing); }, &m_loaded});
}

void TFrm_Edit::Btn_SaveClick() {
    if (!m_query) return;
    Answers answers = PageControl1->answers();
    // The questionnaire the lookup found, under its number as stored.
    answers.id = m_loaded.id;

    if (const auto failure = checks::firstFailure(answers, catalogue::FormKind::Edit)) {
        recordforms::showCheckFailure(this, PageControl1, *failure);
        return;
    }

    if (!saveGuarded(answers)) return;
    inform(this, QStringLiteral("修改记录成功！"), kCaption);
    setState(State::Ended);
}

namespace {

// The pages whose answers differ between two readings of a questionnaire, by tab caption.
QStringList changedPages(const Answers& a, const Answers& b) {
    QList<int> pages;
    if (a.name != b.name || a.address != b.address || a.workUnit != b.workUnit || a.phone != b.phone)
        pages << 0;
    for (const catalogue::Group& g : catalogue::groups())
        if (!(a[g.id] == b[g.id]) && !pages.contains(g.page)) pages << g.page;
    std::sort(pages.begin(), pages.end());
    QStringList out;
    for (int p : pages) out << QString::fromUtf8(catalogue::pages().at(p).caption);
    return out;
}

}  // namespace

bool TFrm_Edit::saveGuarded(const Answers& answers) {
    SurveyStore::Guard outcome;
    Answers current;
    {
        BusyCursor hourglass;
        try {
            outcome = SurveyStore(*m_query).replace(answers, m_loaded, &current);
        } catch (const StoreFailure& failure) {
            // Shown under the hourglass; the old questionnaire is still stored, whole.
            inform(this, recordforms::storeFailureMessage(failure.table), kCaption);
            return false;
        }
    }
    if (outcome == SurveyStore::Guard::Replaced) return true;
    // Another clerk changed or deleted it since the lookup: nothing was written.
    const QString text = outcome == SurveyStore::Guard::DeletedMeanwhile
                             ? QStringLiteral(
                                   "此记录在您修改期间已被删除，您的修改尚未保存。\n"
                                   "是否仍按您的修改保存？选“否”可继续修改。")
                             : QStringLiteral(
                                   "此记录在您修改期间已被修改（%1），您的修改尚未保存。\n"
                                   "是否用您的修改覆盖？选“否”可继续修改。")
                                   .arg(changedPages(m_loaded, current).join(QStringLiteral("、")));
    if (!confirm(this, text, kCaption)) return false;
    BusyCursor hourglass;
    try {
        SurveyStore(*m_query).replace(answers);
    } catch (const StoreFailure& failure) {
        inform(this, recordforms::storeFailureMessage(failure.table), kCaption);
        return false;
    }
    return true;
}

void TFrm_Edit::Btn_CancelClick() { setState(State::Ended); }

void TFrm_Edit::Button2Click() { close(); }

TFrm_Edit::State TFrm_Edit::state() const {
    if (Btn_Save->isEnabled()) return State::Editing;
    return Edt_ID->isEnabled() ? State::Searching : State::Ended;
}

void TFrm_Edit::setState(State s) {
    // Ended is reached only from Editing: Edt_ID stays disabled for the rest of the form's life.
    Edt_ID->setEnabled(s == State::Searching);
    Btn_Qry->setEnabled(s != State::Editing);
    Btn_Save->setEnabled(s == State::Editing);
    Btn_Cancel->setEnabled(s == State::Editing);
}

void TFrm_Edit::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    FormShow();
    if (!m_startId) return;
    // After the form is on screen, so that the lookup's messages stand over it.
    QMetaObject::invokeMethod(
        this, [this] { RecordLookup::typeAndEnter(Edt_ID, *std::exchange(m_startId, std::nullopt)); },
        Qt::QueuedConnection);
}

void TFrm_Edit::startWith(const QString& id) { m_startId = id; }

void TFrm_Edit::keyPressEvent(QKeyEvent* event) {
    // Esc has no binding here; QDialog would take it for reject().
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TFrm_Edit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edt_ID && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Edt_IDKeyPress(key);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFrm_Edit::done(int result) {
    FormClose();
    QDialog::done(result);
}
