#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QtTest>
#include <functional>
#include <memory>

#include "TestDb.h"
#include "core/report/Fonts.h"
#include "core/store/RegisterSearch.h"
#include "core/store/SqlQuery.h"
#include "core/store/SurveyStore.h"
#include "gui/data/TFrm_Find.h"
#include "gui/forms/QuestionnairePages.h"
#include "gui/forms/TFrm_Edit.h"
#include "gui/forms/TFrm_Query.h"
#include "gui/ui/ScriptedPrompt.h"
#include "gui/ui/StatusPanels.h"

using namespace catalogue;

namespace {

struct Person {
    const char* id;
    const char* name;
    const char* address;
    const char* workUnit;
    const char* phone;
    int age;  // box index
};

// Each text holds something the others do not, so that each search names exactly its matches.
const Person kPeople[] = {
    {"110101199001017654", "王秀英", "幸福路12号", "第一中学", "13811112222", 0},
    {"310104198502023456", "李强", "和平街5号", "ABC Trading", "021-66667777", 1},
    {"44030519700303789X", "张伟", "幸福路８８号", "市人民医院", "１３９００００５６７８", 2},
    {"510107196004045678", "王磊", "人民路100%号", "打折_商店", "13700001234", 3},
    {"330106195505053333", "陈静", "解放大道1号", "退休!协会", "13655551234", 0},
};

QStringList sorted(QStringList l) {
    l.sort();
    return l;
}

Answers answersOf(const Person& p) {
    Answers a = completeAnswers(QString::fromUtf8(p.id));
    a.name = QString::fromUtf8(p.name);
    a.address = QString::fromUtf8(p.address);
    a.workUnit = QString::fromUtf8(p.workUnit);
    a.phone = QString::fromUtf8(p.phone);
    for (int i = 0; i < a[Age].ticked.size(); ++i) a[Age].ticked[i] = i == p.age;
    return a;
}

// Runs `check` on the modal form that `trigger` opens, then closes that form.
void whileModal(const std::function<void()>& trigger, const std::function<void(QDialog*)>& check) {
    bool seen = false;
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [&] {
        auto* form = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!form || form->objectName() == QLatin1String("Frm_Find")) return;
        poll->stop();
        seen = true;
        check(form);
        form->close();
    });
    poll->start();
    trigger();
    delete poll;
    QVERIFY2(seen, "no form opened");
}

}  // namespace

class TstFind : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { fonts::install(); }

    void init() {
        m_db = std::make_unique<TestDb>();
        m_prompt = std::make_unique<ScriptedPrompt>();
    }

    void cleanup() {
        m_find.reset();
        m_prompt.reset();
        m_db.reset();
    }

    void windowAsItOpens() {
        seedPeople();
        openWindow();
        QCOMPARE(m_find->objectName(), QStringLiteral("Frm_Find"));
        QCOMPARE(m_find->windowTitle(), QStringLiteral("查找问卷"));
        QCOMPARE(button("Btn_View")->text(), QStringLiteral("查看(&V)"));
        QCOMPARE(button("Btn_Edit")->text(), QStringLiteral("修改(&E)"));
        for (auto* b : m_find->findChildren<QPushButton*>()) QVERIFY(!b->autoDefault() && !b->isDefault());
        QStringList headers;
        for (int c = 0; c < model()->columnCount(); ++c)
            headers << model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headers, QStringList({"身份证号码", "姓名", "家庭住址", "工作单位", "联系电话", "年龄"}));

        // The whole register in identity-number order, the first row current, the focus in the field.
        QCOMPARE(listedIds(), sorted(ids(kPeople)));
        QCOMPARE(grid()->currentIndex().row(), 0);
        QCOMPARE(status(), QStringLiteral("共 5 份问卷"));
        QCOMPARE(QApplication::focusWidget(), search());
        QVERIFY(button("Btn_View")->isEnabled() && button("Btn_Edit")->isEnabled());

        // The age column shows the caption of the stored code.
        const int row = rowOf(QString::fromUtf8(kPeople[2].id));
        QCOMPARE(cell(row, 1), QStringLiteral("张伟"));
        QCOMPARE(cell(row, 5), QStringLiteral("51-60岁"));
        QCOMPARE(cell(rowOf(QString::fromUtf8(kPeople[0].id)), 5), QStringLiteral("35岁以下"));

        // Tab goes from the field to the list, Esc closes the window.
        QTest::keyClick(search(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), grid());
        QTest::keyClick(grid(), Qt::Key_Escape);
        QVERIFY(!m_find->isVisible());
        QVERIFY(m_prompt->messages().isEmpty());
    }

    void matches_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QList<int>>("people");

        QTest::newRow("identity number, middle") << "19850202" << QList<int>{1};
        QTest::newRow("identity number, lower-case x") << "789x" << QList<int>{2};
        QTest::newRow("name, part") << "秀英" << QList<int>{0};
        QTest::newRow("name, surname") << "王" << QList<int>{0, 3};
        QTest::newRow("address") << "幸福路" << QList<int>{0, 2};
        QTest::newRow("work unit, other case") << "abc" << QList<int>{1};
        QTest::newRow("phone, last four digits") << "1234" << QList<int>{3, 4};
        QTest::newRow("several words, each anywhere") << "王 1234" << QList<int>{3};
        QTest::newRow("several words, full-width blank") << "幸福路\u3000张" << QList<int>{2};
        QTest::newRow("several words, one missing") << "王 和平街" << QList<int>{};
        QTest::newRow("word across two texts never matches") << "强和平" << QList<int>{};
        QTest::newRow("half-width digits find full-width ones") << "5678" << QList<int>{2, 3};
        QTest::newRow("full-width digits find half-width ones") << "２２２２" << QList<int>{0};
        QTest::newRow("full-width digits find full-width ones") << "８８号" << QList<int>{2};
        QTest::newRow("full-width nines find half-width ones") << "１９９０" << QList<int>{0};
        QTest::newRow("percent sign is literal") << "%" << QList<int>{3};
        QTest::newRow("percent sign inside a word") << "0%号" << QList<int>{3};
        QTest::newRow("underscore is literal") << "_" << QList<int>{3};
        QTest::newRow("underscore inside a word") << "折_商" << QList<int>{3};
        QTest::newRow("escape character is literal") << "!" << QList<int>{4};
        QTest::newRow("question mark beside digits is literal") << "1?0" << QList<int>{};
        QTest::newRow("star beside digits is literal") << "1*号" << QList<int>{};
        QTest::newRow("brackets beside digits are literal") << "[1]" << QList<int>{};
        QTest::newRow("quote is a plain character") << "'" << QList<int>{};
        QTest::newRow("blanks only list everything") << "  \t " << QList<int>{0, 1, 2, 3, 4};
        QTest::newRow("no match") << "无此人" << QList<int>{};
    }

    void matches() {
        QFETCH(QString, typed);
        QFETCH(QList<int>, people);
        seedPeople();
        openWindow();
        search()->setText(typed);
        m_find->Edt_SearchChange();

        QStringList expected;
        for (int i : people) expected << QString::fromUtf8(kPeople[i].id);
        QCOMPARE(listedIds(), sorted(expected));
        if (typed.trimmed().isEmpty())
            QCOMPARE(status(), QStringLiteral("共 5 份问卷"));
        else if (people.isEmpty())
            QCOMPARE(status(), QStringLiteral("没有找到符合条件的问卷"));
        else
            QCOMPARE(status(), QStringLiteral("找到 %1 份问卷").arg(people.size()));
        QCOMPARE(button("Btn_View")->isEnabled(), !people.isEmpty());
        QVERIFY(m_prompt->messages().isEmpty());
    }

    // A whole identity number also finds the same resident under its other form; a part of
    // one does not.
    void otherFormOfANumber_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("found");
        QTest::newRow("18 digits find 15") << "440305800229001"
                                           << "440305198002290010" << true;
        QTest::newRow("18 digits, wrong check, find 15") << "440305800229001"
                                                         << "440305198002290011" << true;
        QTest::newRow("15 digits find 18") << "440305198002290010"
                                           << "440305800229001" << true;
        QTest::newRow("15 digits find 18 with X") << "11010519491231002X"
                                                  << "110105491231002" << true;
        QTest::newRow("15 digits find 18 with x") << "11010519491231002x"
                                                  << "110105491231002" << true;
        QTest::newRow("18 digits of the 2000s") << "110101000101123"
                                                << "110101200001011237" << false;
        QTest::newRow("part of a number") << "440305800229001"
                                          << "4403051980" << false;
    }

    void otherFormOfANumber() {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(bool, found);
        SqlQuery q(QStringLiteral("MyDb"));
        SurveyStore(q).store(completeAnswers(stored));
        SurveyStore(q).store(completeAnswers(QStringLiteral("510107196004045678")));
        QCOMPARE(RegisterSearch(q).find(typed), found ? QStringList{stored} : QStringList{});
    }

    void typingFiltersAfterAPause() {
        seedPeople();
        openWindow();
        QTest::keyClicks(search(), QStringLiteral("1234"));
        QCOMPARE(model()->rowCount(), 5);  // not at every key
        QTRY_COMPARE(model()->rowCount(), 2);
        QCOMPARE(status(), QStringLiteral("找到 2 份问卷"));
        // Enter filters at once; Down goes into the list.
        search()->setText(QStringLiteral("陈"));
        QTest::keyClick(search(), Qt::Key_Return);
        QCOMPARE(listedIds(), QStringList{QString::fromUtf8(kPeople[4].id)});
        QTest::keyClick(search(), Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), grid());
    }

    void emptyRegister() {
        openWindow();
        QCOMPARE(model()->rowCount(), 0);
        QCOMPARE(status(), QStringLiteral("共 0 份问卷"));
        QVERIFY(!button("Btn_View")->isEnabled() && !button("Btn_Edit")->isEnabled());
        search()->setText(QStringLiteral("王"));
        m_find->Edt_SearchChange();
        QCOMPARE(status(), QStringLiteral("没有找到符合条件的问卷"));
        // Enter in the empty list opens nothing.
        grid()->setFocus();
        QTest::keyClick(grid(), Qt::Key_Return);
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(m_prompt->messages().isEmpty());
    }

    void largeRegisterScrolledToEnd() {
        constexpr int n = 10000;
        {
            SqlQuery q(QStringLiteral("MyDb"));
            q.begin();
            for (int i = 0; i < n; ++i) {
                q.setSql(
                    QStringLiteral("INSERT INTO BasicInfo (ID, name, Address, WorkUnit, Phone, age) "
                                   "VALUES (?, ?, ?, ?, ?, ?)"),
                    {QStringLiteral("9%1").arg(i, 17, 10, QLatin1Char('0')), QStringLiteral("居民%1").arg(i),
                     QStringLiteral("幸福路%1号").arg(i % 300), QStringLiteral("单位%1").arg(i % 7),
                     QStringLiteral("138%1").arg(i, 8, 10, QLatin1Char('0')), QString::number(1 + i % 4)});
                q.execSql();
            }
            q.commit();
        }
        openWindow();
        QCOMPARE(model()->rowCount(), n);
        QCOMPARE(status(), QStringLiteral("共 10000 份问卷"));

        grid()->scrollToBottom();
        QCoreApplication::processEvents();
        QCOMPARE(grid()->verticalScrollBar()->value(), grid()->verticalScrollBar()->maximum());
        const int last = grid()->rowAt(grid()->viewport()->height() - 2);
        QCOMPARE(last, n - 1);
        QCOMPARE(cell(last, 0), QStringLiteral("900000000000009999"));
        QCOMPARE(cell(last, 1), QStringLiteral("居民9999"));
        QCOMPARE(cell(last, 5), QStringLiteral("61-70岁"));
        // Every row can be read, in both directions, and the current row follows the keys.
        QCOMPARE(cell(0, 1), QStringLiteral("居民0"));
        QCOMPARE(cell(5000, 4), QStringLiteral("13800005000"));
        grid()->setFocus();
        grid()->setCurrentIndex(model()->index(0, 0));
        QTest::keyClick(grid(), Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(m_find->currentId(), QStringLiteral("900000000000009999"));

        // Sorting by name, descending, as texts: "居民999" stands between "居民9990" and "居民9989".
        grid()->horizontalHeader()->setSortIndicator(1, Qt::DescendingOrder);
        QCOMPARE(model()->rowCount(), n);
        QCOMPARE(cell(0, 1), QStringLiteral("居民9999"));
        QCOMPARE(cell(9, 1), QStringLiteral("居民9990"));
        QCOMPARE(cell(10, 1), QStringLiteral("居民999"));
        QCOMPARE(cell(11, 1), QStringLiteral("居民9989"));
        QCOMPARE(cell(n - 1, 1), QStringLiteral("居民0"));
        QCOMPARE(m_find->currentId(), QStringLiteral("900000000000009999"));  // still current

        // By identity number, descending: the last number first.
        grid()->horizontalHeader()->setSortIndicator(0, Qt::DescendingOrder);
        QCOMPARE(cell(0, 0), QStringLiteral("900000000000009999"));
        QCOMPARE(cell(n - 1, 0), QStringLiteral("900000000000000000"));

        // A search narrows the large list too.
        search()->setText(QStringLiteral("单位3 幸福路1"));
        m_find->Edt_SearchChange();
        for (int r = 0; r < model()->rowCount(); ++r) {
            QCOMPARE(cell(r, 3), QStringLiteral("单位3"));
            QVERIFY(cell(r, 2).startsWith(QStringLiteral("幸福路1")));
        }
        QVERIFY(model()->rowCount() > 100);
    }

    void failedStatement() {
        // A register whose statement fails: a message, and the window stays usable.
        m_db->exec(QStringLiteral("DROP TABLE BasicInfo"));
        openWindow();
        QTRY_COMPARE(m_prompt->texts(), QStringList{QStringLiteral("查找失败！")});
        QCOMPARE(status(), QStringLiteral("查找失败！"));
        QCOMPARE(model()->rowCount(), 0);
        QVERIFY(!button("Btn_View")->isEnabled());
        search()->setText(QStringLiteral("王"));
        m_find->Edt_SearchChange();
        QTRY_COMPARE(m_prompt->messages().size(), 2);
    }

    void openFromRow_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("form");
        QTest::newRow("view button") << "Btn_View"
                                     << "Frm_Query";
        QTest::newRow("Enter on the row") << "Enter"
                                          << "Frm_Query";
        QTest::newRow("double-click") << "double-click"
                                      << "Frm_Query";
        QTest::newRow("edit button") << "Btn_Edit"
                                     << "Frm_Edit";
    }

    void openFromRow() {
        QFETCH(QString, how);
        QFETCH(QString, form);
        seedPeople();
        openWindow();
        const QString id = QString::fromUtf8(kPeople[3].id);
        select(id);
        whileModal(
            [&] {
                if (how == QLatin1String("Enter")) {
                    grid()->setFocus();
                    QTest::keyClick(grid(), Qt::Key_Return);
                } else if (how == QLatin1String("double-click")) {
                    const QRect r = grid()->visualRect(model()->index(grid()->currentIndex().row(), 1));
                    // The view takes a double-click only on the row the first click pressed.
                    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, r.center());
                    QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, r.center());
                } else {
                    button(qPrintable(how))->click();
                }
            },
            [&](QDialog* shown) {
                QCOMPARE(shown->objectName(), form);
                QTRY_COMPARE(statusOf(shown), QStringLiteral("查询成功！"));
                QCOMPARE(shown->findChild<QLineEdit*>(QStringLiteral("Edt_ID"))->text(), id);
                QCOMPARE(shown->findChild<QLineEdit*>(QStringLiteral("Edt_Name"))->text(),
                         QString::fromUtf8(kPeople[3].name));
                QCOMPARE(shown->findChild<QuestionnairePages*>()->answers().address,
                         QString::fromUtf8(kPeople[3].address));
                if (form == QLatin1String("Frm_Query"))
                    QVERIFY(shown->findChild<QPushButton*>(QStringLiteral("Btn_Delete"))->isEnabled());
                else
                    QCOMPARE(static_cast<TFrm_Edit*>(shown)->state(), TFrm_Edit::State::Editing);
            });
        QVERIFY(m_prompt->messages().isEmpty());
        QCOMPARE(m_find->currentId(), id);
        QCOMPARE(model()->rowCount(), 5);
    }

    void changeInEditFormShowsInList() {
        seedPeople();
        openWindow();
        const QString id = QString::fromUtf8(kPeople[1].id);
        search()->setText(QStringLiteral("李强"));
        m_find->Edt_SearchChange();
        QCOMPARE(m_find->currentId(), id);
        whileModal(
            [&] { button("Btn_Edit")->click(); },
            [&](QDialog* edit) {
                QTRY_COMPARE(static_cast<TFrm_Edit*>(edit)->state(), TFrm_Edit::State::Editing);
                edit->findChild<QLineEdit*>(QStringLiteral("Edt_Name"))->setText(QStringLiteral("李强国"));
                edit->findChild<QLineEdit*>(QStringLiteral("Edt_Phone"))
                    ->setText(QStringLiteral("13912345678"));
                edit->findChild<QPushButton*>(QStringLiteral("Btn_Save"))->click();
                QCOMPARE(m_prompt->texts(), QStringList{QStringLiteral("修改记录成功！")});
            });
        // The list was read again: the same questionnaire, current, with its new texts.
        QCOMPARE(m_find->currentId(), id);
        const int row = grid()->currentIndex().row();
        QCOMPARE(cell(row, 1), QStringLiteral("李强国"));
        QCOMPARE(cell(row, 4), QStringLiteral("13912345678"));
    }

    void deleteInQueryFormRemovesRow() {
        seedPeople();
        openWindow();
        const QStringList all = sorted(ids(kPeople));
        select(all[2]);
        m_prompt->answerConfirmations({true});
        whileModal([&] { button("Btn_View")->click(); },
                   [&](QDialog* query) {
                       QTRY_COMPARE(statusOf(query), QStringLiteral("查询成功！"));
                       query->findChild<QPushButton*>(QStringLiteral("Btn_Delete"))->click();
                       QCOMPARE(statusOf(query), QStringLiteral("删除成功！"));
                   });
        QCOMPARE(model()->rowCount(), 4);
        QVERIFY(!listedIds().contains(all[2]));
        QCOMPARE(status(), QStringLiteral("共 4 份问卷"));
        // Its neighbour takes its place as the current row.
        QCOMPARE(m_find->currentId(), all[3]);
    }

    // startWith behaves as typing the number into Edt_ID and pressing Enter: compared with a
    // second form of the same kind driven by the keyboard.
    void startWithActsAsTyped_data() {
        QTest::addColumn<bool>("edit");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("status");
        const QString stored = QString::fromUtf8(kPeople[2].id);
        for (bool edit : {false, true}) {
            const char* form = edit ? "Edit: " : "Query: ";
            QTest::addRow("%sfound", form) << edit << stored << QStringLiteral("查询成功！");
            QTest::addRow("%snot stored", form) << edit << QStringLiteral("123456789012345678")
                                                << QStringLiteral("查询成功,没有符合条件的记录！");
            QTest::addRow("%sread fails", form)
                << edit << QStringLiteral("220202850202234") << QStringLiteral("查询失败！");
            QTest::addRow("%sempty", form)
                << edit << QString() << QStringLiteral("正在查询相关信息,请稍候...");
        }
    }

    void startWithActsAsTyped() {
        QFETCH(bool, edit);
        QFETCH(QString, id);
        QFETCH(QString, status);
        seedPeople();
        m_db->exec(
            QStringLiteral("INSERT INTO BasicInfo VALUES (?,'王五','','','','ab','1','1','1','1','1')"),
            {QStringLiteral("220202850202234")});

        auto make = [&]() -> std::unique_ptr<QDialog> {
            if (edit) return std::make_unique<TFrm_Edit>();
            return std::make_unique<TFrm_Query>();
        };
        // Typed by hand.
        std::unique_ptr<QDialog> typed = make();
        typed->show();
        QVERIFY(QTest::qWaitForWindowActive(typed.get()));
        auto* typedId = typed->findChild<QLineEdit*>(QStringLiteral("Edt_ID"));
        typedId->setFocus();
        QTest::keyClicks(typedId, id);
        QTest::keyClick(typedId, Qt::Key_Return);
        const QStringList typedMessages = m_prompt->texts();
        const QString typedState = snapshot(typed.get());
        typed.reset();
        m_prompt->clear();

        // Started with the number.
        std::unique_ptr<QDialog> started = make();
        if (edit)
            static_cast<TFrm_Edit*>(started.get())->startWith(id);
        else
            static_cast<TFrm_Query*>(started.get())->startWith(id);
        QVERIFY(m_prompt->messages().isEmpty());  // nothing happens before the form is shown
        started->show();
        QVERIFY(QTest::qWaitForWindowActive(started.get()));
        QTRY_COMPARE(statusOf(started.get()), status);
        QCOMPARE(m_prompt->texts(), typedMessages);
        QCOMPARE(snapshot(started.get()), typedState);
    }

private:
    void seedPeople() {
        SqlQuery q(QStringLiteral("MyDb"));
        for (const Person& p : kPeople) SurveyStore(q).store(answersOf(p));
    }

    void openWindow() {
        m_find = std::make_unique<TFrm_Find>();
        m_find->show();
        QVERIFY(QTest::qWaitForWindowActive(m_find.get()));
    }

    static QStringList ids(const Person (&people)[5]) {
        QStringList out;
        for (const Person& p : people) out << QString::fromUtf8(p.id);
        return out;
    }

    QTableView* grid() const { return m_find->findChild<QTableView*>(QStringLiteral("Grid_Results")); }
    QAbstractItemModel* model() const { return grid()->model(); }
    QLineEdit* search() const { return m_find->findChild<QLineEdit*>(QStringLiteral("Edt_Search")); }
    QPushButton* button(const char* name) const {
        return m_find->findChild<QPushButton*>(QLatin1String(name));
    }
    QString status() const { return statusOf(m_find.get()); }
    QString cell(int row, int column) const { return model()->index(row, column).data().toString(); }

    static QString statusOf(QWidget* form) { return form->findChild<StatusPanels*>()->panelText(0); }

    // What a form shows: its identity-number field, which controls are enabled, and the answers.
    static QString snapshot(QDialog* form) {
        QStringList parts;
        auto* id = form->findChild<QLineEdit*>(QStringLiteral("Edt_ID"));
        parts << id->text() << QString::number(id->isEnabled());
        QStringList buttons;
        for (auto* b : form->findChildren<QPushButton*>())
            buttons << b->objectName() + u'=' + QString::number(b->isEnabled());
        buttons.sort();
        parts << buttons << statusOf(form);
        const Answers a = form->findChild<QuestionnairePages*>()->answers();
        parts << a.name << a.address << a.phone << QString::number(a.tickCount(Age));
        return parts.join(u'|');
    }

    QStringList listedIds() const {
        QStringList out;
        for (int r = 0; r < model()->rowCount(); ++r) out << cell(r, 0);
        return out;
    }

    int rowOf(const QString& id) const { return int(listedIds().indexOf(id)); }

    void select(const QString& id) {
        const int row = rowOf(id);
        QVERIFY(row >= 0);
        grid()->setCurrentIndex(model()->index(row, 0));
        QCOMPARE(m_find->currentId(), id);
    }

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<TFrm_Find> m_find;
};

QTEST_MAIN(TstFind)
#include "tst_find.moc"
