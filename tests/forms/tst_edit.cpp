#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "TestDb.h"
#include "core/store/Schema.h"
#include "core/store/SqlQuery.h"
#include "core/store/Statements.h"
#include "core/store/SurveyStore.h"
#include "gui/forms/QuestionnairePages.h"
#include "gui/forms/TFrm_Edit.h"
#include "gui/ui/ScriptedPrompt.h"
#include "gui/ui/StatusPanels.h"

using namespace catalogue;

namespace {

const QString kId = QStringLiteral("110101199001011234");

template <class W>
W* child(const QWidget& form, const char* name) {
    auto* w = form.findChild<W*>(QString::fromLatin1(name));
    if (!w) qFatal("no control %s", name);
    return w;
}

}  // namespace

class TestEdit : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<ScriptedPrompt> m_prompt;
    std::unique_ptr<TFrm_Edit> m_form;

    TFrm_Edit& form() { return *m_form; }
    QuestionnairePages& pages() { return *m_form->pages(); }
    QLineEdit* edtId() { return child<QLineEdit>(form(), "Edt_ID"); }
    QPushButton* button(const char* name) { return child<QPushButton>(form(), name); }

    void storeQuestionnaire(const Answers& a = completeAnswers(kId)) {
        SqlQuery q(QStringLiteral("MyDb"));
        SurveyStore(q).store(a);
    }

    /// Enabled state of Edt_ID, Btn_Qry, Btn_Save, Btn_Cancel, as "1100".
    QString enabled() {
        QString s;
        for (QWidget* w :
             {static_cast<QWidget*>(edtId()), static_cast<QWidget*>(button("Btn_Qry")),
              static_cast<QWidget*>(button("Btn_Save")), static_cast<QWidget*>(button("Btn_Cancel"))})
            s += w->isEnabled() ? u'1' : u'0';
        return s;
    }

    /// Looks the stored questionnaire up; the form is then in Editing.
    void lookUp(const QString& id = kId) {
        edtId()->setText(id);
        button("Btn_Qry")->click();
        QCOMPARE(enabled(), QStringLiteral("0011"));
    }

    void save() {
        m_prompt->clear();
        button("Btn_Save")->click();
    }

    QString onlyMessage() {
        if (m_prompt->messages().size() != 1)
            return QStringLiteral("<%1 messages: %2>")
                .arg(m_prompt->messages().size())
                .arg(m_prompt->texts().join(u'|'));
        return m_prompt->messages().first().text + u'/' + m_prompt->messages().first().caption;
    }

private slots:
    void initTestCase() { QUENVALE_SKIP_WITHOUT_ENGINE(); }
    void init() {
        m_db = std::make_unique<TestDb>();
        m_prompt = std::make_unique<ScriptedPrompt>();
        m_form = std::make_unique<TFrm_Edit>();
        m_form->show();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    }

    void cleanup() {
        m_form.reset();
        m_prompt.reset();
        m_db.reset();
    }

    void opensOnPageOneWithFocusInId() {
        QCOMPARE(form().windowTitle(), QStringLiteral("修改记录"));
        QCOMPARE(form().size(), QSize(689, 376));
        QCOMPARE(pages().currentIndex(), 0);
        QCOMPARE(QApplication::focusWidget(), edtId());
        QVERIFY(edtId()->text().isEmpty());
        QCOMPARE(enabled(), QStringLiteral("1100"));
        // No Edt_ID on the pages: the one in the search bar is the only one.
        QCOMPARE(form().findChildren<QLineEdit*>(QStringLiteral("Edt_ID")).size(), 1);

        // The search bar: one row, left to right, inside the group box.
        auto* box = child<QGroupBox>(form(), "GroupBox1");
        QCOMPARE(box->title(), QStringLiteral("输入查询"));
        QCOMPARE(edtId()->width(), 233);
        int right = child<QWidget>(form(), "Label24")->geometry().right();
        for (const char* name : {"Edt_ID", "Btn_Qry", "Btn_Save", "Btn_Cancel", "Button2"}) {
            const QRect r = child<QWidget>(form(), name)->geometry();
            QVERIFY2(r.left() > right, name);
            QVERIFY2(box->contentsRect().contains(r), name);
            right = r.right();
        }
        for (QPushButton* b : form().findChildren<QPushButton*>())
            QVERIFY(!b->isDefault() && !b->autoDefault());

        // Tab order of the search bar.
        QStringList chain;
        QWidget* w = edtId();
        for (int i = 0; i < 5; ++i, w = w->nextInFocusChain()) chain << w->objectName();
        QCOMPARE(chain, QStringList({"Edt_ID", "Btn_Qry", "Button2", "Btn_Save", "Btn_Cancel"}));
    }

    void stateTableThroughEveryTransition() {
        storeQuestionnaire();
        auto step = [&](const QString& expected, const QString& message) {
            QCOMPARE(enabled(), expected);
            QCOMPARE(m_prompt->texts(), message.isEmpty() ? QStringList() : QStringList{message});
            m_prompt->clear();
        };
        step("1100", {});  // Searching on opening

        button("Btn_Qry")->click();  // no number: stops early
        step("1100", "请输入身份证号码");
        edtId()->setText("999");
        button("Btn_Qry")->click();  // not stored: stops early
        step("1100", "没有符合条件的记录");

        edtId()->setText(kId);
        button("Btn_Qry")->click();  // reached its end
        step("0011", {});
        QCOMPARE(child<StatusPanels>(form(), "Sb")->panelText(0), QStringLiteral("查询成功！"));

        pages().basicEdit(0)->clear();
        button("Btn_Save")->click();  // a failed check keeps Editing
        step("0011", "姓名为空,请输入！");

        button("Btn_Cancel")->click();  // Cancel ends
        step("0100", {});
        button("Btn_Qry")->click();  // Ended -> Editing, same number
        step("0011", {});
        QCOMPARE(edtId()->text(), kId);

        button("Btn_Save")->click();  // successful save ends
        step("0100", "修改记录成功！");

        // Lookups that stop early in Ended leave it Ended.
        m_db->exec("DROP TABLE Love");
        button("Btn_Qry")->click();
        step("0100", "查询失败！");
        m_db->exec("DELETE FROM BasicInfo");
        button("Btn_Qry")->click();
        step("0100", "没有符合条件的记录");
    }

    void enterInIdRunsLookupOnce_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::newRow("Return") << int(Qt::Key_Return) << Qt::KeyboardModifiers();
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << Qt::KeyboardModifiers(Qt::KeypadModifier);
    }
    void enterInIdRunsLookupOnce() {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        storeQuestionnaire();
        QTest::keyClicks(edtId(), "999");
        QTest::keyClick(edtId(), Qt::Key(key), modifiers);
        QCOMPARE(m_prompt->texts(), QStringList{"没有符合条件的记录"});
        QCOMPARE(edtId()->text(), QStringLiteral("999"));
        QCOMPARE(QApplication::focusWidget(), button("Btn_Qry"));  // Enter also moved the focus on
        QCOMPARE(enabled(), QStringLiteral("1100"));

        m_prompt->clear();
        edtId()->setText(kId);
        edtId()->setFocus();
        QTest::keyClick(edtId(), Qt::Key(key), modifiers);
        QVERIFY(m_prompt->texts().isEmpty());
        QCOMPARE(enabled(), QStringLiteral("0011"));
        QCOMPARE(pages().basicEdit(0)->text(), QStringLiteral("张三"));
    }

    void keyFilter_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("after");
        const QString d17 = QStringLiteral("11010119900101123");
        QTest::newRow("letter") << "12"
                                << "A"
                                << "12";
        QTest::newRow("X too early") << "123"
                                     << "X"
                                     << "123";
        QTest::newRow("blank") << "123"
                               << " "
                               << "123";
        QTest::newRow("punctuation") << "123"
                                     << "-."
                                     << "123";
        QTest::newRow("19th digit") << d17 + "4"
                                    << "5" << d17 + "4";
        QTest::newRow("digits") << ""
                                << "0123456789"
                                << "0123456789";
        QTest::newRow("backspace") << "123"
                                   << "\b"
                                   << "12";
        QTest::newRow("x as 18th") << d17 << "x" << d17 + "X";
        QTest::newRow("X as 18th") << d17 << "X" << d17 + "X";
        QTest::newRow("nothing after X") << d17 + "X"
                                         << "1" << d17 + "X";
    }
    void keyFilter() {
        QFETCH(QString, before);
        QFETCH(QString, typed);
        QFETCH(QString, after);
        edtId()->setText(before);
        QTest::keyClicks(edtId(), typed);
        QCOMPARE(edtId()->text(), after);
        QVERIFY(m_prompt->texts().isEmpty());
    }

    void escapeDoesNothing_data() {
        QTest::addColumn<QString>("state");
        QTest::newRow("Searching") << "1100";
        QTest::newRow("Editing") << "0011";
        QTest::newRow("Ended") << "0100";
    }
    void escapeDoesNothing() {
        QFETCH(QString, state);
        storeQuestionnaire();
        if (state != "1100") lookUp();
        if (state == "0100") button("Btn_Cancel")->click();
        QCOMPARE(enabled(), state);
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus);
        QTest::keyClick(focus, Qt::Key_Escape);
        QTest::keyClick(&form(), Qt::Key_Escape);
        QVERIFY(form().isVisible());
        QCOMPARE(enabled(), state);
        QVERIFY(m_prompt->texts().isEmpty());
    }

    void nameClearedWhilePageFiveShown() {
        storeQuestionnaire();
        const QString before = m_db->dump();
        lookUp();
        pages().basicEdit(0)->clear();
        pages().setCurrentIndex(4);
        save();
        QCOMPARE(onlyMessage(), QStringLiteral("姓名为空,请输入！/提示"));
        QCOMPARE(pages().currentIndex(), 0);
        QCOMPARE(QApplication::focusWidget(), pages().control("Edt_Name"));
        QCOMPARE(m_db->dump(), before);
        QCOMPARE(enabled(), QStringLiteral("0011"));

        button("Btn_Cancel")->click();
        button("Btn_Qry")->click();  // reads the stored name again
        QCOMPARE(pages().basicEdit(0)->text(), QStringLiteral("张三"));
    }

    void editFormTexts_data() {
        QTest::addColumn<int>("group");
        QTest::addColumn<QString>("fault");  // none ticked, other without text, both ticked
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("page");
        auto row = [](const char* name, GroupId g, const char* fault, const char* message,
                      const char* caption, int page) {
            QTest::newRow(name) << int(g) << QString::fromLatin1(fault) << QString::fromUtf8(message)
                                << QString::fromUtf8(caption) << page;
        };
        // The twenty texts and captions of this form.
        row("19", Special, "other", "请输入其他爱好和特长！", "信息", 1);
        row("20", Love, "none", "请选择爱好！", "提示", 2);
        row("21", Love, "other", "请输入其他爱好！", "提示", 2);
        row("23", Team, "other", "请输入其他文体活动社团！", "提示", 3);
        row("25", Service, "other", "请输入其他你需要在社区开展的服务！", "提示", 4);
        row("27", Train, "other", "请输入其他你希望开展的培训或讲座！", "提示", 5);
        row("29", Flag, "both", "你只能选择一项！", "页七", 6);
        row("30", Reason, "none", "请选择你为何愿意参加社区公益活动！", "页八", 7);
        row("31", Reason, "other", "请输入其他原因！", "页八", 7);
        row("32", Who, "none", "请选择你愿意为那种类型的社区居民提供服务！", "页九", 8);
        row("33", Who, "other", "请输入其他你愿意为那种类型的社区居民提供服务！", "页九", 8);
        row("34", Type, "none", "请选择你愿意参加的社区公益活动！", "页十", 9);
        row("35", Type, "other", "请输入其他你愿意参加的社区公益活动！", "页十", 9);
        row("36", Time, "none", "请选择你希望社区活动安排的时间！", "页十一", 10);
        row("37", ReinForce, "none", "请选择你希望社区活动应该加强的内容！", "页十二", 11);
        row("38", ReinForce, "other", "请其他你希望社区活动应该加强的内容！", "页十二", 11);
        row("39", Depend, "none", "请选择社区活动应该依靠哪类人参与！", "页十三", 12);
        row("40", Depend, "other", "请输入其他社区活动参与群体！", "页十三", 12);
        row("41", Channel, "none", "请选择社区增强凝聚力的渠道！", "页十四", 13);
        row("42", Channel, "other", "请输入其他社区增强凝聚力的渠道！", "页十四", 13);
        // Neighbours that keep the New form's text and "提示".
        row("18 unchanged", Special, "none", "请选择专业和特长！", "提示", 1);
        row("22 unchanged", Team, "none", "请选择文体社团活动！", "提示", 3);
        row("28 unchanged", Flag, "none", "请选择你是否愿意参加社区活动！", "提示", 6);
    }
    void editFormTexts() {
        QFETCH(int, group);
        QFETCH(QString, fault);
        QFETCH(QString, message);
        QFETCH(QString, caption);
        QFETCH(int, page);
        const auto g = GroupId(group);
        storeQuestionnaire();
        const QString before = m_db->dump();
        lookUp();
        const int boxes = int(catalogue::group(g).boxes.size());
        if (fault == "none")
            for (int i = 0; i < boxes; ++i) pages().box(g, i)->setChecked(false);
        if (fault == "other") {
            pages().box(g, boxes - 1)->setChecked(true);
            pages().otherEdit(g)->setText("  ");  // blanks only count as empty
        }
        if (fault == "both") pages().box(g, 1)->setChecked(true);
        save();
        QCOMPARE(onlyMessage(), message + u'/' + caption);
        QCOMPARE(pages().currentIndex(), page);
        if (fault == "other") QCOMPARE(QApplication::focusWidget(), pages().otherEdit(g));
        QCOMPARE(enabled(), QStringLiteral("0011"));
        QCOMPARE(m_db->dump(), before);
    }

    void pageStoredEmptyCannotBeSaved() {
        storeQuestionnaire();
        m_db->exec("DELETE FROM Love");
        const QString before = m_db->dump();
        lookUp();
        save();
        QCOMPARE(onlyMessage(), QStringLiteral("请选择爱好！/提示"));
        QCOMPARE(pages().currentIndex(), 2);
        QCOMPARE(m_db->dump(), before);
        QCOMPARE(enabled(), QStringLiteral("0011"));
    }

    void unchangedSaveStoresSameRows() {
        Answers a = completeAnswers(kId);
        a[Special].ticked[20] = true;
        a[Special].otherText = QStringLiteral("剪纸 O'Brien");
        storeQuestionnaire(a);
        const QString before = m_db->dump();
        lookUp();
        pages().setCurrentIndex(9);
        save();
        QCOMPARE(onlyMessage(), QStringLiteral("修改记录成功！/提示"));
        QVERIFY(!m_prompt->messages().first().busyCursor);  // shown after the cursor is back
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(m_db->dump(), before);
        QCOMPARE(enabled(), QStringLiteral("0100"));
        // Nothing cleared, the page stays.
        QCOMPARE(pages().currentIndex(), 9);
        QCOMPARE(edtId()->text(), kId);
        QCOMPARE(pages().basicEdit(0)->text(), QStringLiteral("张三"));
    }

    // A number stored as "…x" by another program: the form (which types X) finds it and saves
    // it under its own spelling, never beside it.
    void lowerCaseXStoredIsEditedInPlace() {
        const QString X = QStringLiteral("11010519491231002X"), x = QStringLiteral("11010519491231002x");
        storeQuestionnaire(completeAnswers(X));
        for (int t = 0; t < statements::kTableCount; ++t)
            m_db->exec(QStringLiteral("UPDATE %1 SET ID=? WHERE ID=?").arg(statements::tableName(t)), {x, X});
        QTest::keyClicks(edtId(), x);
        QCOMPARE(edtId()->text(), X);
        QTest::keyClick(edtId(), Qt::Key_Return);
        QCOMPARE(enabled(), QStringLiteral("0011"));
        pages().basicEdit(0)->setText(QStringLiteral("李四"));
        save();
        QCOMPARE(onlyMessage(), QStringLiteral("修改记录成功！/提示"));
        QCOMPARE(m_db->rows("SELECT ID, name FROM BasicInfo"), QList<QStringList>({{x, "李四"}}));
        QCOMPARE(m_db->count(QStringLiteral("Special"), X), 0);
        QVERIFY(m_db->count(QStringLiteral("Special"), x) > 0);
    }

    void changedAnswersAreStoredAndReadBack() {
        storeQuestionnaire();
        storeQuestionnaire(completeAnswers("42"));  // another questionnaire, left alone
        const auto other = m_db->rows("SELECT * FROM Special WHERE ID='42'");
        lookUp();
        pages().basicEdit(0)->setText("李四");
        pages().box(Special, 2)->setChecked(true);
        pages().box(Flag, 0)->setChecked(false);
        pages().box(Flag, 1)->setChecked(true);
        pages().box(Love, 16)->setChecked(true);
        pages().otherEdit(Love)->setText("书法");
        Answers expected = pages().answers();
        expected.id = kId;
        save();
        QCOMPARE(onlyMessage(), QStringLiteral("修改记录成功！/提示"));

        QCOMPARE(m_db->rows("SELECT Name, Flag FROM BasicInfo WHERE ID=?", {kId}),
                 QList<QStringList>({{"李四", "0"}}));
        QCOMPARE(m_db->rows("SELECT Code FROM Special WHERE ID=? ORDER BY Code", {kId}),
                 QList<QStringList>({{"01"}, {"03"}}));
        QCOMPARE(m_db->rows("SELECT Code FROM Love WHERE ID=? ORDER BY Code", {kId}),
                 QList<QStringList>({{"01"}, {"99"}}));
        QCOMPARE(m_db->rows("SELECT Code, Name FROM Love WHERE ID=? AND Code='99'", {kId}),
                 QList<QStringList>({{"99", "书法"}}));
        QCOMPARE(m_db->rows("SELECT * FROM Special WHERE ID='42'"), other);

        // What another form reads back is what was saved.
        SqlQuery q(QStringLiteral("MyDb"));
        QCOMPARE(SurveyStore(q).read(kId).answers, expected);

        // Btn_Qry again shows the saved answers.
        pages().clearAnswers();
        button("Btn_Qry")->click();
        Answers shown = pages().answers();
        shown.id = kId;
        QCOMPARE(shown, expected);
    }

    void failedStatementKeepsOldQuestionnaire_data() {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QString>("message");
        const QString idCheck = QStringLiteral("新增失败！,请检查身份证号码！");
        QTest::newRow("BasicInfo insert") << "BEFORE INSERT ON BasicInfo" << idCheck;
        QTest::newRow("Team insert") << "BEFORE INSERT ON Team" << idCheck;
        QTest::newRow("Service insert") << "BEFORE INSERT ON Service"
                                        << "新增失败,请检查身份证号码！";
        QTest::newRow("Train insert") << "BEFORE INSERT ON Train"
                                      << "新增失败！";
        QTest::newRow("Channel insert") << "BEFORE INSERT ON Channel"
                                        << "新增失败！";
        QTest::newRow("Love delete") << "BEFORE DELETE ON Love" << idCheck;
        QTest::newRow("Depend delete") << "BEFORE DELETE ON Depend"
                                       << "新增失败！";
    }
    void failedStatementKeepsOldQuestionnaire() {
        QFETCH(QString, trigger);
        QFETCH(QString, message);
        storeQuestionnaire();
        m_db->failOn(trigger.section(' ', 1, 1), trigger.section(' ', 3, 3));
        const QString before = m_db->dump();
        lookUp();
        pages().basicEdit(0)->setText("李四");
        save();
        QCOMPARE(onlyMessage(), message + QStringLiteral("/提示"));
        QVERIFY(m_prompt->messages().first().busyCursor);  // shown under the hourglass
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(m_db->dump(), before);
        QCOMPARE(enabled(), QStringLiteral("0011"));
        QCOMPARE(pages().basicEdit(0)->text(), QStringLiteral("李四"));

        // Once the database takes it, the same answers are saved.
        m_db->clearFailure(trigger.section(' ', 3, 3));
        save();
        QCOMPARE(onlyMessage(), QStringLiteral("修改记录成功！/提示"));
        QCOMPARE(m_db->rows("SELECT Name FROM BasicInfo"), QList<QStringList>({{"李四"}}));
        QCOMPARE(enabled(), QStringLiteral("0100"));
    }

    void closeDropsChangesWithoutQuestion_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Button2") << false;
        QTest::newRow("close box") << true;
    }
    void closeDropsChangesWithoutQuestion() {
        QFETCH(bool, closeBox);
        storeQuestionnaire();
        const QString before = m_db->dump();
        lookUp();
        pages().basicEdit(0)->setText("李四");
        if (closeBox)
            form().close();
        else
            button("Button2")->click();
        QVERIFY(!form().isVisible());
        QVERIFY(m_prompt->texts().isEmpty());
        QCOMPARE(m_db->dump(), before);
    }

    // Another clerk (another program, on the same file or server) changes or deletes the
    // questionnaire between this clerk's lookup and save: nothing is written unasked; the form
    // says what happened and offers to overwrite or to go on editing.
    void anotherClerkMeanwhile_data() {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QString>("question");
        QTest::addColumn<bool>("overwrite");
        const QString changed = QStringLiteral(
            "此记录在您修改期间已被修改（%1），您的修改尚未保存。\n是否用您的修改覆盖？选“否”可继续修改。");
        const QString deleted = QStringLiteral(
            "此记录在您修改期间已被删除，您的修改尚未保存。\n是否仍按您的修改保存？选“否”可继续修改。");
        QTest::newRow("name changed, stay editing")
            << "UPDATE BasicInfo SET name = '王五'"
            << changed.arg(QString::fromUtf8(catalogue::pages().at(0).caption)) << false;
        QTest::newRow("name changed, overwrite")
            << "UPDATE BasicInfo SET name = '王五'"
            << changed.arg(QString::fromUtf8(catalogue::pages().at(0).caption)) << true;
        // Each basic text of page one is named as a change of that page.
        for (const char* column : {"Address", "WorkUnit", "Phone"})
            QTest::newRow(qPrintable(QStringLiteral("%1 changed").arg(QLatin1String(column))))
                << QStringLiteral("UPDATE BasicInfo SET %1 = '1号楼'").arg(QLatin1String(column))
                << changed.arg(QString::fromUtf8(catalogue::pages().at(0).caption)) << false;
        QTest::newRow("a hobby added")
            << "INSERT INTO Love (ID, Code) VALUES ('" + kId + "', '03')"
            << changed.arg(QString::fromUtf8(catalogue::pages().at(catalogue::group(Love).page).caption))
            << false;
        QTest::newRow("deleted, stay editing") << "DELETE FROM BasicInfo" << deleted << false;
        QTest::newRow("deleted, store again") << "DELETE FROM BasicInfo" << deleted << true;
    }
    void anotherClerkMeanwhile() {
        QFETCH(QString, meanwhile);
        QFETCH(QString, question);
        QFETCH(bool, overwrite);
        storeQuestionnaire();
        lookUp();
        pages().basicEdit(0)->setText("李四");
        m_db->exec(meanwhile);  // the other clerk
        if (meanwhile.startsWith("DELETE"))
            for (const QString& t : schema::tables().mid(1)) m_db->exec("DELETE FROM " + t);
        const QString theirs = m_db->dump();
        m_prompt->answerConfirmations({overwrite});
        save();
        QCOMPARE(m_prompt->messages().value(0).kind, ScriptedPrompt::Kind::Confirm);
        QCOMPARE(m_prompt->texts().value(0), question);
        if (!overwrite) {
            QCOMPARE(m_prompt->texts().size(), 1);
            QCOMPARE(m_db->dump(), theirs);  // nothing of this clerk's was written
            QCOMPARE(enabled(), QStringLiteral("0011"));
            QCOMPARE(pages().basicEdit(0)->text(), QStringLiteral("李四"));
            return;
        }
        QCOMPARE(m_prompt->texts().value(1), QStringLiteral("修改记录成功！"));
        QCOMPARE(enabled(), QStringLiteral("0100"));
        Answers mine = completeAnswers(kId);
        mine.name = QStringLiteral("李四");
        SqlQuery q(QStringLiteral("MyDb"));
        QCOMPARE(SurveyStore(q).read(kId).answers, mine);  // whole, this clerk's version
    }

    // Without anyone else, a save asks nothing (also after an unchanged lookup of legacy text).
    void noQuestionWhenNobodyElseSaved() {
        Answers a = completeAnswers(kId);
        a[Special].ticked.last() = true;
        a[Special].otherText = QStringLiteral("  带空格的其它  ");
        storeQuestionnaire(a);
        lookUp();
        save();
        QCOMPARE(onlyMessage(), QStringLiteral("修改记录成功！/提示"));
    }
};

QTEST_MAIN(TestEdit)
#include "tst_edit.moc"
