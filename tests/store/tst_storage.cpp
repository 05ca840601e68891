// Encoding a questionnaire into rows, reading it back, and the storage runs.
#include <QtTest>

#include "TestDb.h"
#include "core/store/Encoding.h"
#include "core/store/SqlQuery.h"
#include "core/store/Statements.h"
#include "core/store/SurveyStore.h"

using namespace catalogue;

Q_DECLARE_METATYPE(Answers)

namespace {

QList<QStringList> answerRows(TestDb& db, const QString& table, const QString& id) {
    return db.rows(QString("select Code, coalesce(Name,'<null>') from %1 where ID=? order by %2")
                       .arg(table, db.insertionOrder()),
                   {id});
}

QStringList basicRow(TestDb& db, const QString& id) {
    return db.rows("select * from BasicInfo where ID=?", {id}).value(0);
}

Answers readBack(const QString& id, LookupResult::Status expected = LookupResult::Complete) {
    SqlQuery q("MyDb");
    const LookupResult r = SurveyStore(q).read(id);
    if (r.status != expected) qWarning("lookup status %d, expected %d", r.status, expected);
    return r.answers;
}

}  // namespace

class TstStorage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QUENVALE_SKIP_WITHOUT_ENGINE(); }
    void trimRule_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("trimmed");
        QTest::newRow("blanks") << "  张三  "
                                << "张三";
        QTest::newRow("tabs and newlines") << "\t\r\nabc\n\t"
                                           << "abc";
        QTest::newRow("control characters") << QString(
                                                   "\x01\x1f"
                                                   "a b\x7f")
                                            << QString("a b\x7f");
        QTest::newRow("inner controls kept") << QString(
                                                    " a\x01"
                                                    "b ")
                                             << QString(
                                                    "a\x01"
                                                    "b");
        QTest::newRow("ideographic space kept")
            << QString::fromUtf8("\u3000中\u3000") << QString::fromUtf8("\u3000中\u3000");
        QTest::newRow("no-break space kept") << QString::fromUtf8("\u00a0x") << QString::fromUtf8("\u00a0x");
        QTest::newRow("only blanks") << " \t "
                                     << "";
    }
    void trimRule() {
        QFETCH(QString, text);
        QFETCH(QString, trimmed);
        QCOMPARE(trimmedText(text), trimmed);
    }

    void encodeBasicValues() {
        Answers a = completeAnswers(" 123 ");
        a.name = "  李四 ";
        a[Duty].ticked = QList<bool>(12, false);
        a[Duty].ticked[11] = true;
        a[Duty].otherText = "  自由职业 | 撰稿  ";
        a[Position].ticked = QList<bool>(6, false);
        a[Position].ticked[4] = true;
        a[Flag].ticked = {true, true};  // the later box wins, as the encoding has it
        const encoding::Rows rows = encoding::encode(a);
        QCOMPARE(rows.basic, (QStringList{"123", "李四", "幸福路1号", "社区服务中心", "13800000000", "1", "1",
                                          "1", "99|自由职业 | 撰稿", "5", "0"}));
        a[Duty].ticked = QList<bool>(12, false);
        a[Duty].ticked[9] = true;
        QCOMPARE(encoding::encode(a).basic[8], QString("10"));
    }

    void encodeAnswerRows() {
        Answers a = completeAnswers();
        for (GroupId g : answerTables()) a[g].ticked.fill(false);
        a[Train].ticked.last() = true;
        a[Train].otherText = "  书法 ";
        a[Time].ticked[2] = true;
        a[Time].ticked[5] = true;
        a[Special].ticked[19] = true;
        a[Special].ticked[0] = true;
        a[Love].otherText = "ignored: box not ticked";
        a[Love].ticked[11] = true;
        QList<std::tuple<GroupId, QString, QString>> got;
        for (const auto& r : encoding::encode(a).rows) got.append({r.table, r.code, r.name});
        const QList<std::tuple<GroupId, QString, QString>> expected = {
            {Special, "01", ""},   {Special, "20", ""}, {Love, "12", ""},
            {Train, "99", "书法"}, {Time, "3", ""},     {Time, "6", ""}};
        QCOMPARE(got, expected);
    }

    void decodeBasic_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("ticked");  // object name ticked, or "" for none in the group
        QTest::addColumn<QString>("other");   // other text expected
        QTest::newRow("duty other") << "duty"
                                    << "99|abc"
                                    << "Cbx_Duty12"
                                    << "abc";
        QTest::newRow("duty bar inside") << "duty"
                                         << "99|a|b"
                                         << "Cbx_Duty12"
                                         << "a|b";
        QTest::newRow("duty without bar") << "duty"
                                          << "freelance"
                                          << "Cbx_Duty12"
                                          << "freelance";
        QTest::newRow("duty 10") << "duty"
                                 << "10"
                                 << "Cbx_Duty10"
                                 << "";
        QTest::newRow("duty 12 ticks nothing") << "duty"
                                               << "12"
                                               << ""
                                               << "";
        QTest::newRow("duty empty is other") << "duty"
                                             << ""
                                             << "Cbx_Duty12"
                                             << "";
        QTest::newRow("position empty other") << "Position"
                                              << "99|"
                                              << "Cbx_Position6"
                                              << "";
        QTest::newRow("position 5") << "Position"
                                    << "5"
                                    << "Cbx_Position5"
                                    << "";
        QTest::newRow("position 6 ticks nothing") << "Position"
                                                  << "6"
                                                  << ""
                                                  << "";
        QTest::newRow("flag 0") << "Flag"
                                << "0"
                                << "Cbx_Flag2"
                                << "";
        QTest::newRow("flag 1") << "Flag"
                                << "1"
                                << "Cbx_Flag1"
                                << "";
        QTest::newRow("flag 2") << "Flag"
                                << "2"
                                << ""
                                << "";
        QTest::newRow("age 4") << "age"
                               << "4"
                               << "Cbx_Age4"
                               << "";
        QTest::newRow("age 5") << "age"
                               << "5"
                               << ""
                               << "";
        QTest::newRow("long other text kept whole")
            << "Position"
            << "99|" + QString(300, u'长') << "Cbx_Position6" << QString(300, u'长');
    }
    void decodeBasic() {
        QFETCH(QString, column);
        QFETCH(QString, value);
        QFETCH(QString, ticked);
        QFETCH(QString, other);
        QHash<QString, QString> row{{"name", "n"},     {"Address", "a"}, {"WorkUnit", "w"},  {"Phone", "p"},
                                    {"age", "1"},      {"level", "1"},   {"political", "1"}, {"duty", "1"},
                                    {"Position", "1"}, {"Flag", "1"}};
        row[column] = value;
        Answers a;
        encoding::decodeBasic([&](const char* c) { return row.value(QLatin1String(c)); }, a);
        const GroupId g = column == "duty"       ? Duty
                          : column == "Position" ? Position
                          : column == "Flag"     ? Flag
                                                 : Age;
        QStringList tickedNames;
        for (int i = 0; i < a[g].ticked.size(); ++i)
            if (a[g].ticked[i]) tickedNames << qs(group(g).boxes[i].name);
        QCOMPARE(tickedNames.join(","), ticked);
        QCOMPARE(a[g].otherText, other);
    }

    void decodeFailures_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("value");
        QTest::newRow("empty age") << "age"
                                   << "";
        QTest::newRow("level text") << "level"
                                    << "x";
        QTest::newRow("political blank") << "political"
                                         << " ";
        QTest::newRow("empty flag") << "Flag"
                                    << "";
    }
    void decodeFailures() {
        QFETCH(QString, column);
        QFETCH(QString, value);
        QHash<QString, QString> row{{"name", "n"},     {"Address", "a"}, {"WorkUnit", "w"},  {"Phone", "p"},
                                    {"age", "1"},      {"level", "1"},   {"political", "1"}, {"duty", "1"},
                                    {"Position", "1"}, {"Flag", "1"}};
        row[column] = value;
        Answers a;
        bool failed = false;
        try {
            encoding::decodeBasic([&](const char* c) { return row.value(QLatin1String(c)); }, a);
        } catch (const encoding::DecodeError& e) {
            failed = true;
            QCOMPARE(e.column, column);
        }
        QVERIFY(failed);
        QCOMPARE(a.name, QString("n"));  // what came before stays
    }

    void decodeAnswerCodes() {
        Answers a;
        encoding::decodeAnswerRow(Special, "25", "", a);
        encoding::decodeAnswerRow(Time, "99", "x", a);
        encoding::decodeAnswerRow(Special, "99", "", a);
        encoding::decodeAnswerRow(Love, "1", "ignored", a);
        encoding::decodeAnswerRow(Time, "3", "", a);
        QCOMPARE(a.tickCount(Special), 1);
        QVERIFY(a.isOtherTicked(Special));
        QCOMPARE(a[Special].otherText, QString());
        QCOMPARE(a.tickCount(Time), 1);
        QVERIFY(a[Time].ticked[2]);
        QVERIFY(a[Love].ticked[0]);
        QCOMPARE(a[Love].otherText, QString());
        QVERIFY_THROWS_EXCEPTION(encoding::DecodeError, encoding::decodeAnswerRow(Team, "", "", a));
    }

    // Every box and every other text, one questionnaire each, through a real database file.
    void roundTripEveryBox() {
        TestDb db;
        SqlQuery q("MyDb");
        SurveyStore store(q);
        int n = 0;
        for (const Group& g : groups()) {
            for (int b = 0; b < int(g.boxes.size()); ++b) {
                Answers a = completeAnswers(QString::number(100000 + n++));
                if (g.singleChoice) a[g.id].ticked.fill(false);
                a[g.id].ticked[b] = true;
                if (g.hasOther() && b == int(g.boxes.size()) - 1)
                    a[g.id].otherText =
                        QString("其它 '%1' \"%s\" \\ ").arg(g.otherEdit) + QString(400, u'字');
                store.store(a);
                Answers expected = a;
                expected.id = trimmedText(a.id);
                for (GroupId gg = GroupId(0); gg < GroupCount; gg = GroupId(gg + 1))
                    if (!expected.isOtherTicked(gg))
                        expected[gg].otherText.clear();
                    else
                        expected[gg].otherText = trimmedText(expected[gg].otherText);
                const Answers back = readBack(a.id);
                QVERIFY2(back == expected, g.boxes[b].name);
            }
        }
        QCOMPARE(n, boxCount());
        QCOMPARE(db.count("BasicInfo"), 175);
    }

    void storesExactRows() {
        TestDb db;
        SqlQuery q("MyDb");
        Answers a = completeAnswers("42");
        a[Team].ticked.fill(true);
        a[Team].otherText = " 龙舟 ";
        a[Time].ticked.fill(true);
        SurveyStore(q).store(a);
        QCOMPARE(basicRow(db, "42"), (QStringList{"42", "张三", "幸福路1号", "社区服务中心", "13800000000",
                                                  "1", "1", "1", "1", "1", "1"}));
        QList<QStringList> team;
        for (int i = 1; i <= 17; ++i) team << QStringList{QString("%1").arg(i, 2, 10, QChar('0')), "<null>"};
        team << QStringList{"99", "龙舟"};
        QCOMPARE(answerRows(db, "Team", "42"), team);
        QCOMPARE(answerRows(db, "Time1", "42"), (QList<QStringList>{{"1", "<null>"},
                                                                    {"2", "<null>"},
                                                                    {"3", "<null>"},
                                                                    {"4", "<null>"},
                                                                    {"5", "<null>"},
                                                                    {"6", "<null>"}}));
        QCOMPARE(answerRows(db, "Special", "42"), (QList<QStringList>{{"01", "<null>"}}));
    }

    void duplicateIdentityNumberFailsAtBasicInfo() {
        TestDb db;
        SqlQuery q("MyDb");
        SurveyStore store(q);
        store.store(completeAnswers("7"));
        const QString before = db.dump();
        Answers again = completeAnswers(" 7 ");
        again.name = "王五";
        try {
            store.store(again);
            QFAIL("expected StoreFailure");
        } catch (const StoreFailure& f) {
            QCOMPARE(f.table, 0);
        }
        QCOMPARE(db.dump(), before);
    }

    // A statement made to fail at each position of a run changes nothing and names its table.
    void failureAtEachPosition_data() {
        QTest::addColumn<int>("table");
        QTest::addColumn<QString>("run");
        for (const char* run : {"store", "replace", "delete"})
            for (int t = 0; t < statements::kTableCount; ++t)
                QTest::newRow(qPrintable(QString("%1 %2").arg(run, statements::tableName(t))))
                    << t << QString(run);
    }
    void failureAtEachPosition() {
        QFETCH(int, table);
        QFETCH(QString, run);
        TestDb db;
        SqlQuery q("MyDb");
        SurveyStore store(q);
        Answers old = completeAnswers("5");
        for (GroupId g : answerTables()) a_fill(old, g);
        store.store(old);
        store.store(completeAnswers("6"));
        const QString event = run == "delete" ? "DELETE" : "INSERT";
        // On replace, make the insert fail: the deletes ran already and must come back.
        db.failOn(event, statements::tableName(table));
        const QString before = db.dump();
        Answers changed = completeAnswers("5");
        changed.name = "改过";
        for (GroupId g : answerTables()) a_fill(changed, g);
        try {
            if (run == "store") {
                changed.id = "8";
                store.store(changed);
            } else if (run == "replace")
                store.replace(changed);
            else
                store.remove("5");
            QFAIL("expected StoreFailure");
        } catch (const StoreFailure& f) {
            QCOMPARE(f.table, table);
        }
        QCOMPARE(db.dump(), before);
        // the query object stays usable after the failure
        db.clearFailure(statements::tableName(table));
        QVERIFY_THROWS_NO_EXCEPTION(store.remove("6"));
        QCOMPARE(db.count("BasicInfo", "6"), 0);
    }

    void deleteFailingStatementInjected() {
        TestDb db;
        SqlQuery q("MyDb");
        SurveyStore store(q);
        store.store(completeAnswers("9"));
        const QString before = db.dump();
        q.failNext("commit");
        QVERIFY_THROWS_EXCEPTION(StoreFailure, store.remove("9"));
        QCOMPARE(db.dump(), before);
    }

    void replaceSwapsEveryRow() {
        TestDb db;
        SqlQuery q("MyDb");
        SurveyStore store(q);
        Answers a = completeAnswers("11");
        store.store(a);
        store.store(completeAnswers("12"));
        a[Special].ticked.fill(false);
        a[Special].ticked[4] = true;
        a[Duty].ticked.fill(false);
        a[Duty].ticked.last() = true;
        a[Duty].otherText = "自由";
        store.replace(a);
        QCOMPARE(answerRows(db, "Special", "11"), (QList<QStringList>{{"05", "<null>"}}));
        QCOMPARE(basicRow(db, "11")[8], QString("99|自由"));
        QCOMPARE(db.count("Special", "12"), 1);
        QCOMPARE(db.count("BasicInfo"), 2);
    }

    void legacyPartialQuestionnaire() {
        TestDb db;
        db.exec("insert into BasicInfo values ('L1','n','a','w','p','2','3','4','99|abc','5','0')");
        db.exec("insert into Special values ('L1','03',NULL)");
        db.exec("insert into Special values ('L1','99','其它特长')");
        db.exec("insert into Time1 values ('L1','4',NULL)");
        const Answers a = readBack("L1");
        QVERIFY(a[Age].ticked[1] && a[Level].ticked[2] && a[Political].ticked[3]);
        QVERIFY(a[Duty].ticked[11]);
        QCOMPARE(a[Duty].otherText, QString("abc"));
        QVERIFY(a[Position].ticked[4]);
        QVERIFY(a[Flag].ticked[1] && !a[Flag].ticked[0]);
        QVERIFY(a[Special].ticked[2] && a.isOtherTicked(Special));
        QCOMPARE(a[Special].otherText, QString("其它特长"));
        QVERIFY(a[Time].ticked[3]);
        QCOMPARE(a.tickCount(Love), 0);
    }

    void lookupStopsAtFailure() {
        TestDb db;
        SqlQuery q("MyDb");
        SurveyStore store(q);
        store.store(completeAnswers("13"));
        db.exec("insert into Love values ('13','ab',NULL)");
        const LookupResult r = store.read("13");
        QCOMPARE(r.status, LookupResult::Failed);
        QCOMPARE(r.failedTable, 2);
        QVERIFY(r.found);
        QVERIFY(r.answers[Special].ticked[0]);
        QCOMPARE(r.answers.tickCount(Team), 0);  // not read after the failure
        QCOMPARE(store.read("nobody").status, LookupResult::NotFound);
    }

    void hostileValuesRoundTrip() {
        TestDb db;
        SqlQuery q("MyDb");
        SurveyStore store(q);
        store.store(completeAnswers("1"));
        Answers a = completeAnswers("1' OR '1'='1");
        a.name = "'; drop table BasicInfo; --";
        a.address = QString::fromUtf8("\\%s%1 \u202eRTL 😀");
        a.workUnit = QString(100000, u'w');
        store.store(a);
        QCOMPARE(db.count("BasicInfo"), 2);
        const Answers back = readBack("1' OR '1'='1");
        QCOMPARE(back.name, a.name);
        QCOMPARE(back.address, a.address);
        QCOMPARE(back.workUnit, a.workUnit);
        store.remove("1' OR '1'='1");
        QCOMPARE(db.count("BasicInfo"), 1);
        QCOMPARE(db.count("BasicInfo", "1"), 1);
    }

    void identityNumberLength_data() {
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("stored");
        QTest::newRow("18") << QString(18, u'1') << true;
        QTest::newRow("18 with X") << QString(17, u'1') + "X" << true;
        QTest::newRow("19") << QString(19, u'1') << false;
        QTest::newRow("blanks only") << "  " << false;
        QTest::newRow("quote") << "12'3" << true;
    }
    void identityNumberLength() {
        QFETCH(QString, id);
        QFETCH(bool, stored);
        TestDb db;
        SqlQuery q("MyDb");
        SurveyStore store(q);
        bool refused = false;
        try {
            store.store(completeAnswers(id));
        } catch (const StoreFailure& f) {
            refused = true;
            QCOMPARE(f.table, 0);
        }
        QCOMPARE(refused, !stored);
        QCOMPARE(db.count("BasicInfo"), stored ? 1 : 0);
        QCOMPARE(db.count("Special"), stored ? 1 : 0);
    }

private:
    static void a_fill(Answers& a, GroupId g) {
        a[g].ticked.fill(true);
        if (group(g).hasOther()) a[g].otherText = "其它";
    }
};

QTEST_MAIN(TstStorage)
#include "tst_storage.moc"
