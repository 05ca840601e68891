// Hostile input through the forms, and a statement failing at every position of the store,
// replace and delete runs: values are only ever data, and a failure changes nothing and shows
// the form's own fixed message.
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "TestDb.h"
#include "core/store/SqlQuery.h"
#include "core/store/Statements.h"
#include "core/store/SurveyStore.h"
#include "gui/forms/QuestionnairePages.h"
#include "gui/forms/TFrm_Edit.h"
#include "gui/forms/TFrm_New.h"
#include "gui/forms/TFrm_Query.h"
#include "gui/stats/TFrm_Total.h"
#include "gui/ui/ScriptedPrompt.h"

using namespace catalogue;

namespace {

QuestionnairePages* pagesOf(QWidget* form) { return form->findChild<QuestionnairePages*>("PageControl1"); }

// Every count box of the statistics form, as one text.
QString statistics() {
    TFrm_Total form;
    QStringList out;
    for (auto* e : form.findChildren<QLineEdit*>())
        if (e->objectName().startsWith("Edt_")) out << e->objectName() + "=" + e->text();
    out.sort();
    return out.join(',');
}

QString expectedNewMessage(int table) {
    if (table <= 3) return "新增失败！,请检查身份证号码！";
    if (table == 4) return "新增失败,请检查身份证号码！";
    return "新增失败！";
}

}  // namespace

class TstHostile : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QUENVALE_SKIP_WITHOUT_ENGINE(); }
    void cleanupTestCase() {
        qInfo(
            "hostile input: %d texts round-tripped through the New and Query forms, %d hostile identity "
            "numbers matched and deleted nothing, %d failing statements changed nothing and showed the "
            "form's own message",
            m_texts, m_numbers, m_failures);
    }

    void textsRoundTripThroughTheForms_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("quotes") << "O'Brien \"the\" ''";
        QTest::newRow("statement") << "'; drop table BasicInfo; --";
        QTest::newRow("backslashes") << "C:\\Data\\MyDB.db \\' \\\\";
        QTest::newRow("placeholders") << "%s %S %1 %2 ? :name @p";
        QTest::newRow("control characters") << QString(
            "\x01\t a\x02"
            "b\x7f\n \x1f");
        QTest::newRow("4-byte utf-8") << QString::fromUtf8("𠀀𪚥😀 社区");
        QTest::newRow("right-to-left marks") << QString::fromUtf8("\u200f\u202eabc\u202c\u200e");
        QTest::newRow("100000 characters") << QString(100000, u'长');
    }
    void textsRoundTripThroughTheForms() {
        QFETCH(QString, text);
        TestDb db;
        SqlQuery q("MyDb");
        SurveyStore(q).store(completeAnswers("1"));
        const QString statsBefore = statistics();
        ScriptedPrompt prompt;
        Answers a = completeAnswers("2");
        a.name = a.address = a.workUnit = a.phone = text;
        a[Love].ticked.last() = true;
        a[Love].otherText = text;
        a[Duty].ticked.fill(false);
        a[Duty].ticked.last() = true;
        a[Duty].otherText = text;
        {
            TFrm_New form;
            pagesOf(&form)->idEdit()->setText("2");
            pagesOf(&form)->load(a);
            form.Button1Click();
        }
        QCOMPARE(prompt.texts(), QStringList{"新增记录成功！"});
        const QString t = trimmedText(text);
        {
            TFrm_Query form;
            form.findChild<QLineEdit*>("Edt_ID")->setText("2");
            form.Btn_QryClick();
            QuestionnairePages* p = pagesOf(&form);
            for (int i = 0; i < 4; ++i) QCOMPARE(p->basicEdit(i)->text(), t);
            QCOMPARE(p->otherEdit(Love)->text(), t);
            QCOMPARE(p->otherEdit(Duty)->text(), t);
        }
        // the first questionnaire is untouched, and only the new one's answers were counted
        QCOMPARE(db.rows("select name from BasicInfo where ID='1'").value(0).value(0), QString("张三"));
        QCOMPARE(db.count("BasicInfo"), 2);
        QVERIFY(statistics() != statsBefore);
        SqlQuery q2("MyDb");
        SurveyStore(q2).remove("2");
        QCOMPARE(statistics(), statsBefore);
        ++m_texts;
    }

    // The Query form takes any key: hostile numbers find nothing and delete nothing.
    void hostileIdentityNumbers_data() {
        QTest::addColumn<QString>("id");
        QTest::newRow("or clause") << "1' OR '1'='1";
        QTest::newRow("comment") << "1'--";
        QTest::newRow("wildcards") << "%";
        QTest::newRow("statement") << "1'; delete from";
        QTest::newRow("too long") << QString(25, u'2');
    }
    void hostileIdentityNumbers() {
        QFETCH(QString, id);
        TestDb db;
        SqlQuery q("MyDb");
        SurveyStore(q).store(completeAnswers("1"));
        SurveyStore(q).store(completeAnswers(QString(18, u'1')));
        const QString before = db.dump();
        const QString statsBefore = statistics();
        ScriptedPrompt prompt;
        prompt.answerConfirmations({}, true);
        TFrm_Query form;
        auto* edit = form.findChild<QLineEdit*>("Edt_ID");
        edit->setFocus();
        edit->clear();
        QTest::keyClicks(edit, id);
        form.Btn_QryClick();
        form.findChild<QPushButton*>("Btn_Delete")->setEnabled(true);
        form.Btn_DeleteClick();
        QCOMPARE(prompt.texts(),
                 (QStringList{"没有符合条件的记录", "你真的要删除此条记录吗？", "删除成功！"}));
        QCOMPARE(db.dump(), before);
        QCOMPARE(statistics(), statsBefore);
        ++m_numbers;
    }

    // A statement failing at each position: the database exactly as before, the form's own text.
    void failureAtEachPosition_data() {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("event");
        QTest::addColumn<int>("table");
        for (int t = 0; t < statements::kTableCount; ++t) {
            const QString name = statements::tableName(t);
            QTest::newRow(qPrintable("new insert " + name)) << "new"
                                                            << "INSERT" << t;
            QTest::newRow(qPrintable("edit delete " + name)) << "edit"
                                                             << "DELETE" << t;
            QTest::newRow(qPrintable("edit insert " + name)) << "edit"
                                                             << "INSERT" << t;
            QTest::newRow(qPrintable("query delete " + name)) << "query"
                                                              << "DELETE" << t;
        }
    }
    void failureAtEachPosition() {
        QFETCH(QString, form);
        QFETCH(QString, event);
        QFETCH(int, table);
        TestDb db;
        Answers full = completeAnswers("9");
        for (GroupId g : answerTables()) {
            full[g].ticked.fill(true);
            if (group(g).hasOther()) full[g].otherText = "其它";
        }
        {
            SqlQuery q("MyDb");
            SurveyStore(q).store(full);
        }
        db.failOn(event, statements::tableName(table), QString(), "disk on fire");
        const QString before = db.dump();
        ScriptedPrompt prompt;
        prompt.answerConfirmations({}, true);
        QString expected;
        if (form == "new") {
            TFrm_New f;
            Answers a = full;
            a.id = "10";
            pagesOf(&f)->idEdit()->setText("10");
            pagesOf(&f)->load(a);
            f.Button1Click();
            expected = expectedNewMessage(table);
        } else if (form == "edit") {
            TFrm_Edit f;
            f.findChild<QLineEdit*>("Edt_ID")->setText("9");
            f.Btn_QryClick();
            prompt.clear();
            f.Btn_SaveClick();
            expected = expectedNewMessage(table);
            QVERIFY(f.findChild<QPushButton*>("Btn_Save")->isEnabled());  // still editing
        } else {
            TFrm_Query f;
            f.findChild<QLineEdit*>("Edt_ID")->setText("9");
            f.Btn_QryClick();
            prompt.clear();
            f.Btn_DeleteClick();
            expected = "删除失败！";
        }
        QStringList texts = prompt.texts();
        texts.removeAll("你真的要删除此条记录吗？");
        QCOMPARE(texts, QStringList{expected});
        QVERIFY(!texts.join(' ').contains("disk on fire"));
        QCOMPARE(db.dump(), before);
        ++m_failures;
    }

private:
    int m_texts = 0;
    int m_numbers = 0;
    int m_failures = 0;
};

QTEST_MAIN(TstHostile)
#include "tst_hostile.moc"
