#include "TFrm_Merge.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/exchange/RegisterMerge.h"
#include "gui/ui/FixedDialog.h"

namespace {

QTableWidget* grid(QWidget* parent, const char* name, const QStringList& headers) {
    auto* g = new QTableWidget(0, int(headers.size()), parent);
    g->setObjectName(QLatin1String(name));
    g->setHorizontalHeaderLabels(headers);
    g->verticalHeader()->setVisible(false);
    g->verticalHeader()->setDefaultSectionSize(20);
    g->setSelectionBehavior(QAbstractItemView::SelectRows);
    g->setSelectionMode(QAbstractItemView::SingleSelection);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->horizontalHeader()->setStretchLastSection(true);
    g->setWordWrap(false);
    return g;
}

QTableWidgetItem* cell(const QString& text) {
    auto* i = new QTableWidgetItem(text);
    i->setToolTip(text);
    return i;
}

}  // namespace

TFrm_Merge::TFrm_Merge(QWidget* parent, MergePlan* plan) : QDialog(parent), m_plan(plan) {
    setUpFixedDialog(this, QStringLiteral("Frm_Merge"), QStringLiteral("合并其他登记册"), QSize(720, 500));
    auto* column = new QVBoxLayout(this);

    auto* source =
        new QLabel(QStringLiteral("要合并的登记册：%1").arg(QDir::toNativeSeparators(plan->source)), this);
    source->setObjectName(QStringLiteral("Lbl_Source"));
    column->addWidget(source);
    Lbl_Summary = new QLabel(this);
    Lbl_Summary->setObjectName(QStringLiteral("Lbl_Summary"));
    Lbl_Summary->setText(
        QStringLiteral("对方共有 %1 份问卷：新增 %2 份，相同 %3 份（跳过），冲突 %4 份，不能导入 %5 项。")
            .arg(plan->theirs)
            .arg(plan->added)
            .arg(plan->identical)
            .arg(plan->conflicts.size())
            .arg(plan->problems.size()));
    column->addWidget(Lbl_Summary);

    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("Tab_Merge"));
    auto* conflictsPage = new QWidget(tabs);
    auto* cl = new QVBoxLayout(conflictsPage);
    Grd_Conflicts = grid(conflictsPage, "Grd_Conflicts",
                         {QStringLiteral("身份证号码"), QStringLiteral("本登记册的姓名"),
                          QStringLiteral("对方的姓名"), QStringLiteral("采用对方的问卷")});
    Grd_Differences = grid(
        conflictsPage, "Grd_Differences",
        {QStringLiteral("页"), QStringLiteral("项目"), QStringLiteral("本登记册"), QStringLiteral("对方")});
    cl->addWidget(Grd_Conflicts, 3);
    auto* diffLabel = new QLabel(QStringLiteral("所选问卷的不同之处（逐页）："), conflictsPage);
    cl->addWidget(diffLabel);
    cl->addWidget(Grd_Differences, 2);
    tabs->addTab(conflictsPage, QStringLiteral("冲突（%1）").arg(plan->conflicts.size()));

    auto* problemsPage = new QWidget(tabs);
    auto* pl = new QVBoxLayout(problemsPage);
    Grd_Problems =
        grid(problemsPage, "Grd_Problems", {QStringLiteral("身份证号码"), QStringLiteral("不能导入的原因")});
    pl->addWidget(Grd_Problems);
    tabs->addTab(problemsPage, QStringLiteral("不能导入（%1）").arg(plan->problems.size()));
    column->addWidget(tabs, 1);

    m_filling = true;
    Grd_Conflicts->setRowCount(int(plan->conflicts.size()));
    for (int r = 0; r < plan->conflicts.size(); ++r) {
        const MergeConflict& c = plan->conflicts[r];
        Grd_Conflicts->setItem(r, 0, cell(c.id));
        Grd_Conflicts->setItem(r, 1, cell(c.oursName));
        Grd_Conflicts->setItem(r, 2, cell(c.theirsName));
        auto* choice = new QTableWidgetItem(QStringLiteral("对方"));
        choice->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        choice->setCheckState(c.takeTheirs ? Qt::Checked : Qt::Unchecked);
        Grd_Conflicts->setItem(r, 3, choice);
    }
    m_filling = false;
    Grd_Conflicts->setColumnWidth(0, 160);
    Grd_Conflicts->setColumnWidth(1, 150);
    Grd_Conflicts->setColumnWidth(2, 150);
    Grd_Differences->setColumnWidth(0, 110);
    Grd_Differences->setColumnWidth(1, 110);
    Grd_Differences->setColumnWidth(2, 220);
    Grd_Problems->setColumnWidth(0, 160);
    Grd_Problems->setRowCount(int(plan->problems.size()));
    for (int r = 0; r < plan->problems.size(); ++r) {
        Grd_Problems->setItem(r, 0, cell(plan->problems[r].id));
        Grd_Problems->setItem(r, 1, cell(plan->problems[r].text));
    }
    connect(Grd_Conflicts, &QTableWidget::currentCellChanged, this,
            [this](int row) { showDifferences(row); });
    connect(Grd_Conflicts, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (m_filling || item->column() != 3) return;
        m_plan->conflicts[item->row()].takeTheirs = item->checkState() == Qt::Checked;
        updateChosen();
    });

    auto* buttons = new QHBoxLayout;
    auto button = [&](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    connect(button("Btn_AllOurs", QStringLiteral("全部保留本登记册(&O)")), &QPushButton::clicked, this,
            [this] { chooseAll(false); });
    connect(button("Btn_AllTheirs", QStringLiteral("全部采用对方(&T)")), &QPushButton::clicked, this,
            [this] { chooseAll(true); });
    Lbl_Chosen = new QLabel(this);
    Lbl_Chosen->setObjectName(QStringLiteral("Lbl_Chosen"));
    buttons->addWidget(Lbl_Chosen, 1);
    QPushButton* ok = button("Btn_Merge", QStringLiteral("合并(&M)"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(button("Btn_Cancel", QStringLiteral("取消")), &QPushButton::clicked, this, &QDialog::reject);
    ok->setEnabled(plan->added > 0 || !plan->conflicts.isEmpty());
    column->addLayout(buttons);

    if (!plan->conflicts.isEmpty()) Grd_Conflicts->setCurrentCell(0, 0);
    updateChosen();
}

void TFrm_Merge::chooseAll(bool theirs) {
    m_filling = true;
    for (int r = 0; r < m_plan->conflicts.size(); ++r) {
        m_plan->conflicts[r].takeTheirs = theirs;
        Grd_Conflicts->item(r, 3)->setCheckState(theirs ? Qt::Checked : Qt::Unchecked);
    }
    m_filling = false;
    updateChosen();
}

void TFrm_Merge::updateChosen() {
    const int theirs = m_plan->takenFromTheirs();
    Lbl_Chosen->setText(QStringLiteral("冲突中保留本登记册 %1 份，采用对方 %2 份")
                            .arg(m_plan->conflicts.size() - theirs)
                            .arg(theirs));
}

void TFrm_Merge::showDifferences(int row) {
    Grd_Differences->setRowCount(0);
    if (row < 0 || row >= m_plan->conflicts.size()) return;
    const auto& diffs = m_plan->conflicts[row].differences;
    Grd_Differences->setRowCount(int(diffs.size()));
    for (int r = 0; r < diffs.size(); ++r) {
        Grd_Differences->setItem(r, 0, cell(diffs[r].page));
        Grd_Differences->setItem(r, 1, cell(diffs[r].item));
        Grd_Differences->setItem(r, 2, cell(diffs[r].ours));
        Grd_Differences->setItem(r, 3, cell(diffs[r].theirs));
    }
}
