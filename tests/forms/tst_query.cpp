#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "PageHintTable.h"
#include "TestDb.h"
#include "core/report/Fonts.h"
#include "core/store/SqlQuery.h"
#include "core/store/Statements.h"
#include "core/store/SurveyStore.h"
#include "gui/forms/QuestionnairePages.h"
#include "gui/forms/TFrm_Query.h"
#include "gui/ui/ScriptedPrompt.h"
#include "gui/ui/StatusPanels.h"

using namespace catalogue;

namespace {

const QString kA = QStringLiteral("110101199001011234");
// A fifteen-digit number of the old kind, so that blanks around it still fit in 18 characters.
const QString kB = QStringLiteral("220202850202234");
const QString kSearching = QStringLiteral("正在查询相关信息,请稍候...");
const QString kFound = QStringLiteral("查询成功！");
const QString kReadFailed = QStringLiteral("查询失败！");
const QString kConfirm = QStringLiteral("你真的要删除此条记录吗？");
const QString kDeleted = QStringLiteral("删除成功！");
const QString kDeleting = QStringLiteral("正在删除记录...");

// A questionnaire with other texts and several ticks, different from completeAnswers().
Answers richAnswers(const QString& id) {
    Answers a;
    a.id = id;
    a.name = QStringLiteral("李四");
    a.address = QStringLiteral("和平街 5 号");
    a.workUnit = QStringLiteral("第二中学");
    a.phone = QStringLiteral("021-5555");
    a[Age].ticked[2] = a[Level].ticked[3] = a[Political].ticked[1] = true;
    a[Duty].ticked.last() = true;
    a[Duty].otherText = QStringLiteral("园艺师");
    a[Position].ticked[4] = true;
    a[Flag].ticked[1] = true;
    a[Special].ticked[3] = a[Special].ticked.last() = true;
    a[Special].otherText = QStringLiteral("剪纸");
    a[Time].ticked[5] = true;
    a[Channel].ticked[2] = true;
    return a;
}

QStringList ticked(QWidget* form, const QString& prefix) {
    QStringList out;
    for (auto* cb : form->findChildren<QCheckBox*>())
        if (cb->objectName().startsWith(prefix) && cb->isChecked()) out << cb->objectName();
    out.sort();
    return out;
}

enum class Seed { Complete, Fifteen, LowerX, BadAge };

}  // namespace

Q_DECLARE_METATYPE(Seed)

class TstQuery : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QUENVALE_SKIP_WITHOUT_ENGINE();
        fonts::install();
    }

    void init() {
        m_db = std::make_unique<TestDb>();
        m_prompt = std::make_unique<ScriptedPrompt>();
        m_form = std::make_unique<TFrm_Query>();
        m_prompt->setSnapshot([this] { return sb()->panelText(0); });
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }

    void cleanup() {
        m_form.reset();
        m_prompt.reset();
        m_db.reset();
    }

    void formAsItOpens() {
        QCOMPARE(m_form->size(), QSize(691, 387));
        QCOMPARE(pages()->currentIndex(), 0);
        QVERIFY(!deleteButton()->isEnabled());
        QCOMPARE(idEdit()->maxLength(), 18);

        // Left to right Qry, Delete, Close; Tab visits Close before Delete.
        auto* qry = button("Btn_Qry");
        auto* close = button("Button2");
        QVERIFY(qry->x() < deleteButton()->x() && deleteButton()->x() < close->x());
        QCOMPARE(idEdit()->nextInFocusChain(), qry);
        QCOMPARE(qry->nextInFocusChain(), close);
        QCOMPARE(close->nextInFocusChain(), deleteButton());
        for (auto* b : m_form->findChildren<QPushButton*>()) QVERIFY(!b->autoDefault() && !b->isDefault());

        // Any key is taken as typed.
        QTest::keyClicks(idEdit(), QStringLiteral("ab-1 x"));
        QCOMPARE(idEdit()->text(), QStringLiteral("ab-1 x"));
    }

    void lookupOutcomes_data() {
        QTest::addColumn<Seed>("seed");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("viaEnter");
        QTest::addColumn<QString>("message");  // empty: no box
        QTest::addColumn<QString>("panel");
        QTest::addColumn<bool>("shown");

        QTest::newRow("empty") << Seed::Complete << " \t " << true << "请输入身份证号码" << kSearching
                               << false;
        QTest::newRow("not found") << Seed::Complete << kB << true << "没有符合条件的记录"
                                   << "查询成功,没有符合条件的记录！" << false;
        QTest::newRow("read failure") << Seed::BadAge << kA << false << kReadFailed << kReadFailed << false;
        QTest::newRow("found") << Seed::Complete << kA << false << QString() << kFound << true;
        QTest::newRow("found by Enter") << Seed::Complete << kA << true << QString() << kFound << true;
        QTest::newRow("blanks around")
            << Seed::Fifteen << " " + kB + " \t" << false << QString() << kFound << true;
        QTest::newRow("lower-case x")
            << Seed::LowerX << "11010119900101123x" << true << QString() << kFound << true;
    }

    void lookupOutcomes() {
        QFETCH(Seed, seed);
        QFETCH(QString, typed);
        QFETCH(bool, viaEnter);
        QFETCH(QString, message);
        QFETCH(QString, panel);
        QFETCH(bool, shown);

        if (seed == Seed::Complete) store(completeAnswers(kA));
        if (seed == Seed::Fifteen) store(completeAnswers(kB));
        if (seed == Seed::LowerX) store(completeAnswers(QStringLiteral("11010119900101123X")));
        if (seed == Seed::BadAge)
            m_db->exec(
                QStringLiteral("INSERT INTO BasicInfo VALUES (?,'王五','','','','ab','1','1','1','1','1')"),
                {kA});

        idEdit()->setText(typed);
        if (viaEnter)
            QTest::keyClick(idEdit(), Qt::Key_Return);
        else
            button("Btn_Qry")->click();

        // Exactly one box (Enter must not run the lookup twice), opened over the searching text.
        if (message.isEmpty()) {
            QVERIFY2(m_prompt->messages().isEmpty(), qPrintable(m_prompt->texts().join(u'|')));
        } else {
            QCOMPARE(m_prompt->texts(), QStringList{message});
            QCOMPARE(m_prompt->messages()[0].caption, QStringLiteral("提示"));
            QCOMPARE(m_prompt->messages()[0].snapshot, kSearching);
        }
        QCOMPARE(sb()->panelText(0), panel);
        QCOMPARE(idEdit()->text(), typed);
        QCOMPARE(deleteButton()->isEnabled(), shown);
        if (shown) {
            QCOMPARE(pages()->basicEdit(0)->text(), QStringLiteral("张三"));
            QCOMPARE(ticked(m_form.get(), QStringLiteral("Cbx_Channel")), QStringList{"Cbx_Channel1"});
        } else if (seed != Seed::BadAge) {
            QVERIFY(pages()->basicEdit(0)->text().isEmpty());
        }
    }

    void readFailureKeepsWhatWasLoaded_data() {
        QTest::addColumn<QString>("breakLove");
        QTest::newRow("Love code not a number")
            << "INSERT INTO Love (ID, Code, Name) VALUES ('" + kA + "', 'ab', '')";
        QTest::newRow("Love table gone") << "DROP TABLE Love";
    }

    void readFailureKeepsWhatWasLoaded() {
        QFETCH(QString, breakLove);
        store(completeAnswers(kA));
        m_db->exec(breakLove);

        idEdit()->setText(kA);
        button("Btn_Qry")->click();

        QCOMPARE(m_prompt->texts(), QStringList{kReadFailed});
        QCOMPARE(m_prompt->messages()[0].snapshot, kSearching);
        QCOMPARE(sb()->panelText(0), kReadFailed);
        QCOMPARE(pages()->basicEdit(0)->text(), QStringLiteral("张三"));
        QCOMPARE(ticked(m_form.get(), QStringLiteral("Cbx_Duty")), QStringList{"Cbx_Duty1"});
        QCOMPARE(ticked(m_form.get(), QStringLiteral("Cbx_Special")), QStringList{"Cbx_Special1"});
        // The tables after the failing one are not read.
        QVERIFY(ticked(m_form.get(), QStringLiteral("Cbx_Team")).isEmpty());
        QVERIFY(ticked(m_form.get(), QStringLiteral("Cbx_Channel")).isEmpty());
        QVERIFY(!deleteButton()->isEnabled());
    }

    void storedValuesDecode_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("edit");  // other text box of the group, if any
        QTest::addColumn<QString>("editText");

        QTest::newRow("occupation 99|abc") << "duty"
                                           << "99|abc"
                                           << "Cbx_Duty" << QStringList{"Cbx_Duty12"} << "Edt_Duty"
                                           << "abc";
        QTest::newRow("occupation 12") << "duty"
                                       << "12"
                                       << "Cbx_Duty" << QStringList{} << "Edt_Duty"
                                       << "";
        QTest::newRow("title 99|") << "Position"
                                   << "99|"
                                   << "Cbx_Position" << QStringList{"Cbx_Position6"} << "Edt_Position"
                                   << "";
        QTest::newRow("title 5") << "Position"
                                 << "5"
                                 << "Cbx_Position" << QStringList{"Cbx_Position5"} << "Edt_Position"
                                 << "";
        QTest::newRow("title 6") << "Position"
                                 << "6"
                                 << "Cbx_Position" << QStringList{} << "Edt_Position"
                                 << "";
        QTest::newRow("Flag 0") << "Flag"
                                << "0"
                                << "Cbx_Flag" << QStringList{"Cbx_Flag2"} << ""
                                << "";
        QTest::newRow("Flag 2") << "Flag"
                                << "2"
                                << "Cbx_Flag" << QStringList{} << ""
                                << "";
    }

    void storedValuesDecode() {
        QFETCH(QString, column);
        QFETCH(QString, value);
        QFETCH(QString, prefix);
        QFETCH(QStringList, expected);
        QFETCH(QString, edit);
        QFETCH(QString, editText);

        m_db->exec(QStringLiteral("INSERT INTO BasicInfo VALUES (?,'赵六','','','','1','1','1','1','1','1')"),
                   {kA});
        m_db->exec(QStringLiteral("UPDATE BasicInfo SET %1 = ?").arg(column), {value});
        idEdit()->setText(kA);
        button("Btn_Qry")->click();

        QVERIFY(m_prompt->messages().isEmpty());
        QCOMPARE(sb()->panelText(0), kFound);
        QCOMPARE(ticked(m_form.get(), prefix), expected);
        if (!edit.isEmpty()) QCOMPARE(m_form->findChild<QLineEdit*>(edit)->text(), editText);
    }

    void secondLookupShowsOnlyThatRecord() {
        store(richAnswers(kA));
        store(completeAnswers(kB));
        idEdit()->setText(kA);
        button("Btn_Qry")->click();
        // Abandoned edits on the first record must not survive either.
        pages()->box(Love, 4)->setChecked(true);
        pages()->otherEdit(Team)->setText(QStringLiteral("舞龙"));

        idEdit()->setText(kB);
        QTest::keyClick(idEdit(), Qt::Key_Enter);
        Answers expected = completeAnswers(kB);
        expected.id.clear();
        QCOMPARE(pages()->answers(), expected);

        // A lookup that finds nothing leaves the shown record alone.
        idEdit()->setText(QStringLiteral("330303"));
        button("Btn_Qry")->click();
        QCOMPARE(pages()->answers(), expected);
    }

    void deleteButtonStaysEnabledOnceALookupCompleted() {
        store(completeAnswers(kA));
        m_db->exec(QStringLiteral("INSERT INTO BasicInfo VALUES (?,'','','','','x','1','1','1','1','1')"),
                   {kB});
        const auto lookUp = [this](const QString& id) {
            idEdit()->setText(id);
            button("Btn_Qry")->click();
            return deleteButton()->isEnabled();
        };
        QVERIFY(!lookUp(QStringLiteral("404")));
        QVERIFY(!lookUp(kB));  // read failure
        QVERIFY(lookUp(kA));
        QVERIFY(lookUp(QStringLiteral("404")));
        QVERIFY(lookUp(kB));
        QVERIFY(lookUp(QString()));
        m_prompt->answerConfirmations({true});
        idEdit()->setText(kA);
        deleteButton()->click();
        QVERIFY(deleteButton()->isEnabled());
    }

    void deleteFlows_data() {
        QTest::addColumn<QString>("typedAfterLookup");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<int>("presses");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QStringList>("remaining");  // numbers whose questionnaire is still whole

        const QStringList once{kConfirm, kDeleted};
        QTest::newRow("the number looked up")
            << kA << QList<bool>{true} << 1 << once << kDeleted << QStringList{kB};
        QTest::newRow("another number typed")
            << kB << QList<bool>{true} << 1 << once << kDeleted << QStringList{kA};
        QTest::newRow("blanks around")
            << " " + kB + " " << QList<bool>{true} << 1 << once << kDeleted << QStringList{kA};
        QTest::newRow("pressed twice")
            << kA << QList<bool>{true, true} << 2 << (once + once) << kDeleted << QStringList{kB};
        QTest::newRow("no stored rows")
            << "404" << QList<bool>{true} << 1 << once << kDeleted << QStringList{kA, kB};
        QTest::newRow("emptied after the lookup")
            << "  " << QList<bool>{true} << 1 << QStringList{kConfirm, "请输入身份证号！"} << kFound
            << QStringList{kA, kB};
        QTest::newRow("answered No") << kA << QList<bool>{false} << 1 << QStringList{kConfirm} << kFound
                                     << QStringList{kA, kB};
    }

    void deleteFlows() {
        QFETCH(QString, typedAfterLookup);
        QFETCH(QList<bool>, answers);
        QFETCH(int, presses);
        QFETCH(QStringList, messages);
        QFETCH(QString, panel);
        QFETCH(QStringList, remaining);

        store(richAnswers(kA));
        store(completeAnswers(kB));
        const QString before = m_db->dump();
        idEdit()->setText(kA);
        button("Btn_Qry")->click();
        const Answers shown = pages()->answers();
        idEdit()->setText(typedAfterLookup);

        m_prompt->answerConfirmations(answers, false);
        for (int i = 0; i < presses; ++i) deleteButton()->click();

        QCOMPARE(m_prompt->texts(), messages);
        for (const auto& m : m_prompt->messages()) {
            QCOMPARE(m.caption, m.text == kConfirm ? QStringLiteral("确认") : QStringLiteral("提示"));
            QCOMPARE(m.kind,
                     m.text == kConfirm ? ScriptedPrompt::Kind::Confirm : ScriptedPrompt::Kind::Inform);
            if (m.text == kDeleted) QCOMPARE(m.snapshot, kDeleting);
        }
        QCOMPARE(sb()->panelText(0), panel);
        for (const QString& id : {kA, kB}) {
            const bool kept = remaining.contains(id);
            const int rows = m_db->count(QStringLiteral("BasicInfo"), id) +
                             m_db->count(QStringLiteral("Special"), id) +
                             m_db->count(QStringLiteral("Channel"), id);
            QVERIFY2(kept ? rows > 0 : rows == 0, qPrintable(id));
        }
        if (remaining.size() == 2) QCOMPARE(m_db->dump(), before);
        // A delete changes no control.
        QCOMPARE(idEdit()->text(), typedAfterLookup);
        QCOMPARE(pages()->answers(), shown);
        QVERIFY(deleteButton()->isEnabled());
    }

    // "…X" and "…x" are one number: a number stored as "…x" by another program is found and
    // deleted whichever way it is typed, and where both are stored each is reached exactly.
    void spellingsOfOneNumber_data() {
        QTest::addColumn<QStringList>("stored");  // 李四 under the first, 张三 under the second
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shownName");
        QTest::addColumn<QStringList>("remaining");

        const QString X = QStringLiteral("11010519491231002X"), x = QStringLiteral("11010519491231002x");
        QTest::newRow("x stored, X typed") << QStringList{x} << X << "李四" << QStringList{};
        QTest::newRow("x stored, x typed") << QStringList{x} << x << "李四" << QStringList{};
        QTest::newRow("X stored, x typed") << QStringList{X} << x << "李四" << QStringList{};
        QTest::newRow("both, X typed") << QStringList{X, x} << X << "李四" << QStringList{x};
        QTest::newRow("both, x typed") << QStringList{X, x} << x << "张三" << QStringList{X};
        QTest::newRow("both, x stored first") << QStringList{x, X} << x << "李四" << QStringList{X};
    }

    void spellingsOfOneNumber() {
        QFETCH(QStringList, stored);
        QFETCH(QString, typed);
        QFETCH(QString, shownName);
        QFETCH(QStringList, remaining);

        for (int i = 0; i < stored.size(); ++i) {
            const QString temporary = QStringLiteral("99999999999999999%1").arg(i);
            store(i == 0 ? richAnswers(temporary) : completeAnswers(temporary));
            for (int t = 0; t < statements::kTableCount; ++t)
                m_db->exec(QStringLiteral("UPDATE %1 SET ID=? WHERE ID=?").arg(statements::tableName(t)),
                           {stored[i], temporary});
        }
        idEdit()->setText(typed);
        QTest::keyClick(idEdit(), Qt::Key_Return);
        QVERIFY2(m_prompt->messages().isEmpty(), qPrintable(m_prompt->texts().join(u'|')));
        QCOMPARE(pages()->basicEdit(0)->text(), shownName);

        m_prompt->answerConfirmations({true});
        deleteButton()->click();
        QCOMPARE(m_prompt->texts().last(), kDeleted);
        QStringList left;
        for (const QString& id : stored)
            if (m_db->count(QStringLiteral("BasicInfo"), id) > 0) left << id;
        QCOMPARE(left, remaining);
        // The deleted questionnaire went whole; the other stayed whole.
        for (const QString& id : stored)
            QCOMPARE(m_db->count(QStringLiteral("Special"), id) > 0, remaining.contains(id));
    }

    void findEachDeleteOneFindTheOtherWhole() {
        const Answers a = richAnswers(kA);
        const Answers b = completeAnswers(kB);
        store(a);
        store(b);
        const auto lookUp = [this](const QString& id) {
            m_prompt->clear();
            idEdit()->setText(id);
            QTest::keyClick(idEdit(), Qt::Key_Return);
            Answers shown = pages()->answers();
            shown.id = id;
            return shown;
        };
        QCOMPARE(lookUp(kA), a);
        QCOMPARE(lookUp(kB), b);
        m_prompt->answerConfirmations({true});
        deleteButton()->click();
        QCOMPARE(m_prompt->texts(), (QStringList{kConfirm, kDeleted}));

        lookUp(kB);
        QCOMPARE(m_prompt->texts(), QStringList{QStringLiteral("没有符合条件的记录")});
        QCOMPARE(lookUp(kA), a);
        QVERIFY(m_prompt->messages().isEmpty());
        for (const QString& table : {"BasicInfo", "Special", "Love", "Time1", "Channel"})
            QCOMPARE(m_db->count(table, kB), 0);
    }

    void failingDeleteLeavesEveryTableAndReportsOnce() {
        store(completeAnswers(kA));
        m_db->failOn(QStringLiteral("DELETE"), QStringLiteral("Love"));
        const QString before = m_db->dump();
        idEdit()->setText(kA);
        button("Btn_Qry")->click();
        m_prompt->answerConfirmations({true});
        deleteButton()->click();

        QCOMPARE(m_prompt->texts(), (QStringList{kConfirm, QStringLiteral("删除失败！")}));
        QCOMPARE(m_prompt->messages()[1].snapshot, kDeleting);
        QCOMPARE(sb()->panelText(0), QStringLiteral("删除失败！"));
        QCOMPARE(m_db->dump(), before);
    }

    void escapeDoesNothingAndNothingIsStored() {
        store(completeAnswers(kA));
        const QString before = m_db->dump();
        QSignalSpy finished(m_form.get(), &QDialog::finished);
        idEdit()->setText(kA);
        button("Btn_Qry")->click();
        pages()->box(Special, 2)->setChecked(true);
        pages()->basicEdit(0)->setText(QStringLiteral("改过的名字"));

        QTest::keyClick(idEdit(), Qt::Key_Escape);
        QTest::keyClick(pages()->box(Special, 2), Qt::Key_Escape);
        QTest::keyClick(m_form.get(), Qt::Key_Escape);
        QVERIFY(m_form->isVisible());
        QCOMPARE(finished.count(), 0);

        button("Button2")->click();
        QVERIFY(!m_form->isVisible());
        QCOMPARE(m_db->dump(), before);
    }

    // Every page's hint, entered as a user enters it; the focus starts outside the pages, so
    // nothing shows before. Page eight bears its own sheet name on this form.
    void pageHintWhenThePageIsEntered() {
        QApplication::setActiveWindow(m_form.get());
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        QCOMPARE(QApplication::focusWidget(), idEdit());
        QVERIFY(sb()->panelText(0).isEmpty() && sb()->panelText(1).isEmpty());
        QCOMPARE(pages()->widget(7)->objectName(), QStringLiteral("Tab_Why"));

        const QList<ExpectedHint> hints = expectedPageHints();
        QStringList expected, shown;
        for (int page = 0; page < 14; ++page) {
            enterPage(pages(), page);
            QCOMPARE(pages()->pageOf(QApplication::focusWidget()), page);
            expected << QStringLiteral("%1: %2 / %3").arg(page + 1).arg(hints[page].title, hints[page].text);
            shown << QStringLiteral("%1: %2 / %3").arg(page + 1).arg(sb()->panelText(0), sb()->panelText(1));
        }
        QCOMPARE(shown, expected);

        // A lookup's status text in panel 0 gives way to the title of the page entered next.
        button("Btn_Qry")->click();
        QCOMPARE(sb()->panelText(0), QStringLiteral("正在查询相关信息,请稍候..."));
        enterPage(pages(), 3);
        QCOMPARE(sb()->panelText(0), hints[3].title);
    }

private:
    QLineEdit* idEdit() const { return m_form->findChild<QLineEdit*>(QStringLiteral("Edt_ID")); }
    QPushButton* button(const char* name) const {
        return m_form->findChild<QPushButton*>(QLatin1String(name));
    }
    QPushButton* deleteButton() const { return button("Btn_Delete"); }
    QuestionnairePages* pages() const {
        return m_form->findChild<QuestionnairePages*>(QStringLiteral("PageControl1"));
    }
    StatusPanels* sb() const { return m_form->findChild<StatusPanels*>(QStringLiteral("SB")); }

    void store(const Answers& answers) {
        SqlQuery query(QStringLiteral("MyDb"));
        SurveyStore(query).store(answers);
    }

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<TFrm_Query> m_form;
};

QTEST_MAIN(TstQuery)
#include "tst_query.moc"
