#include "TFrm_Query.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <utility>

#include "core/store/DbError.h"
#include "core/store/SqlQuery.h"
#include "core/store/SurveyStore.h"
#include "gui/forms/QuestionnairePages.h"
#include "gui/forms/RecordLookup.h"
#include "gui/ui/FixedDialog.h"
#include "gui/ui/Prompt.h"
#include "gui/ui/StatusPanels.h"

using namespace catalogue;

namespace {

const QString kCaption = QStringLiteral("提示");
constexpr int kMaxIdLength = 18;

QPushButton* plainButton(const char* name, const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setFixedSize(75, 25);
    // Enter never clicks a button by itself.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

}  // namespace

TFrm_Query::TFrm_Query(QWidget* parent) : HintedForm(parent) {
    setUpFixedDialog(this, QStringLiteral("Frm_Query"), QStringLiteral("查询信息"), QSize(691, 387));

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(2);
    auto* layout = new QVBoxLayout;
    layout->setContentsMargins(4, 2, 4, 0);
    layout->setSpacing(4);
    outer->addLayout(layout, 1);

    GroupBox1 = new QGroupBox(QStringLiteral("输入查询"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* row = new QHBoxLayout(GroupBox1);
    row->setContentsMargins(12, 4, 12, 6);
    row->setSpacing(8);
    Label24 = new QLabel(QStringLiteral("身份证号码："), GroupBox1);
    Label24->setObjectName(QStringLiteral("Label24"));
    Edt_ID = new QLineEdit(GroupBox1);
    Edt_ID->setObjectName(QStringLiteral("Edt_ID"));
    Edt_ID->setMaxLength(kMaxIdLength);  // any key is taken as typed: no validator here
    Edt_ID->setFixedWidth(170);
    Edt_ID->installEventFilter(this);
    Btn_Qry = plainButton("Btn_Qry", QStringLiteral("查询(&V)"), GroupBox1);
    Btn_Delete = plainButton("Btn_Delete", QStringLiteral("删除(&D)"), GroupBox1);
    Button2 = plainButton("Button2", QStringLiteral("关闭(&C)"), GroupBox1);
    row->addWidget(Label24);
    row->addWidget(Edt_ID);
    row->addSpacing(16);
    row->addWidget(Btn_Qry);
    row->addWidget(Btn_Delete);
    row->addWidget(Button2);
    row->addStretch(1);
    layout->addWidget(GroupBox1);

    PageControl1 = new QuestionnairePages(FormKind::Query, this);
    layout->addWidget(PageControl1, 1);

    SB = new StatusPanels({250, 50}, this);
    SB->setObjectName(QStringLiteral("SB"));
    outer->addWidget(SB);

    // The buttons stand Qry, Delete, Close; the Tab key visits Close before Delete.
    QWidget::setTabOrder(Edt_ID, Btn_Qry);
    QWidget::setTabOrder(Btn_Qry, Button2);
    QWidget::setTabOrder(Button2, Btn_Delete);
    QWidget::setTabOrder(Btn_Delete, PageControl1);

    connect(Btn_Qry, &QPushButton::clicked, this, &TFrm_Query::Btn_QryClick);
    connect(Btn_Delete, &QPushButton::clicked, this, &TFrm_Query::Btn_DeleteClick);
    connect(Button2, &QPushButton::clicked, this, &TFrm_Query::Button2Click);
    showHintsOf(PageControl1, SB);

    FormCreate();
}

TFrm_Query::~TFrm_Query() = default;

void TFrm_Query::FormCreate() {
    m_query = std::make_unique<SqlQuery>(QStringLiteral("MyDb"));
    PageControl1->setCurrentIndex(0);
    Btn_Delete->setEnabled(false);
    Edt_ID->setFocus();
}

void TFrm_Query::startWith(const QString& id) { m_startId = id; }

void TFrm_Query::showEvent(QShowEvent* event) {
    HintedForm::showEvent(event);
    if (event->spontaneous() || !m_startId) return;
    // After the form is on screen, so that the lookup's messages stand over it.
    QMetaObject::invokeMethod(
        this, [this] { RecordLookup::typeAndEnter(Edt_ID, *std::exchange(m_startId, std::nullopt)); },
        Qt::QueuedConnection);
}

void TFrm_Query::FormClose() { m_query.reset(); }

void TFrm_Query::closeEvent(QCloseEvent* event) {
    FormClose();
    QDialog::closeEvent(event);
}

void TFrm_Query::Button2Click() { close(); }

void TFrm_Query::keyPressEvent(QKeyEvent* event) {
    // Esc does nothing here; only the close box and Button2 close the form.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TFrm_Query::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edt_ID && event->type() == QEvent::KeyPress)
        return Edt_IDKeyPress(static_cast<QKeyEvent*>(event));
    return QDialog::eventFilter(watched, event);
}

bool TFrm_Query::Edt_IDKeyPress(const QKeyEvent* key) {
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
    Btn_QryClick();
    return true;
}

void TFrm_Query::Btn_QryClick() {
    if (!m_query) return;
    RecordLookup::run(
        {this, Edt_ID, PageControl1, SB, m_query.get(), [this] { Btn_Delete->setEnabled(true); }});
}

void TFrm_Query::Btn_DeleteClick() {
    if (!m_query) return;
    if (!confirm(this, QStringLiteral("你真的要删除此条记录吗？"), QStringLiteral("确认"))) return;
    if (trimmedText(Edt_ID->text()).isEmpty()) {
        inform(this, QStringLiteral("请输入身份证号！"), kCaption);
        return;
    }
    SB->setPanelText(0, QStringLiteral("正在删除记录..."));
    QString outcome = QStringLiteral("删除成功！");
    try {
        // The number as stored ("…x" typed or stored by another program is one number), then
        // one transaction: the questionnaire goes from all thirteen tables or stays whole.
        SurveyStore store(*m_query);
        store.remove(store.storedNumber(Edt_ID->text()));
    } catch (const StoreFailure&) {
        outcome = QStringLiteral("删除失败！");
    } catch (const DbError&) {
        outcome = QStringLiteral("删除失败！");
    }
    inform(this, outcome, kCaption);
    SB->setPanelText(0, outcome);
}
