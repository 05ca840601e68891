#include "TFrm_Check.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/check/RegisterCheck.h"
#include "core/store/DbError.h"
#include "gui/ui/BusyCursor.h"
#include "gui/ui/ProgressRunner.h"
#include "gui/ui/Prompt.h"

namespace {

constexpr int kProblemRole = Qt::UserRole;   // index into the result's problems, or -1 for a group
constexpr int kSortRole = Qt::UserRole + 1;  // what column 0 sorts by

// Groups keep the check's order of kinds whichever column sorts and in which direction;
// rows sort by their column (the records of one resident stay together by identity number).
class Item : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const QTreeWidget* tree = treeWidget();
        const int column = tree ? tree->sortColumn() : 0;
        if (!parent()) {
            const bool ascending = !tree || tree->header()->sortIndicatorOrder() == Qt::AscendingOrder;
            const int a = data(0, kSortRole).toInt(), b = other.data(0, kSortRole).toInt();
            return ascending ? a < b : a > b;
        }
        if (column == 0) return data(0, kSortRole).toString() < other.data(0, kSortRole).toString();
        return text(column) < other.text(column);
    }
};

}  // namespace

TFrm_Check::TFrm_Check(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Frm_Check"));
    setWindowTitle(QStringLiteral("数据检查"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    QFont song(QStringLiteral("宋体"));
    song.setPixelSize(12);
    setFont(song);
    resize(780, 480);

    auto* column = new QVBoxLayout(this);
    Lbl_Summary = new QLabel(this);
    Lbl_Summary->setObjectName(QStringLiteral("Lbl_Summary"));
    column->addWidget(Lbl_Summary);

    Tree_Problems = new QTreeWidget(this);
    Tree_Problems->setObjectName(QStringLiteral("Tree_Problems"));
    Tree_Problems->setColumnCount(4);
    Tree_Problems->setHeaderLabels({QStringLiteral("身份证号码"), QStringLiteral("姓名"),
                                    QStringLiteral("住址"), QStringLiteral("说明")});
    Tree_Problems->setRootIsDecorated(true);
    Tree_Problems->setUniformRowHeights(true);
    Tree_Problems->setAlternatingRowColors(true);
    Tree_Problems->setSelectionMode(QAbstractItemView::SingleSelection);
    Tree_Problems->setContextMenuPolicy(Qt::CustomContextMenu);
    Tree_Problems->header()->setStretchLastSection(true);
    Tree_Problems->setColumnWidth(0, 190);
    Tree_Problems->setColumnWidth(1, 80);
    Tree_Problems->setColumnWidth(2, 170);
    Tree_Problems->setSortingEnabled(true);
    Tree_Problems->sortByColumn(0, Qt::AscendingOrder);
    column->addWidget(Tree_Problems, 1);

    auto* buttons = new QHBoxLayout;
    auto button = [this, buttons](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        b->setDefault(false);
        buttons->addWidget(b);
        return b;
    };
    Btn_Open = button("Btn_Open", QStringLiteral("打开(&O)"));
    Btn_Copy = button("Btn_Copy", QStringLiteral("复制身份证号(&C)"));
    Btn_Refresh = button("Btn_Refresh", QStringLiteral("重新检查(&R)"));
    buttons->addStretch(1);
    Btn_Close = button("Btn_Close", QStringLiteral("关闭"));
    column->addLayout(buttons);

    connect(Btn_Open, &QPushButton::clicked, this, &TFrm_Check::Btn_OpenClick);
    connect(Btn_Copy, &QPushButton::clicked, this, &TFrm_Check::Btn_CopyClick);
    connect(Btn_Refresh, &QPushButton::clicked, this, &TFrm_Check::Btn_RefreshClick);
    connect(Btn_Close, &QPushButton::clicked, this, &QDialog::accept);
    connect(Tree_Problems, &QTreeWidget::itemSelectionChanged, this, &TFrm_Check::updateButtons);
    connect(Tree_Problems, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        if (item->data(0, kProblemRole).toInt() >= 0) Btn_OpenClick();
    });
    connect(Tree_Problems, &QTreeWidget::customContextMenuRequested, this, &TFrm_Check::showMenu);

    Btn_RefreshClick();
}

void TFrm_Check::setOpener(Opener opener) {
    m_opener = std::move(opener);
    updateButtons();
}

void TFrm_Check::Btn_RefreshClick() {
    BusyCursor busy;
    m_failed = false;
    progressrunner::onThisThread(isVisible() ? this : parentWidget(),
                                 {QStringLiteral("正在检查数据,请稍候..."), QStringLiteral("数据检查"),
                                  QStringLiteral("Frm_CheckProgress")},
                                 [&](const ProgressFn& progress) {
                                     try {
                                         m_result = RegisterCheck().run(QDate::currentDate(), progress);
                                     } catch (const DbError&) {
                                         m_result = CheckResult();
                                         m_failed = true;
                                     }
                                 });
    busy.restore();
    showResult();
    if (m_failed) inform(this, QStringLiteral("数据检查失败！"), QStringLiteral("提示"));
}

void TFrm_Check::showResult() {
    Tree_Problems->setSortingEnabled(false);
    Tree_Problems->clear();
    QList<QTreeWidgetItem*> groups;
    for (int k = 0; k < CheckProblem::KindCount; ++k) {
        const auto kind = CheckProblem::Kind(k);
        auto* g = new Item(Tree_Problems);
        g->setText(0, QStringLiteral("%1（%2）").arg(CheckProblem::kindName(kind)).arg(m_result.count(kind)));
        g->setData(0, kProblemRole, -1);
        g->setData(0, kSortRole, k);
        g->setFirstColumnSpanned(true);
        QFont bold = g->font(0);
        bold.setBold(true);
        g->setFont(0, bold);
        groups << g;
    }
    for (int i = 0; i < m_result.problems.size(); ++i) {
        const CheckProblem& p = m_result.problems[i];
        auto* row = new Item(groups[p.kind]);
        row->setText(0, p.id);
        row->setText(1, p.name);
        row->setText(2, p.address);
        row->setText(3, p.detail);
        row->setToolTip(3, p.detail);
        row->setData(0, kProblemRole, i);
        row->setData(0, kSortRole, p.resident + u'\x1f' + p.id);
    }
    Tree_Problems->expandAll();
    Tree_Problems->setSortingEnabled(true);

    QString summary;
    if (m_failed)
        summary = QStringLiteral("数据检查失败！");
    else if (m_result.problems.isEmpty())
        summary = QStringLiteral("共检查 %1 份问卷，没有发现问题。").arg(m_result.questionnaires);
    else
        summary = QStringLiteral("共检查 %1 份问卷，发现 %2 个问题。")
                      .arg(m_result.questionnaires)
                      .arg(m_result.problems.size());
    if (m_result.cancelled) summary = QStringLiteral("检查已取消，以下只是已经检查到的问题。");
    Lbl_Summary->setText(summary);
    updateButtons();
}

const CheckProblem* TFrm_Check::selectedProblem() const {
    const QList<QTreeWidgetItem*> selected = Tree_Problems->selectedItems();
    if (selected.isEmpty()) return nullptr;
    const int i = selected.first()->data(0, kProblemRole).toInt();
    return i >= 0 && i < m_result.problems.size() ? &m_result.problems[i] : nullptr;
}

void TFrm_Check::updateButtons() {
    const CheckProblem* p = selectedProblem();
    Btn_Copy->setEnabled(p != nullptr);
    // A questionnaire without its BasicInfo row cannot be found by its identity number.
    Btn_Open->setEnabled(p && m_opener && p->kind != CheckProblem::OrphanRows);
}

void TFrm_Check::Btn_OpenClick() {
    const CheckProblem* p = selectedProblem();
    if (!p || !m_opener || p->kind == CheckProblem::OrphanRows) return;
    const QString id = p->id;
    const CheckProblem::Kind kind = p->kind;
    m_opener(id);
    Btn_RefreshClick();
    // Stay on the same row when it is still listed.
    for (QTreeWidgetItemIterator it(Tree_Problems); *it; ++it) {
        const int i = (*it)->data(0, kProblemRole).toInt();
        if (i >= 0 && m_result.problems[i].kind == kind && m_result.problems[i].id == id) {
            Tree_Problems->setCurrentItem(*it);
            break;
        }
    }
}

void TFrm_Check::Btn_CopyClick() {
    const CheckProblem* p = selectedProblem();
    if (!p) return;
    QApplication::clipboard()->setText(p->id);
    Lbl_Summary->setText(QStringLiteral("已复制身份证号 %1").arg(p->id));
}

void TFrm_Check::showMenu(const QPoint& pos) {
    QTreeWidgetItem* item = Tree_Problems->itemAt(pos);
    if (!item || item->data(0, kProblemRole).toInt() < 0) return;
    Tree_Problems->setCurrentItem(item);
    QMenu menu(this);
    QAction* open = menu.addAction(QStringLiteral("打开(&O)"), this, &TFrm_Check::Btn_OpenClick);
    open->setEnabled(Btn_Open->isEnabled());
    menu.addAction(QStringLiteral("复制身份证号(&C)"), this, &TFrm_Check::Btn_CopyClick);
    menu.exec(Tree_Problems->viewport()->mapToGlobal(pos));
}
