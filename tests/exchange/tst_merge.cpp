// Merging another register: registers typed through the real New form, new, identical and
// conflicting questionnaires in both directions, what is not importable, and a merge that is
// cancelled, fails, or merges a register into itself changes nothing; the same through
// quenvale-cli, run as a process.
#include <sqlite3.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include "TestDb.h"
#include "core/backup/Restore.h"
#include "core/backup/Snapshots.h"
#include "core/exchange/RegisterImage.h"
#include "core/exchange/RegisterMerge.h"
#include "core/exchange/RegisterReader.h"
#include "core/report/Fonts.h"
#include "core/store/Connection.h"
#include "core/store/Schema.h"
#include "core/store/SqlQuery.h"
#include "core/store/Statements.h"
#include "core/store/SurveyStore.h"
#include "gui/data/TFrm_Merge.h"
#include "gui/forms/QuestionnairePages.h"
#include "gui/forms/TFrm_New.h"
#include "gui/ui/ScriptedPrompt.h"

using namespace catalogue;

namespace {

const QString kShared = QStringLiteral("110101199001011234");  // the same on both
const QString kDiffer = QStringLiteral("110101199202023456");  // typed differently on each
const QString kOnlyA = QStringLiteral("310101198505051111");
const QString kOnlyB = QStringLiteral("440101197707072222");

Answers differing(bool a) {
    Answers x = completeAnswers(kDiffer);
    if (a) {
        x.phone = QStringLiteral("13911112222");
        x[Love].ticked[2] = true;
    } else {
        x[Age].ticked.fill(false);
        x[Age].ticked[2] = true;
        x[Special].ticked.last() = true;
        x[Special].otherText = QStringLiteral("剪纸");
    }
    return x;
}

Answers only(const QString& id, const QString& name) {
    Answers x = completeAnswers(id);
    x.name = name;
    x[Channel].ticked[1] = true;
    return x;
}

QList<Answers> registerA() { return {completeAnswers(kShared), differing(true), only(kOnlyA, "李四")}; }
QList<Answers> registerB() { return {completeAnswers(kShared), differing(false), only(kOnlyB, "王五")}; }

Answers readBack(const QString& id) {
    SqlQuery q(QStringLiteral("MyDb"));
    const LookupResult r = SurveyStore(q).read(id);
    return r.status == LookupResult::Complete ? r.answers : Answers();
}

}  // namespace

class TstMerge : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void bothDirections_data();
    void bothDirections();
    void sameAnswersWrittenDifferently();
    void sameResidentSpeltOtherwise_data();
    void sameResidentSpeltOtherwise();
    void notImportable();
    void tableByTableReadsAsTheLookup();
    void indexesOfTheOtherFileNotRelied();
    void intoItselfChangesNothing();
    void cancelledOrFailedChangesNothing();
    void otherFileGivesQuestionnairesOnly();
    void mergeWindow();
    void commandLine_data();
    void commandLine();

private:
    /// Types the questionnaires into a fresh register through the New form; returns a copy of its file.
    QString typed(const QString& name, const QList<Answers>& questionnaires);
    /// A fresh register holding a copy of `file`.
    std::unique_ptr<TestDb> registerFrom(const QString& file);
    QTemporaryDir m_dir;
    QString m_a, m_b;
};

QString TstMerge::typed(const QString& name, const QList<Answers>& questionnaires) {
    TestDb db;
    ScriptedPrompt prompt;
    {
        TFrm_New form;
        form.show();
        for (const Answers& a : questionnaires) {
            form.PageControl1->idEdit()->setText(a.id);
            form.PageControl1->load(a);
            QTest::mouseClick(form.Button1, Qt::LeftButton);
        }
    }
    if (prompt.texts() != QStringList(questionnaires.size(), QStringLiteral("新增记录成功！")))
        qFatal("typing failed: %s", qPrintable(prompt.texts().join(" | ")));
    connection::closeAll();
    const QString out = m_dir.filePath(name + ".db");
    QFile::copy(db.file(), out);
    return out;
}

std::unique_ptr<TestDb> TstMerge::registerFrom(const QString& file) {
    auto db = std::make_unique<TestDb>();
    connection::closeAll();
    QFile::remove(db->file());
    QFile::copy(file, db->file());
    QFile::setPermissions(db->file(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return db;
}

void TstMerge::initTestCase() {
    fonts::install();
    m_a = typed("A", registerA());
    m_b = typed("B", registerB());
}

void TstMerge::bothDirections_data() {
    QTest::addColumn<bool>("intoA");
    QTest::addColumn<bool>("preferTheirs");
    QTest::newRow("B into A, ours kept") << true << false;
    QTest::newRow("B into A, theirs taken") << true << true;
    QTest::newRow("A into B, ours kept") << false << false;
    QTest::newRow("A into B, theirs taken") << false << true;
}

void TstMerge::bothDirections() {
    QFETCH(bool, intoA);
    QFETCH(bool, preferTheirs);
    const auto db = registerFrom(intoA ? m_a : m_b);
    RegisterMerge merge(intoA ? m_b : m_a);
    MergePlan plan = merge.plan();
    QCOMPARE(plan.theirs, 3);
    QCOMPARE(plan.added, 1);
    QCOMPARE(plan.identical, 1);
    QCOMPARE(plan.conflicts.size(), 1);
    QCOMPARE(plan.problems.size(), 0);

    // The conflict, page by page, in the catalogue's words.
    const MergeConflict& c = plan.conflicts[0];
    QCOMPARE(c.id, kDiffer);
    QStringList lines;
    for (const MergeDifference& d : c.differences)
        lines << d.page + "|" + d.item + "|" + d.ours + "|" + d.theirs;
    const QString page1 = qs(pages()[0].caption), page2 = qs(pages()[1].caption),
                  page3 = qs(pages()[2].caption);
    auto label = [](const char* l) {
        QString s = qs(l);
        while (s.endsWith(u'：') || s.endsWith(u':')) s.chop(1);
        return s;
    };
    const QString age = label(group(Age).label);
    const QString ageA = qs(group(Age).boxes[0].caption), ageB = qs(group(Age).boxes[2].caption);
    const QString special1 = qs(group(Special).boxes[0].caption);
    const QString love1 = qs(group(Love).boxes[0].caption), love3 = qs(group(Love).boxes[2].caption);
    QStringList expected = {
        page1 + "|" + label(basicFields()[3].label) + "|13911112222|13800000000",
        page1 + "|" + age + "|" + ageA + "|" + ageB,
        page2 + "|" + label(group(Special).label) + "|" + special1 + "|" + special1 + "、其它：剪纸",
        page3 + "|" + label(group(Love).label) + "|" + love1 + "、" + love3 + "|" + love1,
    };
    if (!intoA)  // the other way round, ours and theirs swap
        for (QString& e : expected) {
            QStringList f = e.split('|');
            e = QStringList{f[0], f[1], f[3], f[2]}.join('|');
        }
    QCOMPARE(lines, expected);

    if (preferTheirs) plan.conflicts[0].takeTheirs = true;
    const int written = merge.apply(plan, {}, false);
    QCOMPARE(written, preferTheirs ? 2 : 1);
    QCOMPARE(db->count("BasicInfo"), 4);
    QCOMPARE(readBack(intoA ? kOnlyB : kOnlyA), intoA ? only(kOnlyB, "王五") : only(kOnlyA, "李四"));
    QCOMPARE(readBack(kShared), completeAnswers(kShared));
    QCOMPARE(readBack(kDiffer), differing(intoA != preferTheirs));

    // Merged again: everything is there already, nothing to do.
    MergePlan again = RegisterMerge(intoA ? m_b : m_a).plan();
    QCOMPARE(again.added, 0);
    QCOMPARE(again.conflicts.size(), preferTheirs ? 0 : 1);
}

void TstMerge::sameAnswersWrittenDifferently() {
    // Theirs holds the shared questionnaire as another program might: "1" for "01", blanks
    // around texts, rows in another order. The lookup reads it back the same: identical.
    const auto theirsDb = registerFrom(m_b);
    theirsDb->exec("update Special set Code='1' where ID=? and Code='01'", {kShared});
    theirsDb->exec("update BasicInfo set name='  张三 ', age=' 1' where ID=?", {kShared});
    theirsDb->exec("create table t as select * from Love where ID=?", {kShared});
    theirsDb->exec("delete from Love where ID=?", {kShared});
    theirsDb->exec("insert into Love select * from t order by Code desc");
    theirsDb->exec("drop table t");
    const QString theirs = m_dir.filePath("B-rewritten.db");
    connection::closeAll();
    QFile::remove(theirs);
    QFile::copy(theirsDb->file(), theirs);

    const auto db = registerFrom(m_a);
    MergePlan plan = RegisterMerge(theirs).plan();
    QCOMPARE(plan.identical, 1);
    QCOMPARE(plan.conflicts.size(), 1);  // only the one typed differently
    QCOMPARE(plan.conflicts[0].id, kDiffer);
}

// One resident under two spellings of the number (x and X, a blank after it, 15 and 18 digits)
// is compared, never added twice; a conflict taken from theirs keeps our spelling; a register
// that holds one resident twice gives one questionnaire and a problem. What the plan says is
// what the merge writes.
void TstMerge::sameResidentSpeltOtherwise_data() {
    QTest::addColumn<QString>("oursId");
    QTest::addColumn<QString>("theirsId");
    QTest::addColumn<bool>("differ");       // theirs changed the name
    QTest::addColumn<bool>("theirsTwice");  // theirs also holds the questionnaire under kShared
    const QString X = QStringLiteral("11010519491231002X"), x = QStringLiteral("11010519491231002x");
    const QString e18 = QStringLiteral("110101199001011237"), e15 = QStringLiteral("110101900101123");
    QTest::newRow("X and x") << X << x << false << false;
    QTest::newRow("x and X, differing") << x << X << true << false;
    QTest::newRow("blank after theirs") << kShared << kShared + " " << false << false;
    QTest::newRow("blank after theirs, differing") << kShared << kShared + " " << true << false;
    QTest::newRow("18 and 15") << e18 << e15 << false << false;
    QTest::newRow("15 and 18, differing") << e15 << e18 << true << false;
    QTest::newRow("theirs twice") << kShared << kShared + " " << false << true;
}

void TstMerge::sameResidentSpeltOtherwise() {
    QFETCH(QString, oursId);
    QFETCH(QString, theirsId);
    QFETCH(bool, differ);
    QFETCH(bool, theirsTwice);
    auto rename = [](TestDb& db, const QString& from, const QString& to) {
        for (int t = 0; t < statements::kTableCount; ++t)
            db.exec(QStringLiteral("update %1 set ID=? where ID=?").arg(statements::tableName(t)),
                    {to, from});
    };
    const auto theirsDb = registerFrom(m_b);
    if (theirsTwice) {
        // A second copy under the other spelling; the BasicInfo key allows both.
        theirsDb->exec(
            "insert into BasicInfo select ?, name, Address, WorkUnit, Phone, age, level, political, "
            "duty, Position, Flag from BasicInfo where ID=?",
            {theirsId, kShared});
        for (int t = 1; t < statements::kTableCount; ++t)
            theirsDb->exec(QStringLiteral("insert into %1 select ?, Code, Name from %1 where ID=?")
                               .arg(statements::tableName(t)),
                           {theirsId, kShared});
    } else {
        rename(*theirsDb, kShared, theirsId);
    }
    if (differ) theirsDb->exec("update BasicInfo set name='赵六' where ID=?", {theirsId});
    const QString theirs = m_dir.filePath("B-spelt.db");
    connection::closeAll();
    QFile::remove(theirs);
    QFile::copy(theirsDb->file(), theirs);

    const auto db = registerFrom(m_a);
    rename(*db, kShared, oursId);
    RegisterMerge merge(theirs);
    MergePlan plan = merge.plan();
    QCOMPARE(plan.added, 1);  // kOnlyB only
    QCOMPARE(plan.identical, differ ? 0 : 1);
    QCOMPARE(plan.conflicts.size(), differ ? 2 : 1);
    QStringList problems;
    for (const MergeProblem& p : plan.problems) problems << p.id + ": " + p.text;
    QCOMPARE(problems, theirsTwice ? QStringList{theirsId.trimmed() + ": 与对方登记册中的 " + kShared +
                                                 " 为同一居民，只合并了 " + kShared}
                                   : QStringList{});
    if (differ) {
        const MergeConflict& c = plan.conflicts[0].id == kDiffer ? plan.conflicts[1] : plan.conflicts[0];
        QCOMPARE(c.id, theirsId.trimmed());
        QCOMPARE(c.oursId, oursId);
        QCOMPARE(c.differences.first().item,
                 c.id == oursId ? QStringLiteral("姓名") : QStringLiteral("身份证号码"));
    }
    for (MergeConflict& c : plan.conflicts) c.takeTheirs = true;
    const int written = merge.apply(plan, {}, false);
    QCOMPARE(written, plan.added + plan.takenFromTheirs());
    QCOMPARE(db->count("BasicInfo"), 4);
    QCOMPARE(db->count("BasicInfo", oursId), 1);
    if (theirsId.trimmed() != oursId) QCOMPARE(db->count("BasicInfo", theirsId.trimmed()), 0);
    const Answers shared = readBack(oursId);
    QCOMPARE(shared.name, differ ? QStringLiteral("赵六") : QStringLiteral("张三"));
    QCOMPARE(shared[Special], completeAnswers(kShared)[Special]);
}

void TstMerge::notImportable() {
    const auto theirsDb = registerFrom(m_b);
    theirsDb->exec("insert into Love (ID, Code) values ('999999999999999999', '01')");  // no BasicInfo row
    theirsDb->exec("insert into Team (ID, Code) values (?, '77')", {kOnlyB});           // no such option
    theirsDb->exec("insert into Time1 (ID, Code, Name) values (?, '99', 'x')",
                   {kOnlyB});  // Time has no other
    const QString theirs = m_dir.filePath("B-odd.db");
    connection::closeAll();
    QFile::remove(theirs);
    QFile::copy(theirsDb->file(), theirs);

    const auto db = registerFrom(m_a);
    // Ours holds answer rows of their new number, without its BasicInfo row (an old half-delete):
    // the questionnaire is still new here, added whole, and those rows do not become part of it.
    db->exec("insert into Love (ID, Code) values (?, '05')", {kOnlyB});
    db->exec("insert into Special (ID, Code, Name) values (?, '99', '旧的')", {kOnlyB});
    RegisterMerge merge(theirs);
    MergePlan plan = merge.plan();
    QStringList problems;
    for (const MergeProblem& p : plan.problems) problems << p.id + ": " + p.text;
    QCOMPARE(problems, (QStringList{kOnlyB + ": Team 表的代码“77”不对应任何选项",
                                    kOnlyB + ": Time1 表的代码“99”不对应任何选项",
                                    "999999999999999999: 1 行答案没有对应的基本信息（BasicInfo）"}));
    QCOMPARE(plan.added, 1);
    merge.apply(plan, {}, false);
    // The questionnaire comes in without the rows that match nothing; the orphan row stays out.
    QCOMPARE(readBack(kOnlyB), only(kOnlyB, "王五"));
    QCOMPARE(db->count("Team", kOnlyB), 1);
    QCOMPARE(db->count("Time1", kOnlyB), 1);
    QCOMPARE(db->count("Love", kOnlyB), 1);
    QCOMPARE(db->count("Love", "999999999999999999"), 0);

    const QString csv = m_dir.filePath("conflicts.csv");
    QVERIFY(RegisterMerge::writeReport(plan, csv));
    QFile f(csv);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QVERIFY2(bytes.startsWith("\xEF\xBB\xBF"), "a byte-order mark, so that spreadsheets read UTF-8");
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1 + plan.conflicts[0].differences.size() + 3);
    QCOMPARE(lines[0], QStringLiteral("身份证号码,类别,页,项目,本登记册,对方,采用"));
    // The identity number stays text in a spreadsheet: a tab before it, the field quoted.
    QVERIFY(lines[1].startsWith(u'"' + (u'\t' + kDiffer) + QStringLiteral("\",冲突,")));
}

void TstMerge::tableByTableReadsAsTheLookup() {
    // Odd rows of every kind: the register read table by table (as the merge reads both files)
    // must give what the key-ordered reader gives, number by number.
    const auto db = registerFrom(m_b);
    db->exec("insert into Special (ID, Code, Name) values (?, '99', ' 甲'), (?, '99', '乙 ')", {kShared, kShared});
    db->exec("insert into Love (ID, Code) values (?, '+3'), (?, ' 2 '), (?, '3x')", {kOnlyB, kOnlyB, kOnlyB});
    db->exec("insert into Team (ID) values (?)", {kOnlyB});                                  // no code
    db->exec("insert into Reason (ID, Code) values (?, x'3031')", {kOnlyB});                 // a blob
    db->exec("insert into Who (ID, Code) values ('１２３', '01'), ('１２３', '77')");         // no BasicInfo
    db->exec("insert into BasicInfo (ID) values ('510101199912120000 ')");                  // age missing
    db->exec("create table t as select * from BasicInfo where ID=?", {kOnlyB});
    db->exec("update t set ID='4401011977070722229', name=' 赵六  '");                      // 19 digits
    db->exec("insert into BasicInfo select * from t");
    db->exec("drop table t");
    db->exec("insert into Depend (ID, Code) values ('4401011977070722229', '01')");
    // The other text comes from the other option's row, not from a row stored after it.
    db->exec("insert into Channel (ID, Code, Name) values (?, '99', '网络'), (?, '03', '不是其它')",
             {kOnlyB, kOnlyB});

    auto byReader = [] {
        QStringList out;
        RegisterReader reader(QStringLiteral("MyDb"));
        ReadQuestionnaire q;
        while (reader.next(q))
            out << QStringList{q.id, QString::number(q.hasBasic), QString::number(q.answerRows), q.failure,
                               q.unmatched.join('/'), q.hasBasic ? RegisterImage::pack(q.answers).toHex() : ""}
                       .join('|');
        return out;
    };
    auto byImage = [](bool throughIndexes) {
        const RegisterImage image = RegisterImage::read({QStringLiteral("MyDb")}).front();
        if (image.readThroughIndexes() != throughIndexes) qWarning("read the other way");
        QStringList out;
        for (const RegisterImage::Entry& e : image.entries()) {
            out << QStringList{QString::fromUtf8(e.key), QString::number(e.hasBasic),
                               QString::number(e.answerRows), e.failure, e.unmatched.join('/'),
                               e.answers.toHex()}
                       .join('|');
            if (e.hasBasic && RegisterImage::pack(image.answers(e)) != e.answers) qWarning("unpack differs");
        }
        return out;
    };
    const QStringList expected = byReader();
    QCOMPARE(expected.size(), 6);
    QTest::failOnWarning(QRegularExpression(".*"));
    QCOMPARE(byImage(false), expected);
    // A table of another program without column types holds a code as a floating-point number,
    // which the program's queries print their own way ("1", not "1.0"): read through the
    // indexes instead.
    db->exec("create table t as select * from Love");
    db->exec("drop table Love");
    db->exec("create table Love (ID, Code, Name)");
    db->exec("insert into Love select * from t");
    db->exec("drop table t");
    db->exec("create index IX_Love_ID on Love (ID)");
    db->exec("insert into Love (ID, Code) values (?, 3.0)", {kShared});
    QCOMPARE(byImage(true), byReader());
}

void TstMerge::indexesOfTheOtherFileNotRelied() {
    // The other file's indexes are never read: one whose index points at the wrong column merges
    // exactly as the sound file does.
    const QString odd = m_dir.filePath("B-oddindex.db");
    QFile::remove(odd);
    QFile::copy(m_b, odd);
    QFile::setPermissions(odd, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    {
        QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("odd"));
        c.setDatabaseName(odd);
        QVERIFY(c.open());
        QSqlQuery q(c);
        QVERIFY(q.exec("PRAGMA writable_schema=ON"));
        QVERIFY(q.exec("update sqlite_master set sql='CREATE INDEX IX_Love_ID ON Love (Code)' "
                       "where name='IX_Love_ID'"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("odd"));
    const auto db = registerFrom(m_a);
    const QString before = db->dump();
    RegisterMerge merge(odd);
    MergePlan plan = merge.plan();
    QCOMPARE(plan.added, 1);
    QCOMPARE(plan.identical, 1);
    QCOMPARE(plan.conflicts.size(), 1);
    QCOMPARE(plan.conflicts[0].differences, RegisterMerge(m_b).plan().conflicts[0].differences);
    plan.conflicts[0].takeTheirs = true;
    QCOMPARE(merge.apply(plan, {}, false), 2);
    QCOMPARE(readBack(kOnlyB), only(kOnlyB, "王五"));
    QCOMPARE(readBack(kDiffer), differing(false));
    QVERIFY(db->dump() != before);

    // An index that covers a table's columns but holds only some of its rows (its WHERE
    // clause edited away; quick_check does not compare index entries with rows): the rows are
    // still read from the table itself, none is lost.
    const QString lying = m_dir.filePath("B-lyingindex.db");
    QFile::remove(lying);
    QFile::copy(m_b, lying);
    QFile::setPermissions(lying, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    {
        QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("lying"));
        c.setDatabaseName(lying);
        QVERIFY(c.open());
        QSqlQuery q(c);
        for (const char* sql :
             {"insert into Love (ID, Code) values ('440101197707072222', '05')", "create table t as select * from Love",
              "drop table Love", "create table Love (ID VARCHAR(18) NOT NULL, Code VARCHAR(2), Name TEXT, Pad BLOB)",
              "insert into Love select ID, Code, Name, randomblob(3000) from t", "drop table t",
              "create index IX_Cover on Love (ID, Code, Name) where Code = '01'", "PRAGMA writable_schema=ON",
              "update sqlite_master set sql='CREATE INDEX IX_Cover on Love (ID, Code, Name)' where name='IX_Cover'"})
            QVERIFY2(q.exec(QString::fromLatin1(sql)), sql);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("lying"));
    const auto other = registerFrom(m_a);
    RegisterMerge fromLying(lying);
    const MergePlan added = fromLying.plan();
    QCOMPARE(added.added, 1);
    QCOMPARE(fromLying.apply(added, {}, false), 1);
    Answers withLove = only(kOnlyB, "王五");
    withLove[Love].ticked[4] = true;
    QCOMPARE(readBack(kOnlyB), withLove);
}

void TstMerge::intoItselfChangesNothing() {
    const auto db = registerFrom(m_a);
    const QString before = db->dump();
    for (const QString& source : {db->file(), m_a}) {
        RegisterMerge merge(source);
        MergePlan plan = merge.plan();
        QCOMPARE(plan.identical, 3);
        QCOMPARE(plan.added + int(plan.conflicts.size()) + int(plan.problems.size()), 0);
        QCOMPARE(merge.apply(plan), 0);
        QCOMPARE(db->dump(), before);
    }
    // Not even a backup: nothing was written.
    QVERIFY(!QFileInfo::exists(QFileInfo(db->file()).absolutePath() + "/Backup"));
    // The program's own connection reads its file as before the merge, not through a memory map
    // (a file cut short under a map ends the program instead of failing one read).
    SqlQuery q(QStringLiteral("MyDb"));
    q.setSql(QStringLiteral("PRAGMA mmap_size"));
    q.open();
    QCOMPARE(q.text(0), QStringLiteral("0"));
}

void TstMerge::cancelledOrFailedChangesNothing() {
    const auto db = registerFrom(m_a);
    const QString before = db->dump();
    {
        RegisterMerge merge(m_b);
        MergePlan plan = merge.plan();
        plan.conflicts[0].takeTheirs = true;
        QVERIFY_THROWS_EXCEPTION(Cancelled,
                                 merge.apply(
                                     plan, [](qint64, qint64) { return false; }, false));
        QCOMPARE(db->dump(), before);
    }
    {
        // Between the plan and the writing, the new number was typed here too: the insert
        // fails and the whole merge with it.
        RegisterMerge merge(m_b);
        MergePlan plan = merge.plan();
        plan.conflicts[0].takeTheirs = true;
        {
            SqlQuery q(QStringLiteral("MyDb"));
            SurveyStore(q).store(completeAnswers(kOnlyB));
        }
        const QString withIt = db->dump();
        try {
            merge.apply(plan, {}, true);
            QFAIL("the merge went through");
        } catch (const sqlitefile::FileError& e) {
            // The message names the questionnaire it could not write.
            QCOMPARE(e.message, QStringLiteral("合并失败：写入身份证号码为 %1 的问卷（基本信息）时出错。"
                                               "未合并，当前的登记册没有改动。")
                                    .arg(kOnlyB));
        }
        QCOMPARE(db->dump(), withIt);
    }
    {
        // Another program is in the middle of writing the other file: waited for, then refused
        // as busy, not as damaged.
        sqlite3* writer = nullptr;
        QCOMPARE(sqlite3_open_v2(QFile::encodeName(m_b).constData(), &writer, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        QCOMPARE(sqlite3_exec(writer, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        try {
            RegisterMerge(m_b).plan();
            QFAIL("merged a file being written");
        } catch (const sqlitefile::FileError& e) {
            QCOMPARE(e.message, backup::busyMessage() + QStringLiteral("未合并，当前的登记册没有改动。"));
        }
        sqlite3_exec(writer, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close_v2(writer);
    }
    // Nothing was left open: the register takes the next questionnaire.
    SqlQuery q(QStringLiteral("MyDb"));
    SurveyStore(q).store(completeAnswers("510101199912120000"));
}

void TstMerge::otherFileGivesQuestionnairesOnly() {
    // Another office's file with code in it: triggers that would swallow, copy or delete
    // questionnaires, a view, a table of its own, and a phone column declared as a number.
    const QString hostile = m_dir.filePath("B-hostile.db");
    QFile::remove(hostile);
    QFile::copy(m_b, hostile);
    QFile::setPermissions(hostile, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    {
        QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("hostile"));
        c.setDatabaseName(hostile);
        QVERIFY(c.open());
        QSqlQuery q(c);
        for (const char* sql : {
                 "update BasicInfo set Phone='02012345678' where ID='440101197707072222'",
                 "create table Spy (ID text, name text)",
                 "create trigger Swallow before insert on BasicInfo begin select raise(ignore); end",
                 "create trigger Copy after insert on Special begin insert into Spy values (new.ID, 'x'); end",
                 "create trigger Empty after delete on BasicInfo begin delete from Special; end",
                 "create trigger Touch after update on Love begin insert into Spy values ('touched', 'x'); end",
                 "create view Everyone as select ID, name from BasicInfo",
                 "PRAGMA writable_schema=ON",
                 "update sqlite_master set sql=replace(sql, 'Phone TEXT', 'Phone INTEGER') where name='BasicInfo'"})
            QVERIFY2(q.exec(QString::fromLatin1(sql)), sql);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("hostile"));
    const QByteArray sourceBytes = [&] {
        QFile f(hostile);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();

    const auto db = registerFrom(m_a);
    RegisterMerge merge(hostile);
    MergePlan plan = merge.plan();
    QCOMPARE(plan.added, 1);
    QCOMPARE(plan.identical, 1);
    QCOMPARE(plan.conflicts.size(), 1);
    plan.conflicts[0].takeTheirs = true;
    QCOMPARE(merge.apply(plan), 2);
    Answers theirs = only(kOnlyB, "王五");
    theirs.phone = QStringLiteral("02012345678");
    QCOMPARE(readBack(kOnlyB), theirs);
    QCOMPARE(readBack(kDiffer), differing(false));

    // The register and every copy made around the merge hold the program's own objects only.
    QTemporaryDir fresh;
    QVERIFY(schema::ensureDatabaseFile(fresh.filePath("new.db")));
    auto objectsOf = [](const QString& file) {
        const QString name = QStringLiteral("objects-") + QUuid::createUuid().toString(QUuid::Id128);
        QStringList out;
        {
            QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            c.setDatabaseName(file);
            c.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
            if (c.open()) {
                QSqlQuery q(c);
                q.exec("select type, name, tbl_name, sql from sqlite_master order by name");
                while (q.next())
                    out << QStringList{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                                       q.value(3).toString()}
                               .join('|');
            }
        }
        QSqlDatabase::removeDatabase(name);
        return out;
    };
    const QStringList expected = objectsOf(fresh.filePath("new.db"));
    QCOMPARE(expected.size(), 13 + 25 + 1);  // tables, indexes, the key's own index
    QCOMPARE(objectsOf(db->file()), expected);
    const auto copies = backup::Snapshots(db->file()).list();
    QCOMPARE(copies.size(), 2);  // before and after the merge
    for (const backup::BackupInfo& b : copies) QCOMPARE(objectsOf(b.path), expected);
    // Deleting and storing through the register's own statements does only that.
    {
        SqlQuery q(QStringLiteral("MyDb"));
        SurveyStore store(q);
        store.remove(kOnlyA);
        store.store(only("510101199912120000", "赵六"));
    }
    QCOMPARE(readBack(kOnlyB), theirs);
    QCOMPARE(readBack("510101199912120000"), only("510101199912120000", "赵六"));
    // The other file was only read: not a byte of it changed, none of its triggers ran.
    QFile f(hostile);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), sourceBytes);
    QVERIFY(!QFileInfo::exists(hostile + "-journal"));
}

void TstMerge::mergeWindow() {
    const auto db = registerFrom(m_a);
    RegisterMerge merge(m_b);
    MergePlan plan = merge.plan();
    TFrm_Merge form(nullptr, &plan);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.findChild<QLabel*>("Lbl_Summary")->text(),
             QStringLiteral("对方共有 3 份问卷：新增 1 份，相同 1 份（跳过），冲突 1 份，不能导入 0 项。"));
    auto* conflicts = form.findChild<QTableWidget*>("Grd_Conflicts");
    auto* differences = form.findChild<QTableWidget*>("Grd_Differences");
    QCOMPARE(conflicts->rowCount(), 1);
    QCOMPARE(conflicts->item(0, 0)->text(), kDiffer);
    QCOMPARE(differences->rowCount(), plan.conflicts[0].differences.size());
    QCOMPARE(differences->item(0, 0)->text(), qs(pages()[0].caption));
    // One by one, or all at once.
    conflicts->item(0, 3)->setCheckState(Qt::Checked);
    QVERIFY(plan.conflicts[0].takeTheirs);
    QTest::mouseClick(form.findChild<QPushButton*>("Btn_AllOurs"), Qt::LeftButton);
    QVERIFY(!plan.conflicts[0].takeTheirs);
    QCOMPARE(conflicts->item(0, 3)->checkState(), Qt::Unchecked);
    QTest::mouseClick(form.findChild<QPushButton*>("Btn_AllTheirs"), Qt::LeftButton);
    QVERIFY(plan.conflicts[0].takeTheirs);
    QCOMPARE(form.findChild<QLabel*>("Lbl_Chosen")->text(),
             QStringLiteral("冲突中保留本登记册 0 份，采用对方 1 份"));
    if (!qEnvironmentVariableIsEmpty("QUENVALE_SCREENSHOTS"))
        form.grab().save(qEnvironmentVariable("QUENVALE_SCREENSHOTS") + "/merge.png");
    QTest::mouseClick(form.findChild<QPushButton*>("Btn_Merge"), Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Accepted));
}

// quenvale-cli merge as a clerk's script runs it: which questionnaire a conflict keeps, what
// --dry-run and a wrong choice leave, and the copy kept before the writing.
void TstMerge::commandLine_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("kept");  // the conflict afterwards: 0 ours, 1 theirs; -1 nothing was merged
    QTest::newRow("ours by default") << QStringList{} << 0 << 0;
    QTest::newRow("--prefer ours") << QStringList{"--prefer", "ours"} << 0 << 0;
    QTest::newRow("--prefer theirs") << QStringList{"--prefer", "theirs"} << 0 << 1;
    QTest::newRow("--dry-run writes nothing") << QStringList{"--prefer", "theirs", "--dry-run"} << 0 << -1;
    QTest::newRow("a choice that is neither") << QStringList{"--prefer", "mine"} << 2 << -1;
}

void TstMerge::commandLine() {
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(int, kept);
    const QString built = QCoreApplication::applicationDirPath() + "/quenvale-cli";
    if (!QFileInfo::exists(built)) QSKIP("quenvale-cli not built");
    // A copy of the program with register A in the Data folder beside it, and a home of its own.
    QTemporaryDir root, home;
    QVERIFY(QFile::copy(built, root.filePath("quenvale-cli")));
    QVERIFY(QDir().mkpath(root.filePath("Data")));
    const QString file = root.filePath("Data/MyDB.db");
    QVERIFY(QFile::copy(m_a, file));
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    env.insert("XDG_DATA_HOME", home.filePath("data"));
    cli.setProcessEnvironment(env);
    cli.start(root.filePath("quenvale-cli"), QStringList{"merge", m_b} + options);
    QVERIFY(cli.waitForFinished(60000));
    const QString said = QString::fromUtf8(cli.readAllStandardError());
    QVERIFY2(cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == exitCode, qPrintable(said));

    const auto db = registerFrom(file);
    QCOMPARE(db->count("BasicInfo"), kept < 0 ? 3 : 4);
    QCOMPARE(readBack(kDiffer), differing(kept != 1));
    QCOMPARE(readBack(kShared), completeAnswers(kShared));
    if (kept >= 0) QCOMPARE(readBack(kOnlyB), only(kOnlyB, "王五"));
    // A merge that writes keeps the register as it was first; one that writes nothing keeps nothing.
    const QString folder = root.filePath("Data/Backup");
    const QStringList before = QDir(folder).entryList({"MyDB-*-before-merge.db"}, QDir::Files);
    QCOMPARE(before.size(), kept < 0 ? 0 : 1);
    if (kept >= 0) QCOMPARE(backup::questionnaireCount(folder + "/" + before[0]), 3);
}

QTEST_MAIN(TstMerge)
#include "tst_merge.moc"
