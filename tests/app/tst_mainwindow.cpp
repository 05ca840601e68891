#include <QMenu>
#include <QMenuBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QtTest>
#include <memory>
#include <stdexcept>

#include "TestDb.h"
#include "app/Application.h"
#include "app/Startup.h"
#include "app/TFrm_Main.h"
#include "core/store/DataSourceRegistration.h"
#include "core/store/Registry.h"
#include "gui/forms/TFrm_About.h"
#include "gui/ui/ScriptedPrompt.h"
#include "gui/ui/StatusPanels.h"

namespace {

// A stand-in form that closes itself as soon as it runs, noting how it was run.
struct RunLog {
    QStringList commands;
    QList<QPointer<QDialog>> forms;
    bool allModal = true;
    bool allOverMain = true;
};

formrunner::Factory standIn(RunLog* log, const QString& command, QWidget* main) {
    return [=](QWidget* parent) -> QDialog* {
        log->commands << command;
        auto* d = new QDialog(parent);
        log->forms << d;
        QTimer::singleShot(0, d, [=] {
            log->allModal = log->allModal && QApplication::activeModalWidget() == d;
            log->allOverMain = log->allOverMain && d->parentWidget() == main;
            d->accept();
        });
        return d;
    };
}

int valueCount(const Registry& r) {
    int n = 0;
    for (const auto& k : r.load()) n += int(k.values.size());
    return n;
}

}  // namespace

class TstMainWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDb> db;
    std::unique_ptr<Registry> registry;
    std::unique_ptr<ScriptedPrompt> prompt;
    std::unique_ptr<TFrm_Main> w;
    RunLog log;

    void useStandIns() {
        using C = TFrm_Main::Command;
        const QList<QPair<C, QString>> commands = {{C::New, QStringLiteral("New")},
                                                   {C::Query, QStringLiteral("Query")},
                                                   {C::Edit, QStringLiteral("Edit")},
                                                   {C::Total, QStringLiteral("Total")},
                                                   {C::About, QStringLiteral("About")}};
        for (const auto& [c, name] : commands) w->setFormFactory(c, standIn(&log, name, w.get()));
        w->setReportPreview([this](QWidget*) { log.commands << QStringLiteral("Report"); });
    }
    QWidget* child(const char* name) const { return w->findChild<QWidget*>(QLatin1String(name)); }
    QString panel(int i) const { return w->statusPanels()->panelText(i); }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        startup::prepareApplication(*qApp);
    }

    void init() {
        db = std::make_unique<TestDb>();
        registry = std::make_unique<Registry>(db->hive());
        prompt = std::make_unique<ScriptedPrompt>();
        w = std::make_unique<TFrm_Main>(nullptr, db->dir(), registry.get());
        log = RunLog();
        useStandIns();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }

    void cleanup() {
        w.reset();
        prompt.reset();
        registry.reset();
        db.reset();
    }

    void window() {
        QCOMPARE(w->objectName(), QStringLiteral("Frm_Main"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Quenvale社区管理信息系统"));
        QVERIFY(!(w->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(w->windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(w->windowFlags() & Qt::WindowSystemMenuHint);
        QVERIFY(w->findChild<QWidget*>(QStringLiteral("CoolBar1")));
        QCOMPARE(w->findChild<QToolBar*>(QStringLiteral("ToolBar1"))->parentWidget()->objectName(),
                 QStringLiteral("CoolBar1"));
        QCOMPARE(w->statusPanels()->objectName(), QStringLiteral("SB"));
        QCOMPARE(w->statusPanels()->panelCount(), 3);
        QCOMPARE(w->statusPanels()->panel(0)->width(), 300);
        QCOMPARE(w->statusPanels()->panel(1)->width(), 300);
        QVERIFY(w->statusPanels()->panel(2)->width() >= 50);  // the last panel runs to the right edge
        QCOMPARE(w->menuBar()->objectName(), QStringLiteral("MainMenu1"));
        QVERIFY(prompt->messages().isEmpty());
    }

    void menuBar_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("shortcut");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("submenu");
        QTest::newRow("N_Close") << "退出系统(&C)"
                                 << "Ctrl+E" << true << false;
        QTest::newRow("N_New") << "新增记录(&A)"
                               << "" << true << false;
        QTest::newRow("N_Edit") << "修改记录(&E)"
                                << "" << true << false;
        QTest::newRow("N_Query") << "查询和删除(&V)"
                                 << "" << true << false;
        QTest::newRow("N_Total") << "统计(&T)"
                                 << "" << true << false;
        QTest::newRow("N_Data") << "数据(&D)"
                                << "" << true << true;
        QTest::newRow("N1") << "报表系统"
                            << "" << false << true;
        QTest::newRow("H1") << "帮助(&H)"
                            << "" << true << true;
    }
    void menuBar() {
        QFETCH(QString, caption);
        QFETCH(QString, shortcut);
        QFETCH(bool, enabled);
        QFETCH(bool, submenu);
        const QList<QAction*> items = w->menuBar()->actions();
        QCOMPARE(items.size(), 8);
        static const QStringList order = {"N_Close", "N_New", "N_Edit", "N_Query", "N_Total", "N_Data", "N1", "H1"};
        const QString name = QString::fromLatin1(QTest::currentDataTag());
        QAction* a = items.value(order.indexOf(name));
        QCOMPARE(a->objectName(), name);
        QCOMPARE(a->text(), caption);
        QCOMPARE(a->shortcut().toString(QKeySequence::PortableText), shortcut);
        QCOMPARE(a->isEnabled(), enabled);
        QCOMPARE(a->menu() != nullptr, submenu);
    }

    void findCommand() {
        // The data menu's find item: Ctrl+F in the main window opens the find window.
        auto* find = w->findChild<QAction*>(QStringLiteral("N_Find"));
        QVERIFY(find);
        QCOMPARE(find->text(), QStringLiteral("查找问卷(&F)..."));
        QCOMPARE(find->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QString opened;
        QTimer::singleShot(0, [&] {
            if (QWidget* form = QApplication::activeModalWidget()) {
                opened = form->objectName();
                form->close();
            }
        });
        QTest::keyClick(w.get(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(opened, QStringLiteral("Frm_Find"));
    }

    void reportMenu() {
        auto* n1 = w->findChild<QAction*>(QStringLiteral("N1"));
        QVERIFY(n1 && n1->menu());
        const QStringList expected = {"N15 专业及特长统计", "N16  业余爱好统计", "N17 活动团队统计",
                                      "N18 开展服务统计",   "N19 培训讲座统计",  "N20 参加人数统计",
                                      "N21 参加原因统计",   "N22 服务类型统计",  "N23 参加活动类型统计",
                                      "N24 活动时间统计",   "N25 加强统计",      "N26 依靠哪类居民统计",
                                      "N27 渠道统计"};
        QStringList actual;
        for (QAction* a : n1->menu()->actions()) {
            QVERIFY(a->isEnabled());
            actual << a->objectName() + u' ' + a->text();
        }
        QCOMPARE(actual, expected);
        auto* h1 = w->findChild<QAction*>(QStringLiteral("H1"));
        QCOMPARE(h1->menu()->actions().size(), 1);
        QCOMPARE(h1->menu()->actions().first()->objectName(), QStringLiteral("A1"));
        QCOMPARE(h1->menu()->actions().first()->text(), QStringLiteral("关于(&A)"));
    }

    void toolBar() {
        struct Expected {
            const char* name;
            const char* hint;
            const char* caption;
        };
        const Expected expected[] = {
            {"ToolBtn_New", "新增记录", "新增记录(&A)"}, {"ToolBtn_Delete", "删除记录", "删除"},
            {"ToolBtn_Edit", "编辑记录", "修改"},        {"ToolBtn_Qry", "查询记录", "查询"},
            {"ToolButton5", nullptr, nullptr},           {"ToolBtn_Total", "统计记录", "统计"},
            {"ToolButton7", nullptr, nullptr},           {"ToolBtn_Exit", "退出系统", "退出系统(&C)"}};
        auto* bar = w->findChild<QToolBar*>(QStringLiteral("ToolBar1"));
        const QList<QAction*> actions = bar->actions();
        QCOMPARE(actions.size(), 8);
        QSet<QByteArray> images;
        for (int i = 0; i < 8; ++i) {
            const Expected& e = expected[i];
            QAction* a = actions[i];
            QWidget* button = bar->widgetForAction(a);
            QCOMPARE(button->objectName(), QLatin1String(e.name));
            QCOMPARE(a->isSeparator(), e.hint == nullptr);
            if (a->isSeparator()) continue;
            QVERIFY(a->isEnabled());
            QCOMPARE(a->text(), QString::fromUtf8(e.caption));
            QCOMPARE(a->statusTip(), QString::fromUtf8(e.hint));
            QCOMPARE(button->width(), 24);
            QCOMPARE(static_cast<QToolButton*>(button)->toolButtonStyle(), Qt::ToolButtonIconOnly);
            // Each button shows an image of its own, drawn at 16 x 16.
            const QImage image = a->icon().pixmap(16, 16).toImage();
            QCOMPARE(image.size(), QSize(16, 16));
            images.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
        }
        QCOMPARE(images.size(), 6);
    }

    void commands_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("N_New") << "New";
        QTest::newRow("N_Edit") << "Edit";
        QTest::newRow("N_Query") << "Query";
        QTest::newRow("N_Total") << "Total";
        QTest::newRow("A1") << "About";
        QTest::newRow("N15") << "Report";
        QTest::newRow("ToolBtn_New") << "New";
        QTest::newRow("ToolBtn_Delete") << "Query";
        QTest::newRow("ToolBtn_Edit") << "Edit";
        QTest::newRow("ToolBtn_Qry") << "Query";
        QTest::newRow("ToolBtn_Total") << "Total";
    }
    void commands() {
        QFETCH(QString, command);
        const QString name = QString::fromLatin1(QTest::currentDataTag());
        if (auto* button = w->findChild<QToolButton*>(name))
            QTest::mouseClick(button, Qt::LeftButton);
        else
            w->findChild<QAction*>(name)->trigger();
        QCOMPARE(log.commands, QStringList{command});
        QVERIFY(log.allModal);
        QVERIFY(log.allOverMain);
        // The form is gone once it has closed.
        for (const auto& f : log.forms) QVERIFY(f.isNull());
        QVERIFY(prompt->messages().isEmpty());
        QVERIFY(w->isVisible());
    }

    void freshInstanceEachUse() {
        auto* item = w->findChild<QAction*>(QStringLiteral("N_New"));
        item->trigger();
        item->trigger();
        QCOMPARE(log.commands, (QStringList{"New", "New"}));
        QCOMPARE(log.forms.size(), 2);
        QVERIFY(log.forms[0].isNull() && log.forms[1].isNull());
    }

    void failingForm_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("message");
        QTest::newRow("error while created") << "create"
                                             << "无法打开窗体";
        QTest::newRow("error while shown") << "run"
                                           << "窗体运行出错";
        QTest::newRow("error of no standard kind") << "odd"
                                                   << "发生了未知错误。";
        QTest::newRow("report preview fails") << "report"
                                              << "无法预览报表";
    }
    void failingForm() {
        QFETCH(QString, how);
        QFETCH(QString, message);
        QPointer<QDialog> form;
        const formrunner::Factory failing = [&](QWidget* parent) -> QDialog* {
            if (how == u"create") throw std::runtime_error("无法打开窗体");
            form = new QDialog(parent);
            // Two queued events: the first handler fails, the second closes the form.
            QTimer::singleShot(0, form, [&] {
                if (how == u"odd") throw 42;
                throw std::runtime_error("窗体运行出错");
            });
            QTimer::singleShot(0, form, &QDialog::accept);
            return form;
        };
        if (how == u"report") {
            w->setReportPreview([](QWidget*) { throw std::runtime_error("无法预览报表"); });
            w->findChild<QAction*>(QStringLiteral("N15"))->trigger();
        } else {
            w->setFormFactory(TFrm_Main::Command::New, failing);
            QTest::mouseClick(w->findChild<QToolButton*>(QStringLiteral("ToolBtn_New")), Qt::LeftButton);
        }
        QCOMPARE(prompt->messages().size(), 1);
        QCOMPARE(prompt->messages().first().kind, ScriptedPrompt::Kind::Fail);
        QCOMPARE(prompt->messages().first().text, message);
        QVERIFY(form.isNull());
        QVERIFY(!QApplication::activeModalWidget());

        // The main window goes on working.
        QVERIFY(w->isVisible() && w->isEnabled());
        QTest::mouseClick(w->findChild<QToolButton*>(QStringLiteral("ToolBtn_Total")), Qt::LeftButton);
        QCOMPARE(log.commands, QStringList{"Total"});
        QCOMPARE(prompt->messages().size(), 1);
    }

    void realAboutFromMenu() {
        w->setFormFactory(TFrm_Main::Command::About, formrunner::factoryOf<TFrm_About>());
        QString seen;
        QTimer::singleShot(0, w.get(), [&] {
            QWidget* about = QApplication::activeModalWidget();
            seen = about->objectName() + u' ' + about->windowTitle();
            QTest::mouseClick(about->findChild<QWidget*>(QStringLiteral("Btn_Ok")), Qt::LeftButton);
        });
        w->findChild<QAction*>(QStringLiteral("A1"))->trigger();
        QCOMPARE(seen, QStringLiteral("Frm_About 关于"));
        QVERIFY(w->findChildren<QDialog*>().isEmpty());
    }

    void hints_data() {
        QTest::addColumn<QString>("hint");
        QTest::newRow("ToolBtn_New") << "新增记录";
        QTest::newRow("ToolBtn_Delete") << "删除记录";
        QTest::newRow("ToolBtn_Edit") << "编辑记录";
        QTest::newRow("ToolBtn_Qry") << "查询记录";
        QTest::newRow("ToolBtn_Total") << "统计记录";
        QTest::newRow("ToolBtn_Exit") << "退出系统";
    }
    void hints() {
        QFETCH(QString, hint);
        QWidget* button = child(QTest::currentDataTag());
        QTest::mouseMove(button);
        QCOMPARE(panel(0), hint);
        // Only panel 0 is written, and Qt's own status message never replaces the panels.
        QCOMPARE(panel(1), QString());
        QCOMPARE(panel(2), QString());
        QCOMPARE(w->statusPanels()->currentMessage(), QString());

        for (const char* elsewhere : {"ToolButton5", "ToolButton7", "Workspace"}) {
            QTest::mouseMove(button);
            QCOMPARE(panel(0), hint);
            QTest::mouseMove(child(elsewhere));
            QVERIFY2(panel(0).isEmpty(), elsewhere);
        }
    }

    void hintFromAnyChildReachesPanel0() {
        QStatusTipEvent tip(QStringLiteral("页一"));
        QApplication::sendEvent(child("Workspace"), &tip);
        QCOMPARE(panel(0), QStringLiteral("页一"));
        QStatusTipEvent none{QString()};
        QApplication::sendEvent(child("ToolBar1"), &none);
        QCOMPARE(panel(0), QString());
        QCOMPARE(w->statusPanels()->currentMessage(), QString());
    }

    void noToolTips_data() {
        QTest::addColumn<QString>("name");
        for (const char* name : {"ToolBtn_New", "ToolBtn_Delete", "ToolBtn_Edit", "ToolBtn_Qry",
                                 "ToolBtn_Total", "ToolBtn_Exit", "MainMenu1", "Workspace", "SB"})
            QTest::newRow(name) << name;
    }
    void noToolTips() {
        QFETCH(QString, name);
        auto* target = w->findChild<QWidget*>(name);
        QVERIFY(target);
        const QPoint at = target->rect().center();
        QHelpEvent help(QEvent::ToolTip, at, target->mapToGlobal(at));
        QApplication::sendEvent(target, &help);
        QVERIFY(!QToolTip::isVisible());
    }

    void closing_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Ctrl+E") << "key";
        QTest::newRow("ToolBtn_Exit") << "button";
        QTest::newRow("N_Close") << "menu";
        QTest::newRow("close box") << "box";
    }
    void closing() {
        QFETCH(QString, how);
        QApplication::setActiveWindow(w.get());
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        if (how == u"key")
            QTest::keyClick(w.get(), Qt::Key_E, Qt::ControlModifier);
        else if (how == u"button")
            QTest::mouseClick(w->findChild<QToolButton*>(QStringLiteral("ToolBtn_Exit")), Qt::LeftButton);
        else if (how == u"menu")
            w->findChild<QAction*>(QStringLiteral("N_Close"))->trigger();
        else
            w->close();
        QVERIFY(!w->isVisible());
        QVERIFY(prompt->messages().isEmpty());
        QVERIFY(log.commands.isEmpty());
    }

    // The registration written at start-up is the same however often the program starts.
    void registrationRepeats() {
        QTemporaryDir appDir;
        Registry hive(appDir.filePath(QStringLiteral("hive.reg")));
        TFrm_Main first(nullptr, appDir.path(), &hive);
        const QList<Registry::Key> once = hive.load();
        TFrm_Main second(nullptr, appDir.path(), &hive);
        const QList<Registry::Key> twice = hive.load();
        QCOMPARE(twice.size(), 3);
        QCOMPARE(valueCount(hive), 12);
        QCOMPARE(twice.size(), once.size());
        for (int k = 0; k < twice.size(); ++k) {
            QCOMPARE(twice[k].path, once[k].path);
            QCOMPARE(twice[k].values.size(), once[k].values.size());
            for (int v = 0; v < twice[k].values.size(); ++v) {
                QCOMPARE(twice[k].values[v].name, once[k].values[v].name);
                QCOMPARE(twice[k].values[v].data, once[k].values[v].data);
            }
        }
        // The database file is made on the first start and named by the registration.
        const QString file = appDir.filePath(QStringLiteral("Data/MyDB.db"));
        QVERIFY(QFileInfo::exists(file));
        const QString dbq = hive.readValue(registration::dataSourceKey(), QStringLiteral("DBQ")).toString();
        QCOMPARE(QFileInfo(dbq).canonicalFilePath(), QFileInfo(file).canonicalFilePath());
        QVERIFY(prompt->messages().isEmpty());
    }

    void failedRegistryWrite_data() {
        QTest::addColumn<int>("failAt");
        QTest::newRow("first value") << 0;
        QTest::newRow("DBQ") << 1;
        QTest::newRow("middle of the data source") << 4;
        QTest::newRow("first engine value") << 7;
        QTest::newRow("last value") << 11;
    }
    void failedRegistryWrite() {
        QFETCH(int, failAt);
        QTemporaryDir appDir;
        Registry hive(appDir.filePath(QStringLiteral("hive.reg")));
        hive.failWriteAt(failAt);
        prompt->clear();
        TFrm_Main main(nullptr, appDir.path(), &hive);
        QCOMPARE(prompt->messages().size(), 1);
        QCOMPARE(prompt->messages().first().kind, ScriptedPrompt::Kind::Fail);
        QVERIFY(!prompt->messages().first().text.isEmpty());
        // The registration stopped at the failing value ...
        QCOMPARE(valueCount(hive), failAt);
        // ... and start-up went on: the window is whole and its commands run.
        QCOMPARE(main.menuBar()->actions().size(), 8);
        main.setFormFactory(TFrm_Main::Command::Edit, standIn(&log, QStringLiteral("Edit"), &main));
        main.findChild<QAction*>(QStringLiteral("N_Edit"))->trigger();
        QCOMPARE(log.commands, QStringList{"Edit"});
    }
};

// The desktop program's application object, so that errors escaping a form's handlers are
// caught where the program catches them.
int main(int argc, char** argv) {
    Application app(argc, argv);
    TstMainWindow test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainwindow.moc"
