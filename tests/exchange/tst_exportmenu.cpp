// The exports as a user runs them: three questionnaires typed through the New form, then
// "导出问卷(&X)..." and "导出统计表(&S)..." from the data menu, the file dialog filled in, and every
// answer found in the file by an independent reader.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QJsonArray>
#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "ReadBack.h"
#include "TestDb.h"
#include "app/Startup.h"
#include "app/TFrm_Main.h"
#include "core/store/Registry.h"
#include "gui/forms/QuestionnairePages.h"
#include "gui/forms/TFrm_New.h"
#include "gui/ui/ScriptedPrompt.h"

using namespace catalogue;

namespace {

QString question(const Group& g) {
    QString q = qs(g.label);
    if (q.endsWith(u'：')) q.chop(1);
    return q;
}

QList<Answers> threeQuestionnaires() {
    Answers a = completeAnswers(QStringLiteral("110101199001011234"));
    a.name = QStringLiteral("王\"小\"明");
    a[Age].ticked = {false, false, true, false};
    a[Duty].ticked.fill(false);
    a[Duty].ticked[11] = true;
    a[Duty].otherText = QStringLiteral("木匠");
    a[Special].ticked[4] = a[Special].ticked[20] = true;
    a[Special].otherText = QStringLiteral("=剪纸");
    a[Time].ticked = {false, true, false, false, false, true};

    Answers b = completeAnswers(QStringLiteral("44030119851231002X"));
    b.name = QStringLiteral("李四");
    b.address = QStringLiteral("幸福路2号, 3栋");
    b[Flag].ticked = {false, true};
    b[Position].ticked.fill(false);
    b[Position].ticked[5] = true;
    b[Position].otherText = QStringLiteral("技师");
    b[Channel].ticked.fill(true);
    b[Channel].otherText = QStringLiteral("网络 😀");

    Answers c = completeAnswers(QStringLiteral("320102197001010015"));
    c.name = QStringLiteral("赵六");
    c[Level].ticked = {false, false, false, true};
    c[Depend].ticked.fill(true);
    c[Depend].otherText = QStringLiteral("志愿者\n协会");
    return {a, b, c};
}

}  // namespace

class TstExportMenu : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        startup::prepareApplication(*qApp);
    }
    void init();
    void cleanup();

    void everyAnswerInTheFile_data();
    void everyAnswerInTheFile();
    void cancelled();
    void statistics();

private:
    void typeThroughNewForm();
    // Runs a data-menu item; `fill` fills in its file dialog (or rejects it).
    void runItem(const char* item, const char* dialogName, const std::function<void(QFileDialog*)>& fill);

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<Registry> m_registry;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<TFrm_Main> m_main;
    std::unique_ptr<QTemporaryDir> m_out;
    QList<Answers> m_answers;
};

void TstExportMenu::init() {
    m_db = std::make_unique<TestDb>();
    m_registry = std::make_unique<Registry>(m_db->hive());
    m_prompt = std::make_unique<ScriptedPrompt>();
    m_main = std::make_unique<TFrm_Main>(nullptr, m_db->dir(), m_registry.get());
    m_out = std::make_unique<QTemporaryDir>();
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
    typeThroughNewForm();
    m_prompt->clear();
}

void TstExportMenu::cleanup() {
    m_main.reset();
    m_prompt.reset();
    m_registry.reset();
    m_db.reset();
    m_out.reset();
}

void TstExportMenu::typeThroughNewForm() {
    m_answers = threeQuestionnaires();
    TFrm_New form(m_main.get());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    for (const Answers& a : m_answers) {
        form.PageControl1->idEdit()->setText(a.id);
        form.PageControl1->load(a);
        QTest::mouseClick(form.Button1, Qt::LeftButton);
        QCOMPARE(m_prompt->texts().last(), QStringLiteral("新增记录成功！"));
    }
    QCOMPARE(m_db->count(QStringLiteral("BasicInfo")), 3);
}

void TstExportMenu::runItem(const char* item, const char* dialogName,
                            const std::function<void(QFileDialog*)>& fill) {
    QAction* action = m_main->dataMenu()->findChild<QAction*>(QLatin1String(item));
    if (!action)
        for (QAction* a : m_main->dataMenu()->actions())
            if (a->objectName() == QLatin1String(item)) action = a;
    QVERIFY(action);
    bool filled = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog && dialog->objectName() == QLatin1String(dialogName)) {
            fill(dialog);
            filled = true;
        }
    });
    action->trigger();
    QVERIFY(filled);
}

void TstExportMenu::everyAnswerInTheFile_data() {
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("format");
    QTest::newRow("xlsx") << 0 << "xlsx";
    QTest::newRow("csv") << 1 << "csv";
    QTest::newRow("sav") << 2 << "sav";
    QTest::newRow("dta") << 3 << "dta";
}

void TstExportMenu::everyAnswerInTheFile() {
    QFETCH(int, filter);
    QFETCH(QString, format);
    // The name without an extension: the chosen filter supplies it.
    const QString base = m_out->filePath(QStringLiteral("季度报送"));
    runItem("N_Export", "Frm_Export", [&](QFileDialog* d) {
        QCOMPARE(d->nameFilters().size(), 4);
        auto* layout = d->findChild<QComboBox*>(QStringLiteral("Cbx_Layout"));
        QVERIFY(layout);
        QCOMPARE(layout->count(), 2);
        d->selectNameFilter(d->nameFilters()[filter]);
        emit d->filterSelected(d->nameFilters()[filter]);
        d->selectFile(base);
        layout->setCurrentIndex(0);
        const QString shots = qEnvironmentVariable("QUENVALE_SHOTS");
        if (!shots.isEmpty() && filter == 0) d->grab().save(shots + QStringLiteral("/export-dialog.png"));
        QMetaObject::invokeMethod(d, "accept");
    });
    const QString path = base + u'.' + format;
    QCOMPARE(m_prompt->messages().size(), 1);
    QCOMPARE(m_prompt->messages()[0].kind, ScriptedPrompt::Kind::Inform);
    QCOMPARE(m_prompt->messages()[0].caption, QStringLiteral("导出问卷"));
    QCOMPARE(m_prompt->texts()[0], QStringLiteral("已导出 3 份问卷。\n") + QDir::toNativeSeparators(path));

    // heading or variable name -> value, per identity number.
    QMap<QString, QMap<QString, QString>> byId;
    const bool stats = format == QLatin1String("sav") || format == QLatin1String("dta");
    if (format == QLatin1String("sav")) {
        const auto f = readback::sav(path);
        QVERIFY(f.ok);
        for (const auto& row : f.rows)
            for (int c = 0; c < f.names.size(); ++c) byId[row[0].toString()][f.names[c]] = row[c].toString();
    } else {
        const QJsonObject j = readback::python(format, path);
        // The CSV for spreadsheets read as the README tells a program to read it.
        QJsonArray rows = format == QLatin1String("xlsx")
                              ? j.value("sheets").toArray()[0].toObject().value("rows").toArray()
                          : format == QLatin1String("csv") ? j.value("typed").toArray()
                                                           : j.value("rows").toArray();
        QJsonArray head;
        if (format == QLatin1String("dta")) {
            head = j.value("columns").toArray();
        } else {
            head = rows[0].toArray();
            rows.removeFirst();
        }
        for (const QJsonValue& r : rows) {
            const QJsonArray row = r.toArray();
            for (int c = 0; c < head.size(); ++c)
                byId[row[0].toString()][head[c].toString()] =
                    row[c].isDouble() ? QString::number(row[c].toDouble()) : row[c].toString();
        }
    }
    QCOMPARE(byId.size(), 3);
    for (const Answers& a : m_answers) {
        QVERIFY(byId.contains(a.id));
        const auto& row = byId[a.id];
        auto cell = [&](const QString& heading, const QString& var) {
            return row.value(stats ? var : heading);
        };
        QCOMPARE(cell(QStringLiteral("姓名"), QStringLiteral("name")), a.name);
        QCOMPARE(cell(QStringLiteral("家庭住址"), QStringLiteral("address")), a.address);
        for (const Group& g : groups()) {
            const QString var = QString::fromLatin1(g.storage).toLower();
            if (g.singleChoice) {
                const int b = a[g.id].ticked.indexOf(true);
                QCOMPARE(cell(question(g), var),
                         stats ? QString::number(g.boxes[b].code) : qs(g.boxes[b].caption));
            } else {
                for (int b = 0; b < int(g.boxes.size()); ++b)
                    QVERIFY2(
                        cell(question(g) + u'：' + qs(g.boxes[b].caption),
                             var + QStringLiteral("_%1").arg(g.boxes[b].code, 2, 10, QLatin1Char('0'))) ==
                            (a[g.id].ticked[b] ? u'1' : u'0'),
                        qPrintable(a.id + u' ' + qs(g.boxes[b].name)));
            }
            if (g.hasOther() && a[g.id].ticked.last()) {
                const QString want = a[g.id].otherText;
                QCOMPARE(cell(question(g) + QStringLiteral("：其它内容"), var + QStringLiteral("_other")),
                         want);
            }
        }
    }
}

void TstExportMenu::cancelled() {
    const QString path = m_out->filePath(QStringLiteral("取消.csv"));
    // Cancel as soon as the progress dialog exists.
    QTimer canceller;
    QObject::connect(&canceller, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<QProgressDialog*>(w);
                p && p->objectName() == QLatin1String("Frm_ExportProgress")) {
                p->cancel();
                canceller.stop();
            }
    });
    runItem("N_Export", "Frm_Export", [&](QFileDialog* d) {
        d->selectNameFilter(d->nameFilters()[1]);
        d->selectFile(path);
        canceller.start(0);
        QMetaObject::invokeMethod(d, "accept");
    });
    QCOMPARE(m_prompt->texts(), QStringList{QStringLiteral("导出已取消，没有写入任何文件。")});
    QVERIFY(QDir(m_out->path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

void TstExportMenu::statistics() {
    const QString path = m_out->filePath(QStringLiteral("统计表.xlsx"));
    runItem("N_ExportStats", "Frm_ExportStats", [&](QFileDialog* d) {
        d->selectFile(path);
        QMetaObject::invokeMethod(d, "accept");
    });
    QCOMPARE(m_prompt->texts(),
             QStringList{QStringLiteral("已导出 3 份问卷。\n") + QDir::toNativeSeparators(path)});
    QCOMPARE(m_prompt->messages()[0].caption, QStringLiteral("导出统计表"));
    const QJsonArray sheets = readback::python(QStringLiteral("xlsx"), path).value("sheets").toArray();
    QCOMPARE(sheets.size(), 18);
    // Page one counted from BasicInfo.
    const QJsonArray age = sheets[1].toObject().value("rows").toArray();
    QCOMPARE(age[3].toArray()[1].toInt(), 2);  // 35岁以下: the second and the third
    QCOMPARE(age[5].toArray()[1].toInt(), 1);  // 51-60岁: the first
}

QTEST_MAIN(TstExportMenu)
#include "tst_exportmenu.moc"
