#include "TFrm_Find.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <exception>

#include "core/store/DbError.h"
#include "gui/data/FindResultsModel.h"
#include "gui/forms/TFrm_Edit.h"
#include "gui/forms/TFrm_Query.h"
#include "gui/ui/FormRunner.h"
#include "gui/ui/Prompt.h"
#include "gui/ui/StatusPanels.h"

namespace {

const QString kCaption = QStringLiteral("提示");
const QString kFailed = QStringLiteral("查找失败！");

QPushButton* plainButton(const char* name, const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setMinimumWidth(75);
    // As on every window of the register, Enter never clicks a button by itself.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

}  // namespace

TFrm_Find::TFrm_Find(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Frm_Find"));
    setWindowTitle(QStringLiteral("查找问卷"));
    // A list window: it may be resized, unlike the record forms.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    QFont song(QStringLiteral("宋体"));
    song.setPixelSize(12);
    setFont(song);
    resize(780, 460);
    setMinimumSize(520, 300);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(8, 8, 8, 6);
    body->setSpacing(6);
    outer->addLayout(body, 1);

    auto* searchRow = new QHBoxLayout;
    Label1 = new QLabel(QStringLiteral("查找(&S)："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Edt_Search = new QLineEdit(this);
    Edt_Search->setObjectName(QStringLiteral("Edt_Search"));
    Edt_Search->setPlaceholderText(
        QStringLiteral("姓名、住址、工作单位、电话或身份证号码的一部分，可输入几个词"));
    Edt_Search->setClearButtonEnabled(true);
    Label1->setBuddy(Edt_Search);
    searchRow->addWidget(Label1);
    searchRow->addWidget(Edt_Search, 1);
    body->addLayout(searchRow);

    m_model = new FindResultsModel(this);
    Grid_Results = new QTableView(this);
    Grid_Results->setObjectName(QStringLiteral("Grid_Results"));
    Grid_Results->setModel(m_model);
    Grid_Results->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid_Results->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid_Results->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid_Results->setTabKeyNavigation(false);  // Tab leaves the table for the buttons
    Grid_Results->setWordWrap(false);
    Grid_Results->setAlternatingRowColors(true);
    // Rows of one height, never measured: the view must not read every row of a large register.
    QHeaderView* rows = Grid_Results->verticalHeader();
    rows->setVisible(false);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 6);
    QHeaderView* columns = Grid_Results->horizontalHeader();
    columns->setHighlightSections(false);
    columns->setStretchLastSection(true);
    const int widths[] = {150, 64, 200, 120, 100, 70};
    for (int c = 0; c < int(std::size(widths)); ++c) columns->resizeSection(c, widths[c]);
    columns->setSortIndicator(RegisterSearch::Id, Qt::AscendingOrder);
    Grid_Results->setSortingEnabled(true);
    body->addWidget(Grid_Results, 1);

    auto* buttons = new QHBoxLayout;
    Btn_View = plainButton("Btn_View", QStringLiteral("查看(&V)"), this);
    Btn_Edit = plainButton("Btn_Edit", QStringLiteral("修改(&E)"), this);
    Btn_Close = plainButton("Btn_Close", QStringLiteral("关闭(&C)"), this);
    buttons->addWidget(Btn_View);
    buttons->addWidget(Btn_Edit);
    buttons->addStretch(1);
    buttons->addWidget(Btn_Close);
    body->addLayout(buttons);

    SB = new StatusPanels({}, this);
    SB->setObjectName(QStringLiteral("SB"));
    outer->addWidget(SB);

    setTabOrder(Edt_Search, Grid_Results);
    setTabOrder(Grid_Results, Btn_View);
    setTabOrder(Btn_View, Btn_Edit);
    setTabOrder(Btn_Edit, Btn_Close);

    m_typing = new QTimer(this);
    m_typing->setSingleShot(true);
    m_typing->setInterval(kTypingPause);
    connect(m_typing, &QTimer::timeout, this, &TFrm_Find::Edt_SearchChange);
    connect(Edt_Search, &QLineEdit::textChanged, m_typing, qOverload<>(&QTimer::start));
    connect(Edt_Search, &QLineEdit::returnPressed, this, &TFrm_Find::Edt_SearchChange);
    Edt_Search->installEventFilter(this);
    Grid_Results->installEventFilter(this);
    connect(Grid_Results, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid()) Btn_ViewClick();
    });
    connect(Grid_Results->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TFrm_Find::updateButtons);
    // Every new list (a search, a sort, a reload) keeps the current questionnaire current.
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, &TFrm_Find::rememberCurrent);
    connect(m_model, &QAbstractItemModel::modelReset, this, &TFrm_Find::restoreCurrent);
    connect(m_model, &QAbstractItemModel::modelReset, this, &TFrm_Find::updateButtons);
    connect(m_model, &QAbstractItemModel::modelReset, this, &TFrm_Find::showCount);
    connect(m_model, &FindResultsModel::readFailed, this, &TFrm_Find::reportFailure);
    connect(Btn_View, &QPushButton::clicked, this, &TFrm_Find::Btn_ViewClick);
    connect(Btn_Edit, &QPushButton::clicked, this, &TFrm_Find::Btn_EditClick);
    connect(Btn_Close, &QPushButton::clicked, this, &QDialog::reject);

    Edt_Search->setFocus();
    updateButtons();
}

TFrm_Find::~TFrm_Find() = default;

void TFrm_Find::showEvent(QShowEvent* event) {
    // The whole register is listed before the window is first painted.
    if (!m_loaded) {
        m_loaded = true;
        reload(-1);
    }
    QDialog::showEvent(event);
}

QString TFrm_Find::currentId() const {
    const QModelIndex current = Grid_Results->currentIndex();
    return current.isValid() ? m_model->idAt(current.row()) : QString();
}

void TFrm_Find::Edt_SearchChange() {
    m_typing->stop();
    try {
        m_model->search(Edt_Search->text());
    } catch (const DbError&) {
        reportFailure();
    }
}

void TFrm_Find::reload(int neighbour) {
    m_neighbour = neighbour;
    try {
        m_model->search(Edt_Search->text());
    } catch (const DbError&) {
        reportFailure();
    }
    m_neighbour = -1;
}

void TFrm_Find::rememberCurrent() { m_keepId = currentId(); }

void TFrm_Find::restoreCurrent() {
    const int count = m_model->rowCount();
    if (count == 0) return;
    int row = m_keepId.isEmpty() ? -1 : m_model->rowOf(m_keepId);
    // Gone (deleted, or no longer matching): after a form closed its neighbour takes its place,
    // after a new search the first match.
    if (row < 0) row = m_neighbour >= 0 ? qMin(m_neighbour, count - 1) : 0;
    Grid_Results->setCurrentIndex(m_model->index(row, 0));
}

void TFrm_Find::showCount() {
    const int n = m_model->rowCount();
    if (RegisterSearch::words(m_model->typed()).isEmpty())
        SB->setPanelText(0, QStringLiteral("共 %1 份问卷").arg(n));
    else if (n == 0)
        SB->setPanelText(0, QStringLiteral("没有找到符合条件的问卷"));
    else
        SB->setPanelText(0, QStringLiteral("找到 %1 份问卷").arg(n));
}

void TFrm_Find::updateButtons() {
    const bool any = Grid_Results->currentIndex().isValid();
    Btn_View->setEnabled(any);
    Btn_Edit->setEnabled(any);
}

void TFrm_Find::reportFailure() {
    SB->setPanelText(0, kFailed);
    // Not from inside a show or paint: the box waits for the event loop.
    QMetaObject::invokeMethod(
        this, [this] { inform(this, kFailed, kCaption); }, Qt::QueuedConnection);
}

void TFrm_Find::Btn_ViewClick() {
    open([](QWidget* parent, const QString& id) -> QDialog* {
        auto* form = new TFrm_Query(parent);
        form->startWith(id);
        return form;
    });
}

void TFrm_Find::Btn_EditClick() {
    open([](QWidget* parent, const QString& id) -> QDialog* {
        auto* form = new TFrm_Edit(parent);
        form->startWith(id);
        return form;
    });
}

void TFrm_Find::open(const FormFactory& make) {
    const QString id = currentId();
    if (id.isEmpty()) return;
    const int row = Grid_Results->currentIndex().row();
    m_typing->stop();
    // No statement of this window stays prepared while the form reads and writes.
    m_model->release();
    formrunner::run(this, [&](QWidget* parent) { return make(parent, id); });
    // The questionnaire may have been changed or deleted meanwhile.
    reload(row);
    Grid_Results->setFocus();
}

bool TFrm_Find::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (watched == Grid_Results && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            Btn_ViewClick();
            return true;
        }
        if (watched == Edt_Search && key == Qt::Key_Down && m_model->rowCount() > 0) {
            // Down from the field goes into the list, as in a search box.
            if (m_typing->isActive()) Edt_SearchChange();
            Grid_Results->setFocus();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
