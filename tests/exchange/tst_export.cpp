// The questionnaire export read back with independent readers: values, headings, labels, hostile
// texts, cuts, the unrecognised rows, the tables layout, and never half a file.
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QJsonArray>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>
#include <csignal>
#include <cstring>
#include <memory>

#include "ReadBack.h"
#include "TestDb.h"
#include "core/exchange/QuestionnaireExport.h"
#include "core/exchange/WideLayout.h"
#include "core/store/DataModule.h"
#include "core/store/SqlQuery.h"
#include "core/store/SurveyStore.h"

using namespace catalogue;
using exchange::Format;
using exchange::Layout;

namespace {

const QString kId1 = QStringLiteral("110101199001011234");
const QString kId2 = QStringLiteral("11010119900101123X");
const QString kId3 = QStringLiteral("220101198001010011");
const QString kOrphan = QStringLiteral("999999999999999999");

const QString kQuote = QStringLiteral("他说\"你好\",再见");
const QString kLines = QStringLiteral("第一行\n第二行\r\n第三行");
const QString kFormula = QStringLiteral("=HYPERLINK(\"http://example.com\",\"点我\")");
const QString kPlus = QStringLiteral("+86 138 0000 0000");
const QString kMinus = QStringLiteral("-5");
const QString kAt = QStringLiteral("@SUM(A1:A9)");
const QString kTab = QStringLiteral("\t制表符开头");
const QString kCr = QStringLiteral("\r回车开头");
const QString kEmoji = QStringLiteral("😀𠀀𝄞 四字节");
const QString kLongBmp = QString(100000, QChar(0x957F));           // 长 x 100,000 (3 bytes each)
const QString kLongAstral = QStringLiteral("𠀀").repeated(40000);  // 80,000 UTF-16 units, 4 bytes each

// What the CSV for spreadsheets holds for a stored text: an apostrophe before what a spreadsheet
// would run, a tab before what it would turn into a number.
QString spreadsheetField(const QString& t) {
    if (t.isEmpty()) return t;
    const QChar c = t[0];
    if (c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t' || c == u'\r') return u'\'' + t;
    if (c.isDigit()) return u'\t' + t;
    return t;
}

QString question(const Group& g) {
    QString q = qs(g.label);
    if (q.endsWith(u'：')) q.chop(1);
    return q;
}

// What the wide layout must say about one questionnaire: heading -> (text, code).
struct Expected {
    QString header;
    QString var;
    QString text;
    int code = -1;  // -1: a text column
};

QList<Expected> expectedWide(const Answers& a, const QStringList& basicTexts) {
    QList<Expected> out;
    out.append({QStringLiteral("身份证号码"), QStringLiteral("id"), a.id});
    const QStringList heads = {QStringLiteral("姓名"), QStringLiteral("家庭住址"), QStringLiteral("工作单位"),
                               QStringLiteral("联系电话")};
    const QStringList vars = {"name", "address", "workunit", "phone"};
    for (int i = 0; i < 4; ++i) out.append({heads[i], vars[i], basicTexts[i]});
    for (const Group& g : groups()) {
        const GroupAnswer& ga = a[g.id];
        const QString var = QString::fromLatin1(g.storage).toLower();
        if (g.singleChoice) {
            const int b = ga.ticked.indexOf(true);
            out.append({question(g), var, qs(g.boxes[b].caption), g.boxes[b].code});
        } else {
            for (int b = 0; b < int(g.boxes.size()); ++b)
                out.append({question(g) + u'：' + qs(g.boxes[b].caption),
                            var + QStringLiteral("_%1").arg(g.boxes[b].code, 2, 10, QLatin1Char('0')),
                            QString(), ga.ticked[b] ? 1 : 0});
        }
        if (g.hasOther())
            out.append({question(g) + QStringLiteral("：其它内容"), var + QStringLiteral("_other"),
                        ga.ticked.last() ? trimmedText(ga.otherText) : QString()});
    }
    return out;
}

}  // namespace

class TstExport : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void wide_data();
    void wide();
    void unrecognised_data();
    void unrecognised();
    void tables_data();
    void tables();
    void cuts_data();
    void cuts();
    void refused_data();
    void refused();
    void besideTargetExists_data();
    void besideTargetExists();
    void cancelled_data();
    void cancelled();
    void fileSizeLimit_data();
    void fileSizeLimit();
    void textsNoFileHolds_data();
    void textsNoFileHolds();
    void oneSnapshot();
    void emptyRegister_data();
    void emptyRegister();

private:
    void seed();
    QString out(const QString& name) const { return m_out->path() + u'/' + name; }
    exchange::ExportResult run(Format f, Layout l, const QString& path, const ProgressFn& p = {}) {
        return exchange::exportQuestionnaires({f, l, path}, p);
    }
    QStringList folder() const { return QDir(m_out->path()).entryList(QDir::Files | QDir::Hidden); }

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<QTemporaryDir> m_out;
    QList<Answers> m_answers;
    QList<QStringList> m_basic;  // the four basic texts as stored
};

void TstExport::init() {
    m_db = std::make_unique<TestDb>();
    m_out = std::make_unique<QTemporaryDir>();
    seed();
}

void TstExport::cleanup() {
    m_db.reset();
    m_out.reset();
    m_answers.clear();
    m_basic.clear();
}

void TstExport::seed() {
    Answers a = completeAnswers(kId1);
    a.name = kQuote;
    a.address = kLongBmp;
    a.workUnit = kFormula;
    a.phone = kPlus;
    a[Age].ticked = {false, true, false, false};
    a[Duty].ticked.fill(false);
    a[Duty].ticked.last() = true;
    a[Duty].otherText = QStringLiteral("  @工程|顾问 ");
    a[Special].ticked[2] = true;
    a[Special].ticked.last() = true;
    a[Special].otherText = kAt;
    a[Love].ticked.last() = true;
    a[Love].otherText = kEmoji;
    a[Team].ticked.last() = true;
    a[Team].otherText = kLongAstral;
    a[Channel].ticked.fill(true);
    a[Channel].otherText = kLines;

    Answers b = completeAnswers(kId2);
    b.name = QStringLiteral("李四");
    b.phone = kMinus;
    b[Flag].ticked = {false, true};
    b[Position].ticked.fill(false);
    b[Position].ticked.last() = true;  // other, with an empty text
    b[Special].ticked.last() = true;   // other, with an empty text
    b[Time].ticked = {false, false, false, false, false, true};

    Answers c = completeAnswers(kId3);
    c[Level].ticked = {false, false, false, true};
    c[Duty].ticked = QList<bool>(12, false);
    c[Duty].ticked[9] = true;  // "10"

    SqlQuery q(QStringLiteral("MyDb"));
    SurveyStore store(q);
    // Stored out of their numbers' order: the export lists them by number all the same.
    for (const Answers& x : {c, a, b}) store.store(x);
    // Texts that the forms trim away, stored by another program: they must still come out shown.
    m_db->exec(QStringLiteral("update BasicInfo set name=?, Address=? where ID=?"), {kTab, kCr, kId3});
    c.name = kTab;
    c.address = kCr;
    // "1" and "01" are the same option.
    m_db->exec(QStringLiteral("insert into Special (ID, Code) values (?, ?)"), {kId2, QStringLiteral("1")});
    m_answers = {a, b, c};
    for (const Answers& x : m_answers) {
        QStringList texts;
        for (int i = 0; i < 4; ++i) texts << trimmedText(x.basic(i));
        m_basic << texts;
    }
    m_basic[2] = QStringList{kTab, kCr, trimmedText(c.workUnit), trimmedText(c.phone)};
}

void TstExport::wide_data() {
    QTest::addColumn<QString>("format");
    for (const char* f : {"xlsx", "csv", "sav", "dta"}) QTest::newRow(f) << QString::fromLatin1(f);
}

void TstExport::wide() {
    QFETCH(QString, format);
    Format f;
    QVERIFY(exchange::parseFormat(format, &f));
    const QString path = out(QStringLiteral("问卷.") + format);
    QList<qint64> seen;
    const auto r = run(f, Layout::Wide, path, [&](qint64 done, qint64 total) {
        seen << done;
        return total == 3;
    });
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.questionnaires, 3);
    QCOMPARE(r.unknownRows, 0);
    QCOMPARE(r.files, QStringList{QFileInfo(path).absoluteFilePath()});
    QVERIFY(seen.contains(3));
    QCOMPARE(folder(), QStringList{QFileInfo(path).fileName()});  // no temporary file left

    // Rows come sorted by identity number.
    const QList<int> order = {0, 1, 2};
    QVERIFY(kId1 < kId2 && kId2 < kId3);

    if (format == QLatin1String("csv")) {
        const QJsonObject j = readback::python(format, path);
        QVERIFY(j.value("bom").toBool());
        QVERIFY(j.value("crlf").toBool());
        // Every record ends in CR LF (a line break inside a quoted text is the text's own).
        QCOMPARE(j.value("lineEnds").toArray(), QJsonArray{QStringLiteral("\r\n")});
        const QJsonArray rows = j.value("rows").toArray();
        // The same file through the README's one rule, and through pandas with the same rule.
        const QJsonArray typed = j.value("typed").toArray();
        const QJsonArray pandas =
            readback::python(QStringLiteral("pandas-csv"), path).value("typed").toArray();
        QCOMPARE(rows.size(), 4);
        QCOMPARE(pandas.size(), 4);
        const QJsonArray head = rows[0].toArray();
        for (int i : order) {
            const QJsonArray row = rows[i + 1].toArray();
            QCOMPARE(row.size(), head.size());
            const auto exp = expectedWide(m_answers[i], m_basic[i]);
            QCOMPARE(exp.size(), head.size());
            for (int c = 0; c < exp.size(); ++c) {
                QCOMPARE(head[c].toString(), exp[c].header);
                const bool text = exp[c].code < 0 || !exp[c].text.isEmpty();
                // Option captions are the program's own texts: never marked.
                const QString want = !text              ? QString::number(exp[c].code)
                                     : exp[c].code >= 0 ? exp[c].text
                                                        : spreadsheetField(exp[c].text);
                QVERIFY2(row[c].toString() == want,
                         qPrintable(exp[c].header + ": " + row[c].toString().left(80)));
                const QString exact = text ? exp[c].text : QString::number(exp[c].code);
                QVERIFY2(typed[i + 1].toArray()[c].toString() == exact, qPrintable(exp[c].header));
                QVERIFY2(pandas[i + 1].toArray()[c].toString() == exact,
                         qPrintable("pandas: " + exp[c].header));
            }
        }
    } else if (format == QLatin1String("xlsx")) {
        const QJsonObject j = readback::python(format, path);
        const QJsonArray sheets = j.value("sheets").toArray();
        QCOMPARE(sheets.size(), 1);
        const QJsonObject s = sheets[0].toObject();
        QCOMPARE(s.value("frozen").toString(), QStringLiteral("A2"));
        const QJsonArray rows = s.value("rows").toArray();
        const QJsonArray types = s.value("types").toArray();
        QCOMPARE(rows.size(), 4);
        const QJsonArray head = rows[0].toArray();
        for (int i : order) {
            const QJsonArray row = rows[i + 1].toArray();
            const auto exp = expectedWide(m_answers[i], m_basic[i]);
            for (int c = 0; c < exp.size(); ++c) {
                QCOMPARE(head[c].toString(), exp[c].header);
                const QJsonValue v = row[c];
                if (exp[c].code >= 0 && exp[c].text.isEmpty()) {
                    QCOMPARE(v.toInt(-1), exp[c].code);
                } else {
                    QString want = exp[c].text;
                    if (want.size() > 32767) want = want.left(want[32766].isHighSurrogate() ? 32766 : 32767);
                    QVERIFY2(v.toString() == want, qPrintable(exp[c].header + ": " + v.toString().left(80)));
                    // Every text a string cell: a formula is shown, never run.
                    if (!want.isEmpty()) QCOMPARE(types[i + 1].toArray()[c].toString(), QStringLiteral("s"));
                }
            }
        }
        // The identity number is text, and its column wide enough to show it.
        QCOMPARE(s.value("formats").toArray()[1].toArray()[0].toString(), QStringLiteral("@"));
        QVERIFY(s.value("widths").toObject().value("A").toDouble() >= 18);
    } else if (format == QLatin1String("sav")) {
        const readback::SavFile sav = readback::sav(path);
        QVERIFY(sav.ok);
        QCOMPARE(sav.rows.size(), 3);
        for (int i : order) {
            const auto exp = expectedWide(m_answers[i], m_basic[i]);
            QCOMPARE(sav.names.size(), exp.size());
            for (int c = 0; c < exp.size(); ++c) {
                QCOMPARE(sav.names[c], exp[c].var);
                QCOMPARE(sav.labels[c], exp[c].header);
                const QVariant v = sav.rows[i][c];
                if (exp[c].code >= 0) {
                    QCOMPARE(v.toInt(), exp[c].code);
                    // The value label names the option (or 未选/选中).
                    const QString label = sav.valueLabels.value(sav.labelSets[c]).value(exp[c].code);
                    QCOMPARE(label, exp[c].text.isEmpty()
                                        ? (exp[c].code ? QStringLiteral("选中") : QStringLiteral("未选"))
                                        : exp[c].text);
                } else {
                    QByteArray want = exp[c].text.toUtf8();
                    if (want.size() > 32767) {
                        int n = 32767;
                        while ((uchar(want[n]) & 0xC0) == 0x80) --n;
                        want.truncate(n);
                    }
                    QVERIFY2(v.toString().toUtf8() == want, qPrintable(exp[c].header));
                }
            }
        }
    } else {
        const QJsonObject j = readback::python(format, path);
        const QJsonArray cols = j.value("columns").toArray();
        const QJsonArray rows = j.value("rows").toArray();
        const QJsonObject varLabels = j.value("varlabels").toObject();
        const QJsonObject sets = j.value("labelsets").toObject();
        const QJsonObject valueLabels = j.value("valuelabels").toObject();
        QCOMPARE(rows.size(), 3);
        for (int i : order) {
            const auto exp = expectedWide(m_answers[i], m_basic[i]);
            QCOMPARE(cols.size(), exp.size());
            const QJsonArray row = rows[i].toArray();
            for (int c = 0; c < exp.size(); ++c) {
                QCOMPARE(cols[c].toString(), exp[c].var);
                QCOMPARE(varLabels.value(exp[c].var).toString(), exp[c].header);
                if (exp[c].code >= 0) {
                    QCOMPARE(row[c].toInt(-1), exp[c].code);
                    const QString set = sets.value(exp[c].var).toString();
                    const QString label =
                        valueLabels.value(set).toObject().value(QString::number(exp[c].code)).toString();
                    QCOMPARE(label, exp[c].text.isEmpty()
                                        ? (exp[c].code ? QStringLiteral("选中") : QStringLiteral("未选"))
                                        : exp[c].text);
                } else {
                    // Stata keeps long texts whole (strL).
                    QVERIFY2(row[c].toString() == exp[c].text, qPrintable(exp[c].header +
                                                                          QStringLiteral(": %1 of %2: ")
                                                                              .arg(row[c].toString().size())
                                                                              .arg(exp[c].text.size()) +
                                                                          row[c].toString().left(40)));
                }
            }
        }
    }
}

void TstExport::unrecognised_data() { wide_data(); }

void TstExport::unrecognised() {
    QFETCH(QString, format);
    // An answer row without its BasicInfo row, a code that no option has, a page-one value out
    // of range: none is dropped in silence.
    m_db->exec(QStringLiteral("insert into Love (ID, Code) values (?, ?)"), {kOrphan, QStringLiteral("03")});
    m_db->exec(QStringLiteral("insert into Who (ID, Code) values (?, ?)"), {kId2, QStringLiteral("77")});
    m_db->exec(QStringLiteral("update BasicInfo set age='9' where ID=?"), {kId3});
    m_db->exec(QStringLiteral("insert into Train (ID, Code) values (?, null)"), {kId2});
    m_db->exec(QStringLiteral("insert into Special (ID, Code, Name) values (?, '99', '第二个')"), {kId1});
    m_db->exec(QStringLiteral("insert into Love (ID, Code, Name) values (?, '02', 'x')"), {kId3});
    Format f;
    QVERIFY(exchange::parseFormat(format, &f));
    const QString path = out(QStringLiteral("wide.") + format);
    const auto r = run(f, Layout::Wide, path);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.unknownRows, 6);
    QVERIFY(r.summary().contains(QStringLiteral("另有 6 条未能识别的数据")));

    // Where each belongs as the clerk knows it, never a table or column name.
    // By identity number, then as met; each with why it has no place.
    const QList<QStringList> want = {
        {QStringLiteral("页二 专业及特长"), kId1, QStringLiteral("99"), QStringLiteral("第二个"),
         QStringLiteral("同一页的第二个“其它”")},
        {QStringLiteral("页六 培训或讲座"), kId2, QString(), QString(), QStringLiteral("代码为空")},
        {QStringLiteral("页九 为哪种类型的居民提供服务"), kId2, QStringLiteral("77"), QString(),
         QStringLiteral("没有这个选项")},
        {QStringLiteral("页三 业余爱好"), kId3, QStringLiteral("02"), QStringLiteral("x"),
         QStringLiteral("不是“其它”的选项带有文字")},
        {QStringLiteral("页一 年龄"), kId3, QStringLiteral("9"), QString(), QStringLiteral("没有这个选项")},
        {QStringLiteral("页三 业余爱好"), kOrphan, QStringLiteral("03"), QString(),
         QStringLiteral("没有对应的问卷（基本信息）")}};
    QList<QStringList> got;
    if (format == QLatin1String("xlsx")) {
        QCOMPARE(r.files.size(), 1);
        const QJsonArray sheets = readback::python(format, path).value("sheets").toArray();
        QCOMPARE(sheets.size(), 2);
        QCOMPARE(sheets[1].toObject().value("name").toString(), QStringLiteral("未能识别的数据"));
        const QJsonArray rows = sheets[1].toObject().value("rows").toArray();
        for (int i = 1; i < rows.size(); ++i) {
            QStringList row;
            for (const QJsonValue& v : rows[i].toArray()) row << v.toString();
            got << row;
        }
        // The questionnaire itself is still there, its age empty.
        QCOMPARE(sheets[0].toObject().value("rows").toArray()[3].toArray()[5].toString(), QString());
    } else {
        const QString second = out(QStringLiteral("wide_未能识别的数据.") + format);
        QCOMPARE(r.files, (QStringList{QFileInfo(path).absoluteFilePath(), second}));
        if (format == QLatin1String("sav")) {
            const auto sav = readback::sav(second);
            QCOMPARE(sav.names, (QStringList{"page", "id", "code", "text", "reason"}));
            for (const auto& row : sav.rows) {
                QStringList r2;
                for (const QVariant& v : row) r2 << v.toString();
                got << r2;
            }
        } else {
            const QJsonObject j = readback::python(format, second);
            const QJsonArray rows = j.value(format == QLatin1String("csv") ? "typed" : "rows").toArray();
            for (int i = format == QLatin1String("csv") ? 1 : 0; i < rows.size(); ++i) {
                QStringList row;
                for (const QJsonValue& v : rows[i].toArray()) row << v.toString();
                got << row;
            }
        }
    }
    QCOMPARE(got, want);
}

void TstExport::tables_data() { wide_data(); }

void TstExport::tables() {
    QFETCH(QString, format);
    Format f;
    QVERIFY(exchange::parseFormat(format, &f));
    const QString path = out(QStringLiteral("register.") + format);
    const auto r = run(f, Layout::Tables, path);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.questionnaires, 3);
    const QStringList tables = {"BasicInfo", "Special", "Love",  "Team",      "Service", "Train",  "Reason",
                                "Who",       "Type",    "Time1", "ReinForce", "Depend",  "Channel"};
    // Each table exactly as stored ("1" stays "1" beside "01").
    auto stored = [&](const QString& t) {
        const QString cols =
            t == QLatin1String("BasicInfo")
                ? QStringLiteral(
                      "ID, name, Address, WorkUnit, Phone, age, level, political, duty, Position, Flag")
                : QStringLiteral("ID, Code, Name");
        QList<QStringList> rows = m_db->rows(QStringLiteral("select %1 from %2").arg(cols, t));
        for (QStringList& row : rows)
            for (QString& v : row)
                if (v == QLatin1String("<null>")) v.clear();
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    auto sorted = [](QList<QStringList> rows) {
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    auto idsOf = [](const QList<QStringList>& rows) {
        QStringList ids;
        for (const QStringList& row : rows) ids << row.value(0);
        return ids;
    };
    auto sortedIds = [&](const QList<QStringList>& rows) {
        QStringList ids = idsOf(rows);
        ids.sort();
        return ids;
    };
    if (format == QLatin1String("xlsx")) {
        QCOMPARE(r.files.size(), 1);
        const QJsonArray sheets = readback::python(format, path).value("sheets").toArray();
        QCOMPARE(sheets.size(), 13);
        for (int t = 0; t < 13; ++t) {
            const QJsonObject s = sheets[t].toObject();
            QCOMPARE(s.value("name").toString(), tables[t]);
            const QJsonArray rows = s.value("rows").toArray();
            QCOMPARE(rows[0].toArray()[0].toString(), QStringLiteral("ID"));
            QList<QStringList> got;
            for (int i = 1; i < rows.size(); ++i) {
                QStringList row;
                for (const QJsonValue& v : rows[i].toArray()) row << v.toString();
                got << row;
            }
            if (t == 0) QCOMPARE(idsOf(got), sortedIds(got));  // questionnaires by identity number
            QList<QStringList> want = stored(tables[t]);
            for (QStringList& row : want)  // xlsx keeps at most 32,767 characters
                for (QString& v : row)
                    if (v.size() > 32767) v = v.left(v[32766].isHighSurrogate() ? 32766 : 32767);
            QCOMPARE(sorted(got), sorted(want));
        }
        return;
    }
    QCOMPARE(r.files.size(), 13);
    for (int t = 0; t < 13; ++t) {
        const QString file = t == 0 ? path : out(QStringLiteral("register_%1.%2").arg(tables[t], format));
        QCOMPARE(r.files[t], QFileInfo(file).absoluteFilePath());
        QList<QStringList> got;
        if (format == QLatin1String("sav")) {
            for (const auto& row : readback::sav(file).rows) {
                QStringList r2;
                for (const QVariant& v : row) r2 << v.toString();
                got << r2;
            }
        } else {
            // The stored codes too: "01" and "1" must both come back as they are.
            const QJsonArray rows = readback::python(format, file)
                                        .value(format == QLatin1String("csv") ? "typed" : "rows")
                                        .toArray();
            for (int i = format == QLatin1String("csv") ? 1 : 0; i < rows.size(); ++i) {
                QStringList row;
                for (const QJsonValue& v : rows[i].toArray()) row << v.toString();
                got << row;
            }
        }
        if (t == 0) QCOMPARE(idsOf(got), sortedIds(got));  // questionnaires by identity number
        QList<QStringList> want = stored(tables[t]);
        if (format == QLatin1String("sav"))
            for (QStringList& row : want)
                for (QString& v : row)
                    if (v.toUtf8().size() > 32767) {
                        QByteArray b = v.toUtf8();
                        int n = 32767;
                        while ((uchar(b[n]) & 0xC0) == 0x80) --n;
                        v = QString::fromUtf8(b.left(n));
                    }
        QVERIFY2(sorted(got) == sorted(want), qPrintable(tables[t]));
    }
}

void TstExport::cuts_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("cuts");
    // The address (100,000 characters) and the team other text (80,000 UTF-16 units) of the
    // first questionnaire pass Excel's and SPSS's limits; csv and Stata keep them whole.
    QTest::newRow("xlsx") << "xlsx" << 2;
    QTest::newRow("sav") << "sav" << 2;
    QTest::newRow("csv") << "csv" << 0;
    QTest::newRow("dta") << "dta" << 0;
}

void TstExport::cuts() {
    QFETCH(QString, format);
    QFETCH(int, cuts);
    Format f;
    QVERIFY(exchange::parseFormat(format, &f));
    const auto r = run(f, Layout::Wide, out(QStringLiteral("cut.") + format));
    QVERIFY(r.ok);
    QCOMPARE(int(r.cuts.size()), cuts);
    for (const auto& c : r.cuts) QCOMPARE(c.identity, kId1);
    QCOMPARE(r.summary().contains(QStringLiteral("有 %1 段文字超过了该格式的长度上限").arg(cuts)), cuts > 0);
    if (format == QLatin1String("sav")) {
        // A text cut at SPSS's limit in bytes ends on a whole character: after its last one the
        // file holds the padding, never the first byte of a character cut in two.
        QFile f(out(QStringLiteral("cut.sav")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        for (const QByteArray character : {QStringLiteral("长").toUtf8(), QStringLiteral("𠀀").toUtf8()}) {
            const qsizetype end = bytes.lastIndexOf(character) + character.size();
            QCOMPARE(bytes.mid(end, 1), QByteArray(" "));
        }
    }
    if (cuts) QVERIFY(r.summary().contains(kId1));
    QVERIFY(!r.summary().contains(kId2));
}

void TstExport::refused_data() {
    // Relative to the output folder; "@" the folder itself; "*" the format's extension, "~" that
    // of another format the register writes.
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("replace");
    QTest::addColumn<QString>("message");
    QTest::newRow("a folder") << "@" << true << "是一个文件夹";
    QTest::newRow("a folder by that name") << "sub" << true << "是一个文件夹";
    QTest::newRow("folder missing") << "missing/x.*" << true << "不存在";
    QTest::newRow("folder not writable") << "locked/x.*" << true << "无法在文件夹";
    QTest::newRow("empty name") << "" << true << "没有指定";
    QTest::newRow("an existing file") << "old.*" << false << "已经存在";
    QTest::newRow("a symbolic link, even when replacing") << "link.*" << true << "符号链接";
    QTest::newRow("a dangling symbolic link") << "dangling.*" << false << "符号链接";
    QTest::newRow("another format's extension") << "x.~" << true << "扩展名";
    QTest::newRow("another format's extension, upper case") << "X.PDF" << true << "扩展名";
}

void TstExport::refused() {
    QFETCH(QString, target);
    QFETCH(bool, replace);
    QFETCH(QString, message);
    QDir(m_out->path()).mkdir(QStringLiteral("sub"));
    QTemporaryDir elsewhere;
    const QString pointed = elsewhere.filePath(QStringLiteral("elsewhere"));
    {
        QFile f(pointed);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not ours to overwrite");
    }
    const std::pair<Format, const char*> formats[] = {{Format::Xlsx, "csv"},
                                                      {Format::Csv, "xlsx"},
                                                      {Format::CsvPlain, "sav"},
                                                      {Format::Sav, "dta"},
                                                      {Format::Dta, "sav"}};
    for (const auto& [f, other] : formats) {
        QString name = target;
        name.replace(u'*', exchange::extension(f)).replace(u'~', QLatin1String(other));
        QString path = name == QLatin1String("@") ? m_out->path() : name.isEmpty() ? QString() : out(name);
        if (name.startsWith(QLatin1String("locked"))) {
            if (::geteuid() == 0) {
                path =
                    QStringLiteral("/proc/x.") + exchange::extension(f);  // root writes everywhere but here
            } else {
                QDir(m_out->path()).mkdir(QStringLiteral("locked"));
                QFile::setPermissions(out(QStringLiteral("locked")), QFile::ReadOwner | QFile::ExeOwner);
            }
        }
        if (name.startsWith(QLatin1String("old."))) {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("the previous export");
        }
        if (name.startsWith(QLatin1String("link.")) && !QFileInfo(path).isSymLink())
            QVERIFY(QFile::link(pointed, path));
        if (name.startsWith(QLatin1String("dangling.")) && !QFileInfo(path).isSymLink())
            QVERIFY(QFile::link(out(QStringLiteral("nowhere")), path));
        const QStringList before = folder();
        for (Layout l : {Layout::Wide, Layout::Tables}) {
            const auto r = exchange::exportQuestionnaires({f, l, path, replace});
            QVERIFY(!r.ok);
            QVERIFY(!r.cancelled);
            QVERIFY2(r.error.contains(message), qPrintable(r.error));
            QCOMPARE(folder(), before);
        }
        if (name.startsWith(QLatin1String("old."))) {
            QFile old(path);
            QVERIFY(old.open(QIODevice::ReadOnly));
            QCOMPARE(old.readAll(), QByteArray("the previous export"));
        }
        QFile::setPermissions(out(QStringLiteral("locked")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QFile p(pointed);
    QVERIFY(p.open(QIODevice::ReadOnly));
    QCOMPARE(p.readAll(), QByteArray("not ours to overwrite"));
}

void TstExport::besideTargetExists_data() {
    QTest::addColumn<QString>("format");
    for (const char* f : {"csv", "sav", "dta"}) QTest::newRow(f) << QString::fromLatin1(f);
}

void TstExport::besideTargetExists() {
    // A further sheet's file follows the same rule as the target: an earlier table stays unless
    // the export may replace files, and the target is not written either.
    QFETCH(QString, format);
    Format f;
    QVERIFY(exchange::parseFormat(format, &f));
    const QString path = out(QStringLiteral("t.") + format);
    const QString beside = out(QStringLiteral("t_Love.") + format);
    {
        QFile old(beside);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("last year's table");
    }
    auto r = exchange::exportQuestionnaires({f, Layout::Tables, path, false});
    QVERIFY(!r.ok);
    QVERIFY2(r.error.contains(QStringLiteral("已经存在")) && r.error.contains(QStringLiteral("t_Love")),
             qPrintable(r.error));
    QCOMPARE(folder(), QStringList{QFileInfo(beside).fileName()});
    r = exchange::exportQuestionnaires({f, Layout::Tables, path, true});
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.files.size(), 13);
    QVERIFY(QFileInfo(beside).size() > 20);
    QVERIFY(!folder().join(u' ').contains(QLatin1String(".quenvale-")));
}

void TstExport::cancelled_data() { wide_data(); }

void TstExport::cancelled() {
    QFETCH(QString, format);
    Format f;
    QVERIFY(exchange::parseFormat(format, &f));
    const QString path = out(QStringLiteral("old.") + format);
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("the previous export");
    }
    for (Layout l : {Layout::Wide, Layout::Tables}) {
        int calls = 0;
        const auto r =
            exchange::exportQuestionnaires({f, l, path, true}, [&](qint64, qint64) { return ++calls < 2; });
        QVERIFY(r.cancelled);
        QVERIFY(!r.ok);
        QCOMPARE(folder(), QStringList{QStringLiteral("old.") + format});
        QFile old(path);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("the previous export"));
    }
    // An export that succeeds replaces it when asked to (as the menu does after its question).
    QVERIFY(exchange::exportQuestionnaires({f, Layout::Wide, path, true}).ok);
    QVERIFY(QFileInfo(path).size() > 1000);
}

void TstExport::fileSizeLimit_data() { wide_data(); }

void TstExport::fileSizeLimit() {
    // A full disk: the export runs in a child process whose files may not grow past 4 KB.
    QFETCH(QString, format);
    const QString path = out(QStringLiteral("full.") + format);
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("kept");
    }
    QProcess child;
    child.start(
        QCoreApplication::applicationFilePath(),
        {QStringLiteral("--export-child"), format, path, m_db->file(), m_db->hive(), QStringLiteral("4096")});
    QVERIFY(child.waitForFinished(60000));
    const QString said = QString::fromUtf8(child.readAllStandardOutput());
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QVERIFY2(child.exitCode() == 1, qPrintable(said));
    QVERIFY2(said.contains(QStringLiteral("出错")), qPrintable(said));
    QCOMPARE(folder(), QStringList{QStringLiteral("full.") + format});
    QFile old(path);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("kept"));
}

void TstExport::oneSnapshot() {
    // A questionnaire stored while the export runs is either wholly in it or wholly absent:
    // every table is read in the one transaction.
    const QString other = QStringLiteral("snapshot-writer");
    bool stored = false;
    const auto r = run(Format::Csv, Layout::Wide, out(QStringLiteral("snap.csv")), [&](qint64 done, qint64) {
        if (done != 0 || stored) return true;
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), other);
        db.setDatabaseName(m_db->file());
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
        if (db.open()) {
            QSqlQuery q(db);
            stored = q.exec(QStringLiteral(
                "insert into BasicInfo values ('000000000000000001','新','','','','1','1','1','1','1','1')"));
            q.exec(QStringLiteral("insert into Special values ('000000000000000001','01','')"));
        }
        return true;
    });
    QSqlDatabase::removeDatabase(other);
    QVERIFY(r.ok);
    QCOMPARE(r.questionnaires, 3);
    QCOMPARE(r.unknownRows, 0);  // not even its answer row
    QFile f(out(QStringLiteral("snap.csv")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(!f.readAll().contains("000000000000000001"));
}

void TstExport::textsNoFileHolds_data() {
    QTest::addColumn<QString>("format");
    for (const char* f : {"xlsx", "csv", "csv-plain", "sav", "dta"})
        QTest::newRow(f) << QString::fromLatin1(f);
}

void TstExport::textsNoFileHolds() {
    // Texts another program stored: a NUL (once cut the cell silently), bytes that are no UTF-8,
    // U+FFFF (once made the whole workbook unreadable), a control character, and what Excel
    // would decode as an escape. Each shows as typed or, where no file can hold it, visibly and
    // named in the closing message; none cuts or loses the rest.
    QFETCH(QString, format);
    const QString id = QStringLiteral("330101199901011234");
    const QString nul = QStringLiteral("前") + QChar(0) + QStringLiteral("后");
    const QString ffff = QStringLiteral("非") + QChar(0xFFFF) + QStringLiteral("字");
    const QString escapes = QStringLiteral("_x0041_ 与 _x0041_x0042_ 和 _x005F_");
    const QString control = QStringLiteral("响") + QChar(7) + QStringLiteral("铃");
    // The work unit holds bytes that are no UTF-8 (a surrogate as CESU-8 writes it).
    m_db->exec(
        QStringLiteral("insert into BasicInfo values (?, ?, ?, cast(x'E58D8AEDA080E4B8AA' as text), ?, "
                       "'1', '1', '1', '1', '1', '1')"),
        {id, nul, escapes, ffff});
    m_db->exec(QStringLiteral("insert into Love (ID, Code, Name) values (?, '99', ?)"), {id, control});
    Format f;
    QVERIFY(exchange::parseFormat(format, &f));
    const QString path = out(QStringLiteral("odd.") + exchange::extension(f));
    const auto r = run(f, Layout::Wide, path);
    QVERIFY2(r.ok, qPrintable(r.error));
    const QString nulShown = QStringLiteral("前\u2400后");
    const QStringList want = {id, nulShown, escapes, QStringLiteral("半\uFFFD\uFFFD\uFFFD个"),
                              QStringLiteral("非\uFFFD字")};
    int replaced = 0;
    for (const auto& c : r.cuts)
        if (c.why == exchange::Cut::Replaced) {
            QCOMPARE(c.identity, id);
            ++replaced;
        }
    QCOMPARE(replaced, 2);
    QVERIFY2(
        r.summary().contains(QStringLiteral("有 2 段文字含有文件不能保存的字符")) && r.summary().contains(id),
        qPrintable(r.summary()));

    QStringList got;
    QString loveOther;
    const int loveColumn = [] {
        const auto cols = exchange::WideLayout().columns();
        for (int c = 0; c < int(cols.size()); ++c)
            if (cols[c].varName == QLatin1String("love_other")) return c;
        return -1;
    }();
    QVERIFY(loveColumn > 0);
    if (format == QLatin1String("sav")) {
        const auto sav = readback::sav(path);
        QVERIFY(sav.ok);
        for (const auto& row : sav.rows)
            if (row[0].toString() == id) {
                for (int c = 0; c < 5; ++c) got << row[c].toString();
                loveOther = row[loveColumn].toString();
            }
    } else {
        const QJsonObject j =
            readback::python(format == QLatin1String("csv-plain") ? QStringLiteral("csv") : format, path);
        QVERIFY2(!j.isEmpty(), "the file opens");
        const QJsonArray rows = format == QLatin1String("xlsx")
                                    ? j.value("sheets").toArray()[0].toObject().value("rows").toArray()
                                : format == QLatin1String("csv") ? j.value("typed").toArray()
                                                                 : j.value("rows").toArray();
        for (const QJsonValue& v : rows)
            if (v.toArray()[0].toString() == id) {
                for (int c = 0; c < 5; ++c) got << v.toArray()[c].toString();
                loveOther = v.toArray()[loveColumn].toString();
            }
    }
    QCOMPARE(got, want);
    QCOMPARE(loveOther, control);
}

void TstExport::emptyRegister_data() { wide_data(); }

void TstExport::emptyRegister() {
    QFETCH(QString, format);
    for (const QString& t : {"BasicInfo", "Special", "Love", "Team", "Service", "Train", "Reason", "Who",
                             "Type", "Time1", "ReinForce", "Depend", "Channel"})
        m_db->exec(QStringLiteral("delete from %1").arg(t));
    Format f;
    QVERIFY(exchange::parseFormat(format, &f));
    const QString path = out(QStringLiteral("empty.") + format);
    const auto r = run(f, Layout::Wide, path);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.questionnaires, 0);
    QVERIFY(QFileInfo(path).size() > 0);
    if (format == QLatin1String("sav"))
        QVERIFY(readback::sav(path).ok);
    else
        QVERIFY(!readback::python(format, path).isEmpty());
}

// The child of fileSizeLimit: export under a file-size limit and say how it went.
static int exportChild(int argc, char** argv) {
    if (argc < 7) return 2;
    struct rlimit limit = {rlim_t(std::atoll(argv[6])), rlim_t(std::atoll(argv[6]))};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
    QCoreApplication app(argc, argv);
    TDM dm(nullptr, QString::fromLocal8Bit(argv[5]), QString::fromLocal8Bit(argv[4]));
    Format f;
    exchange::parseFormat(QString::fromLatin1(argv[2]), &f);
    const auto r = exchange::exportQuestionnaires({f, Layout::Wide, QString::fromLocal8Bit(argv[3]), true});
    std::printf("%s\n", (r.ok ? r.summary() : r.error).toUtf8().constData());
    return r.ok ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--export-child") == 0) return exportChild(argc, argv);
    QApplication app(argc, argv);
    TstExport test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_export.moc"
