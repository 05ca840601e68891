#include "TFrm_Main.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/store/DataLocation.h"
#include "core/store/DataSource.h"
#include "core/store/DataSourceRegistration.h"
#include "core/store/RegisterOpening.h"
#include "core/store/Registry.h"
#include "core/store/Schema.h"
#include "gui/data/DataCommands.h"
#include "gui/data/ExportCommands.h"
#include "gui/data/TFrm_Check.h"
#include "gui/data/TFrm_DataSource.h"
#include "gui/data/TFrm_Find.h"
#include "gui/forms/TFrm_About.h"
#include "gui/forms/TFrm_Edit.h"
#include "gui/forms/TFrm_New.h"
#include "gui/forms/TFrm_Query.h"
#include "gui/stats/TFrm_Report.h"
#include "gui/stats/TFrm_Total.h"
#include "gui/ui/Prompt.h"
#include "gui/ui/StatusPanels.h"

// The resources live in a static library: make sure they are linked and registered.
static void initIcons() { Q_INIT_RESOURCE(icons); }

namespace {

// ImageList1, in index order: 0 exit, 1 new, 2 edit, 3 query, 4 statistics, 5 delete.
QIcon imageList1(int index) {
    static const char* const files[] = {"exit", "new", "edit", "query", "total", "delete"};
    return QIcon(QStringLiteral(":/icons/%1.png").arg(QLatin1String(files[index])));
}

}  // namespace

TFrm_Main::TFrm_Main(QWidget* parent, const QString& appDir, Registry* registry)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint) {
    initIcons();
    setObjectName(QStringLiteral("Frm_Main"));
    setWindowTitle(QStringLiteral("Quenvale社区管理信息系统"));
    move(1, 0);
    resize(798, 494);

    m_factories = {
        {Command::New, formrunner::factoryOf<TFrm_New>()},
        {Command::Query, formrunner::factoryOf<TFrm_Query>()},
        {Command::Edit, formrunner::factoryOf<TFrm_Edit>()},
        {Command::Total, formrunner::factoryOf<TFrm_Total>()},
        {Command::About, formrunner::factoryOf<TFrm_About>()},
    };
    m_reportPreview = &talentreport::preview;

    buildMenu();

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    buildToolBar();
    column->addWidget(ToolBar1->parentWidget());
    // The empty workspace in the application-workspace colour, as an MDI area would show it.
    auto* workspace = new QWidget(central);
    workspace->setObjectName(QStringLiteral("Workspace"));
    QPalette pal = workspace->palette();
    pal.setBrush(QPalette::Window, pal.brush(QPalette::Dark));
    workspace->setPalette(pal);
    workspace->setAutoFillBackground(true);
    column->addWidget(workspace, 1);
    setCentralWidget(central);

    SB = new StatusPanels({300, 300, 50}, this);
    SB->setObjectName(QStringLiteral("SB"));
    setStatusBar(SB);

    // Hints are not switched on for this window: no tool-tip window may appear over any part of it.
    for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);

    FormCreate(appDir, registry);
}

TFrm_Main::~TFrm_Main() = default;

void TFrm_Main::buildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto item = [this, bar](const char* name, const QString& caption, void (TFrm_Main::*handler)()) {
        auto* a = new QAction(caption, this);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, handler);
        bar->addAction(a);
        return a;
    };
    QAction* close = item("N_Close", QStringLiteral("退出系统(&C)"), &TFrm_Main::N_CloseClick);
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    item("N_New", QStringLiteral("新增记录(&A)"), &TFrm_Main::N_NewClick);
    item("N_Edit", QStringLiteral("修改记录(&E)"), &TFrm_Main::N_EditClick);
    item("N_Query", QStringLiteral("查询和删除(&V)"), &TFrm_Main::N_QueryClick);
    item("N_Total", QStringLiteral("统计(&T)"), &TFrm_Main::N_TotalClick);

    // The data menu stands after the old commands and before the report menu.
    installDataCommands();
    buildDataMenu();

    N1 = new QMenu(QStringLiteral("报表系统"), this);
    N1->setObjectName(QStringLiteral("N1"));
    N1->menuAction()->setObjectName(QStringLiteral("N1"));
    static const char* const reports[] = {
        "专业及特长统计", " 业余爱好统计",    "活动团队统计", "开展服务统计",     "培训讲座统计",
        "参加人数统计",   "参加原因统计",     "服务类型统计", "参加活动类型统计", "活动时间统计",
        "加强统计",       "依靠哪类居民统计", "渠道统计"};
    for (int i = 0; i < 13; ++i) {
        QAction* a = N1->addAction(QString::fromUtf8(reports[i]));
        a->setObjectName(QStringLiteral("N%1").arg(15 + i));
        if (i == 0) connect(a, &QAction::triggered, this, &TFrm_Main::N15Click);
    }
    bar->addMenu(N1);
    N1->menuAction()->setEnabled(false);

    H1 = new QMenu(QStringLiteral("帮助(&H)"), this);
    H1->setObjectName(QStringLiteral("H1"));
    H1->menuAction()->setObjectName(QStringLiteral("H1"));
    QAction* about = H1->addAction(QStringLiteral("关于(&A)"));
    about->setObjectName(QStringLiteral("A1"));
    connect(about, &QAction::triggered, this, &TFrm_Main::A1Click);
    bar->addMenu(H1);
}

void TFrm_Main::installDataCommands() {
    // One line per command of the data menu.
    m_dataCommands[QStringLiteral("N_Check")] = [this] {
        formrunner::run(this, [](QWidget* parent) -> QDialog* {
            auto* check = new TFrm_Check(parent);
            // A row opens its questionnaire in the Query form, looked up as if typed.
            check->setOpener([check](const QString& id) {
                formrunner::run(check, [id](QWidget* over) -> QDialog* {
                    auto* query = new TFrm_Query(over);
                    query->startWith(id);
                    return query;
                });
            });
            return check;
        });
    };
    m_dataCommands[QStringLiteral("N_Find")] = [this] { formrunner::run(this, formrunner::factoryOf<TFrm_Find>()); };
    m_dataCommands[QStringLiteral("N_Export")] = [this] { exportcommands::exportQuestionnaires(this); };
    m_dataCommands[QStringLiteral("N_ExportStats")] = [this] { exportcommands::exportStatistics(this); };
    m_dataCommands[QStringLiteral("N_Merge")] = [this] { datacommands::merge(this); };
    m_dataCommands[QStringLiteral("N_Backup")] = [this] { datacommands::backupNow(this); };
    m_dataCommands[QStringLiteral("N_Restore")] = [this] { datacommands::restore(this); };
    m_dataCommands[QStringLiteral("N_DataSource")] = [this] {
        formrunner::run(this, formrunner::factoryOf<TFrm_DataSource>());
    };
}

void TFrm_Main::buildDataMenu() {
    N_Data = new QMenu(QStringLiteral("数据(&D)"), this);
    N_Data->setObjectName(QStringLiteral("N_Data"));
    N_Data->menuAction()->setObjectName(QStringLiteral("N_Data"));
    // clang-format off
    struct Item { const char* name; const char* caption; const char* tip; };
    static const Item items[] = {
        {"N_Find",       "查找问卷(&F)...",       "按姓名、住址、电话等查找问卷"},
        {"N_Check",      "数据检查(&K)...",       "检查身份证号码和重复登记的居民"},
        {"N_Export",     "导出问卷(&X)...",       "把问卷导出为 Excel、CSV、SPSS 或 Stata 文件"},
        {"N_ExportStats","导出统计表(&S)...",     "把统计结果导出为 Excel 工作簿"},
        {"N_Merge",      "合并其他登记册(&M)...", "把另一份登记册的问卷合并进来"},
        {"N_Backup",     "备份数据库(&B)...",     "立即备份数据库"},
        {"N_Restore",    "从备份恢复(&R)...",     "用备份替换当前的数据库"},
        {"N_DataSource", "数据源设置(&S)...",     "使用本机数据库文件或数据库服务器"},
    };
    // clang-format on
    for (const Item& i : items) {
        const QString name = QLatin1String(i.name);
        if (!m_dataCommands.contains(name)) continue;
        auto* a = new QAction(QString::fromUtf8(i.caption), this);
        a->setObjectName(name);
        a->setStatusTip(QString::fromUtf8(i.tip));
        if (name == QLatin1String("N_Find")) a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
        connect(a, &QAction::triggered, this, [this, name] {
            const auto command = m_dataCommands.value(name);
            formrunner::guarded(this, [&] { command(); });
        });
        N_Data->addAction(a);
    }
    menuBar()->addMenu(N_Data);
}

void TFrm_Main::setDataCommand(const QString& item, std::function<void()> command) {
    m_dataCommands[item] = std::move(command);
}

void TFrm_Main::buildToolBar() {
    auto* coolBar = new QFrame(this);
    coolBar->setObjectName(QStringLiteral("CoolBar1"));
    coolBar->setFrameStyle(QFrame::Panel | QFrame::Raised);
    coolBar->setFixedHeight(33);
    auto* band = new QHBoxLayout(coolBar);
    band->setContentsMargins(2, 1, 2, 1);

    ToolBar1 = new QToolBar(coolBar);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    band->addWidget(ToolBar1);

    struct Button {
        const char* name;
        const char* hint;
        const char* caption;
        int image;
        void (TFrm_Main::*handler)();
    };
    static const Button buttons[] = {
        {"ToolBtn_New", "新增记录", "新增记录(&A)", 1, &TFrm_Main::N_NewClick},
        {"ToolBtn_Delete", "删除记录", "删除", 5, &TFrm_Main::N_QueryClick},
        {"ToolBtn_Edit", "编辑记录", "修改", 2, &TFrm_Main::N_EditClick},
        {"ToolBtn_Qry", "查询记录", "查询", 3, &TFrm_Main::N_QueryClick},
        {"ToolButton5", nullptr, nullptr, -1, nullptr},
        {"ToolBtn_Total", "统计记录", "统计", 4, &TFrm_Main::N_TotalClick},
        {"ToolButton7", nullptr, nullptr, -1, nullptr},
        {"ToolBtn_Exit", "退出系统", "退出系统(&C)", 0, &TFrm_Main::N_CloseClick},
    };
    for (const Button& b : buttons) {
        QAction* a = nullptr;
        if (!b.handler) {
            a = ToolBar1->addSeparator();
        } else {
            a = new QAction(imageList1(b.image), QString::fromUtf8(b.caption), this);
            a->setStatusTip(QString::fromUtf8(b.hint));
            connect(a, &QAction::triggered, this, b.handler);
            ToolBar1->addAction(a);
        }
        a->setObjectName(QLatin1String(b.name));
        QWidget* w = ToolBar1->widgetForAction(a);
        w->setObjectName(QLatin1String(b.name));
        if (b.handler) w->setFixedSize(24, 22);
    }
}

void TFrm_Main::FormCreate(const QString& appDir, Registry* registry) {
    Registry machineHive;
    Registry& hive = registry ? *registry : machineHive;
    // The clerk learns now, not after typing a questionnaire, when the database file cannot be
    // used; the forms still report their own messages at their first statement.
    const RegisterOpening opening =
        RegisterOpening::prepare(appDir.isEmpty() ? QCoreApplication::applicationDirPath() : appDir, hive);
    m_databaseFile = opening.location.file;
    if (!opening.problem.isEmpty()) fail(this, opening.problem);
    // A value that cannot be written ended the registration; start-up goes on all the same.
    if (!opening.registrationError.isEmpty()) fail(this, opening.registrationError);
}

void TFrm_Main::setFormFactory(Command command, formrunner::Factory factory) {
    m_factories[command] = std::move(factory);
}

void TFrm_Main::setReportPreview(std::function<void(QWidget*)> preview) {
    m_reportPreview = std::move(preview);
}

void TFrm_Main::runForm(Command command) { formrunner::run(this, m_factories.value(command)); }

void TFrm_Main::N_CloseClick() { close(); }
void TFrm_Main::N_NewClick() { runForm(Command::New); }
void TFrm_Main::N_EditClick() { runForm(Command::Edit); }
void TFrm_Main::N_QueryClick() { runForm(Command::Query); }
void TFrm_Main::N_TotalClick() { runForm(Command::Total); }
void TFrm_Main::A1Click() { runForm(Command::About); }

void TFrm_Main::N15Click() {
    formrunner::guarded(this, [this] { m_reportPreview(this); });
}

void TFrm_Main::ApplicationEvents1Hint(const QString& hint) { SB->setPanelText(0, hint); }

bool TFrm_Main::event(QEvent* e) {
    switch (e->type()) {
        case QEvent::StatusTip:
            // Every hint of this window goes to panel 0; Qt's own status message would hide the panels.
            ApplicationEvents1Hint(static_cast<QStatusTipEvent*>(e)->tip());
            return true;
        case QEvent::ToolTip:
            return true;
        default:
            return QMainWindow::event(e);
    }
}

bool TFrm_Main::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::ToolTip) return true;
    return QMainWindow::eventFilter(watched, e);
}
