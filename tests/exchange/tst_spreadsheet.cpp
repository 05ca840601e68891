// Every file a clerk opens, opened as a spreadsheet opens it and as a program reads it: a
// register with hostile texts (formulas from another office, a NUL, "_x0041_", numbers with
// leading zeros, a 40,000-character address) exported in every format, its data check's list,
// a merge report and the statistics workbook. LibreOffice (where installed) opens every CSV
// with the options a user picks and every workbook: each identity number and phone is a text,
// digit for digit, no cell is a formula, every text reads as typed. Python's csv module and
// pandas get every text back by the one rule the README gives.
#include <QJsonArray>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>
#include <memory>

#include "ReadBack.h"
#include "TestDb.h"
#include "core/check/ProblemCsv.h"
#include "core/check/RegisterCheck.h"
#include "core/exchange/CsvFile.h"
#include "core/exchange/MergeReport.h"
#include "core/exchange/QuestionnaireExport.h"
#include "core/exchange/RegisterMerge.h"
#include "core/exchange/StatsWorkbook.h"
#include "core/store/SqlQuery.h"
#include "core/store/SurveyStore.h"

using exchange::CsvFile;
using Kind = exchange::CsvFile::Kind;
using Flavour = exchange::CsvFile::Flavour;

namespace {

// The README's rule, written here independently of the writer.
QString asTyped(const QString& f) {
    static const QString marked = QStringLiteral("=+-@'\t\r＝＋－＠");
    if (f.startsWith(u'\t') || (f.size() > 1 && f[0] == u'\'' && marked.contains(f[1]))) return f.mid(1);
    return f;
}

// One field of the file back from its bytes: quotes removed, doubled quotes single.
QString unquoted(const QByteArray& field) {
    QString f = QString::fromUtf8(field);
    if (f.size() >= 2 && f.startsWith(u'"') && f.endsWith(u'"'))
        f = f.mid(1, f.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return f;
}

struct Resident {
    QString id, name, address, workUnit, phone;
};

const QString kNul = QStringLiteral("前") + QChar(0) + QStringLiteral("后");
const QString kNulShown = QStringLiteral("前\u2400后");
const QString kLongAddress = QStringLiteral("3号楼") + QString(40000, QChar(0x957F));

const QList<Resident>& residents() {
    static const QList<Resident> all = {
        {"110105198001011238", "=HYPERLINK(\"http://x\",\"点我\")", kLongAddress, "=cmd|' /C calc'!A0",
         "01012345678"},
        {"11010519800101123X", kNul, "_x0041_", "+86 单位", "13800138000"},
        {"012345678901234567", "@SUM(A1:A9)", "＝1+1", "'=1+1", "0086-10-12345678"},
        {"110105800101123", "张三", "2020-01-02", "TRUE", "1/2"},
    };
    return all;
}

// What a file shows of a stored text: a NUL is written visibly.
QString shown(const QString& stored) { return QString(stored).replace(QChar(0), QChar(0x2400)); }

QStringList sheetRowsAsText(const QJsonArray& rows, int r) {
    QStringList out;
    for (const QJsonValue& v : rows[r].toArray())
        out << (v.isDouble() ? QString::number(v.toDouble()) : v.toString());
    return out;
}

}  // namespace

class TstSpreadsheet : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void fieldRule_data();
    void fieldRule();
    void programsReadEveryText();
    void libreOfficeOpensEveryCsv();
    void libreOfficeOpensEveryWorkbook();

private:
    QString file(const QString& name) const { return m_out.filePath(name); }
    QStringList written(const QString& suffix) const;
    QString soffice() const { return QStandardPaths::findExecutable(QStringLiteral("soffice")); }
    // Converts every `inputs` file with LibreOffice in one run; the converted files' folder.
    QString convert(const QStringList& inputs, const QString& to, const QString& infilter);

    std::unique_ptr<TestDb> m_db;
    QTemporaryDir m_out;
    QTemporaryDir m_profile;
    QTemporaryDir m_converted;
    int m_conversions = 0;
};

void TstSpreadsheet::initTestCase() {
    m_db = std::make_unique<TestDb>();
    {
        SqlQuery q(QStringLiteral("MyDb"));
        SurveyStore store(q);
        for (const Resident& r : residents()) store.store(completeAnswers(r.id));
    }
    // Stored as another program stored them: untrimmed, a NUL, formulas.
    for (const Resident& r : residents())
        m_db->exec(QStringLiteral("update BasicInfo set name=?, Address=?, WorkUnit=?, Phone=? where ID=?"),
                   {r.name, r.address, r.workUnit, r.phone, r.id});
    m_db->exec(QStringLiteral("insert into Special (ID, Code, Name) values (?, '99', '-5')"),
               {residents()[0].id});
    m_db->exec(QStringLiteral("insert into Love (ID, Code, Name) values (?, '99', '１２３')"),
               {residents()[1].id});
    // Values the layout has no place for, and the statistics count nowhere.
    m_db->exec(QStringLiteral("insert into Team (ID, Code) values (?, '=1+1'), (?, '_x0041_'), (?, '007')"),
               {residents()[2].id, residents()[2].id, residents()[2].id});

    using exchange::Format;
    using exchange::Layout;
    const std::tuple<Format, Layout, const char*> exports[] = {
        {Format::Csv, Layout::Wide, "wide.csv"},       {Format::Csv, Layout::Tables, "tables.csv"},
        {Format::CsvPlain, Layout::Wide, "plain.csv"}, {Format::Xlsx, Layout::Wide, "wide.xlsx"},
        {Format::Xlsx, Layout::Tables, "tables.xlsx"},
    };
    for (const auto& [format, layout, name] : exports) {
        const auto r = exchange::exportQuestionnaires({format, layout, file(QString::fromLatin1(name))});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.questionnaires, 4);
    }
    QVERIFY(exchange::exportStatistics(file(QStringLiteral("stats.xlsx"))).ok);

    const CheckResult check = RegisterCheck().run(QDate(2026, 1, 1));
    QVERIFY(!check.problems.isEmpty());
    QString error;
    QVERIFY2(problemcsv::write(check, file(QStringLiteral("check.csv")), &error), qPrintable(error));

    // A merge report as another office's register makes it: their texts, our identity numbers.
    MergePlan plan;
    MergeConflict c;
    c.id = residents()[0].id;
    c.differences = {
        {QStringLiteral("页一"), QStringLiteral("姓名"), residents()[0].name, QStringLiteral("=1+1")},
        {QStringLiteral("页一"), QStringLiteral("联系电话"), residents()[0].phone,
         QStringLiteral("@SUM(1)")}};
    plan.conflicts << c;
    plan.problems << MergeProblem{residents()[2].id, QStringLiteral("=cmd|' /C calc'!A0")};
    QVERIFY2(mergereport::write(plan, file(QStringLiteral("merge.csv")), &error), qPrintable(error));
}

void TstSpreadsheet::cleanupTestCase() {
    m_db.reset();
    qInfo("LibreOffice conversions in this run: %d", m_conversions);
}

QStringList TstSpreadsheet::written(const QString& suffix) const {
    QStringList out;
    for (const QString& n : QDir(m_out.path()).entryList({QStringLiteral("*.") + suffix}, QDir::Files))
        out << file(n);
    return out;
}

QString TstSpreadsheet::convert(const QStringList& inputs, const QString& to, const QString& infilter) {
    const QString dir = m_converted.filePath(QString::number(++m_conversions));
    QDir().mkpath(dir);
    QStringList args = {
        QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(m_profile.path()).toString(),
        QStringLiteral("--headless")};
    if (!infilter.isEmpty()) args << QStringLiteral("--infilter=") + infilter;
    args << QStringLiteral("--convert-to") << to << QStringLiteral("--outdir") << dir << inputs;
    QProcess p;
    p.start(soffice(), args);
    if (!p.waitForFinished(300000)) return QString();
    return dir;
}

void TstSpreadsheet::fieldRule_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("flavour");
    QTest::addColumn<QByteArray>("field");  // as it appears in the file
    QTest::addColumn<bool>("replaced");
    const int text = int(Kind::Text), label = int(Kind::Label), number = int(Kind::Number);
    const int sheet = int(Flavour::Spreadsheet), plain = int(Flavour::Plain);
    // Turned into numbers or dates by a spreadsheet's default import: a tab keeps them text.
    QTest::newRow("identity number") << "110105198001011238" << text << sheet
                                     << QByteArray("\"\t110105198001011238\"") << false;
    QTest::newRow("identity number with X")
        << "11010519800101123X" << text << sheet << QByteArray("\"\t11010519800101123X\"") << false;
    QTest::newRow("phone with a leading 0")
        << "01012345678" << text << sheet << QByteArray("\"\t01012345678\"") << false;
    QTest::newRow("blank before digits") << " 0101" << text << sheet << QByteArray("\"\t 0101\"") << false;
    QTest::newRow("no-break space before digits") << "\u00A00101" << text << sheet
                                                  << QByteArray(
                                                         "\"\t\xC2\xA0"
                                                         "0101\"")
                                                  << false;
    QTest::newRow("full-width digits") << "０１２" << text << sheet << QByteArray("\"\t０１２\"") << false;
    QTest::newRow("a date") << "2020-01-02" << text << sheet << QByteArray("\"\t2020-01-02\"") << false;
    QTest::newRow("a fraction") << "1/2" << text << sheet << QByteArray("\"\t1/2\"") << false;
    QTest::newRow("a time") << "12:30" << text << sheet << QByteArray("\"\t12:30\"") << false;
    QTest::newRow("a percentage") << "12%" << text << sheet << QByteArray("\"\t12%\"") << false;
    QTest::newRow("in brackets") << "(5)" << text << sheet << QByteArray("\"\t(5)\"") << false;
    QTest::newRow("a price") << "$5" << text << sheet << QByteArray("\"\t$5\"") << false;
    QTest::newRow("a decimal") << ".5" << text << sheet << QByteArray("\"\t.5\"") << false;
    QTest::newRow("truth value") << "TRUE" << text << sheet << QByteArray("\"\tTRUE\"") << false;
    QTest::newRow("truth value, lower case")
        << "false" << text << sheet << QByteArray("\"\tfalse\"") << false;
    QTest::newRow("a month and day") << "Jan-30" << text << sheet << QByteArray("\"\tJan-30\"") << false;
    QTest::newRow("an address that starts with a number")
        << "3号楼" << text << sheet << QByteArray("\"\t3号楼\"") << false;
    // Run as formulas by a spreadsheet: an apostrophe shows them.
    QTest::newRow("equals") << "=1+1" << text << sheet << QByteArray("'=1+1") << false;
    QTest::newRow("a link") << "=HYPERLINK(\"http://x\",\"点我\")" << text << sheet
                            << QByteArray("\"'=HYPERLINK(\"\"http://x\"\",\"\"点我\"\")\"") << false;
    QTest::newRow("dde") << "=cmd|' /C calc'!A0" << text << sheet << QByteArray("'=cmd|' /C calc'!A0")
                         << false;
    QTest::newRow("plus") << "+86 10" << text << sheet << QByteArray("'+86 10") << false;
    QTest::newRow("minus") << "-5" << text << sheet << QByteArray("'-5") << false;
    QTest::newRow("at") << "@SUM(A1)" << text << sheet << QByteArray("'@SUM(A1)") << false;
    QTest::newRow("tab first") << "\t制表" << text << sheet << QByteArray("\"'\t制表\"") << false;
    QTest::newRow("carriage return first") << "\r回车" << text << sheet << QByteArray("\"'\r回车\"") << false;
    QTest::newRow("full-width equals") << "＝1+1" << text << sheet << QByteArray("'＝1+1") << false;
    QTest::newRow("full-width plus") << "＋1" << text << sheet << QByteArray("'＋1") << false;
    QTest::newRow("full-width minus") << "－1" << text << sheet << QByteArray("'－1") << false;
    QTest::newRow("full-width at") << "＠x" << text << sheet << QByteArray("'＠x") << false;
    // An apostrophe of the text itself stays readable by the rule.
    QTest::newRow("apostrophe before equals") << "'=1" << text << sheet << QByteArray("''=1") << false;
    QTest::newRow("two apostrophes") << "''" << text << sheet << QByteArray("'''") << false;
    QTest::newRow("apostrophe before a letter") << "'s" << text << sheet << QByteArray("'s") << false;
    QTest::newRow("one apostrophe") << "'" << text << sheet << QByteArray("'") << false;
    QTest::newRow("apostrophe before digits") << "'0101" << text << sheet << QByteArray("'0101") << false;
    // Everything else as it is, quoted as RFC 4180 says.
    QTest::newRow("a name") << "张三" << text << sheet << QByteArray("张三") << false;
    QTest::newRow("a number inside") << "第3号" << text << sheet << QByteArray("第3号") << false;
    QTest::newRow("a comma") << "a,b" << text << sheet << QByteArray("\"a,b\"") << false;
    QTest::newRow("quotes") << "他说\"好\"" << text << sheet << QByteArray("\"他说\"\"好\"\"\"") << false;
    QTest::newRow("lines") << "一\n二" << text << sheet << QByteArray("\"一\n二\"") << false;
    QTest::newRow("blank at the end") << "x " << text << sheet << QByteArray("\"x \"") << false;
    QTest::newRow("an escape for Excel") << "_x0041_" << text << sheet << QByteArray("_x0041_") << false;
    QTest::newRow("empty") << "" << text << sheet << QByteArray() << false;
    // What no file holds: visible, and said.
    QTest::newRow("NUL") << kNul << text << sheet << QByteArray("前\xE2\x90\x80后") << true;
    QTest::newRow("unpaired surrogate")
        << QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b") << text << sheet
        << QByteArray(
               "a\xEF\xBF\xBD"
               "b")
        << true;
    QTest::newRow("U+FFFF") << QString(QChar(0xFFFF)) << text << sheet << QByteArray("\xEF\xBF\xBD") << true;
    // The program's own texts and numbers are never marked.
    QTest::newRow("an option's caption") << "35岁以下" << label << sheet << QByteArray("35岁以下") << false;
    QTest::newRow("a count") << "12" << number << sheet << QByteArray("12") << false;
    QTest::newRow("not a count after all") << "007" << number << sheet << QByteArray("007") << false;
    QTest::newRow("a negative count") << "-1" << number << sheet << QByteArray("-1") << false;
    // For programs: every text exactly as stored (but what no file holds).
    QTest::newRow("plain: identity number")
        << "01012345678" << text << plain << QByteArray("01012345678") << false;
    QTest::newRow("plain: formula") << "=1+1" << text << plain << QByteArray("=1+1") << false;
    QTest::newRow("plain: tab first") << "\t制表" << text << plain << QByteArray("\"\t制表\"") << false;
    QTest::newRow("plain: comma") << "a,b" << text << plain << QByteArray("\"a,b\"") << false;
    QTest::newRow("plain: NUL") << kNul << text << plain << QByteArray("前\xE2\x90\x80后") << true;
}

void TstSpreadsheet::fieldRule() {
    QFETCH(QString, text);
    QFETCH(int, kind);
    QFETCH(int, flavour);
    QFETCH(QByteArray, field);
    QFETCH(bool, replaced);
    bool wasReplaced = !replaced;
    const QByteArray got = CsvFile::encode(text, Kind(kind), Flavour(flavour), &wasReplaced);
    QCOMPARE(got, field);
    QCOMPARE(wasReplaced, replaced);
    // The one rule gives the text back (where the file could hold it).
    if (Flavour(flavour) == Flavour::Spreadsheet && Kind(kind) == Kind::Text && !replaced)
        QCOMPARE(asTyped(unquoted(got)), text);
}

void TstSpreadsheet::programsReadEveryText() {
    // The wide CSV for spreadsheets, by Python's csv module and by pandas (dtype=str), each
    // with the README's rule; the plain CSV with no rule at all.
    const QStringList heads = {QStringLiteral("身份证号码"), QStringLiteral("姓名"),
                               QStringLiteral("家庭住址"), QStringLiteral("工作单位"),
                               QStringLiteral("联系电话")};
    for (const QString& name : {QStringLiteral("wide.csv"), QStringLiteral("plain.csv")}) {
        const bool plain = name == QLatin1String("plain.csv");
        const QJsonObject j = readback::python(QStringLiteral("csv"), file(name));
        QCOMPARE(j.value("bom").toBool(), !plain);
        const QJsonArray pandas = readback::python(QStringLiteral("pandas-csv"), file(name))
                                      .value(plain ? "rows" : "typed")
                                      .toArray();
        const QJsonArray raw = j.value("rows").toArray();
        const QJsonArray typed = j.value(plain ? "rows" : "typed").toArray();
        QCOMPARE(raw.size(), 1 + residents().size());
        QCOMPARE(pandas.size(), raw.size());
        QCOMPARE(sheetRowsAsText(raw, 0).mid(0, 5), heads);
        for (const Resident& r : residents()) {
            const QStringList want = {r.id, shown(r.name), shown(r.address), shown(r.workUnit),
                                      shown(r.phone)};
            int row = -1;
            for (int i = 1; i < typed.size(); ++i)
                if (typed[i].toArray()[0].toString() == r.id) row = i;
            QVERIFY2(row > 0, qPrintable(name + u' ' + r.id));
            QCOMPARE(sheetRowsAsText(typed, row).mid(0, 5), want);
            QCOMPARE(sheetRowsAsText(pandas, row).mid(0, 5), want);
            // For spreadsheets the identity number and the phone are marked; for programs not.
            QCOMPARE(raw[row].toArray()[0].toString(), plain ? r.id : u'\t' + r.id);
            if (r.phone[0].isDigit())
                QCOMPARE(raw[row].toArray()[4].toString(), plain ? r.phone : u'\t' + r.phone);
        }
    }
    // The data check's list and the merge report: every identity number and text by the rule.
    const QJsonArray check =
        readback::python(QStringLiteral("csv"), file(QStringLiteral("check.csv"))).value("typed").toArray();
    QCOMPARE(sheetRowsAsText(check, 0), (QStringList{"类别", "身份证号码", "姓名", "住址", "说明"}));
    QSet<QString> ids;
    for (const Resident& r : residents()) ids << r.id;
    int named = 0;
    for (int i = 1; i < check.size(); ++i) {
        const QStringList row = sheetRowsAsText(check, i);
        QVERIFY2(ids.contains(row[1]), qPrintable(row.join(u'|')));
        for (const Resident& r : residents())
            if (r.id == row[1]) {
                QCOMPARE(row[2], shown(r.name));
                ++named;
            }
    }
    QVERIFY(named > 0);
    const QJsonArray merge = readback::python(QStringLiteral("pandas-csv"), file(QStringLiteral("merge.csv")))
                                 .value("typed")
                                 .toArray();
    QCOMPARE(sheetRowsAsText(merge, 1), (QStringList{residents()[0].id, "冲突", "页一", "姓名",
                                                     residents()[0].name, "=1+1", "本登记册"}));
    QCOMPARE(sheetRowsAsText(merge, 2).mid(4, 2), (QStringList{residents()[0].phone, "@SUM(1)"}));
    QCOMPARE(sheetRowsAsText(merge, 3),
             (QStringList{residents()[2].id, "不能导入", "", "", "", "=cmd|' /C calc'!A0", ""}));
}

void TstSpreadsheet::libreOfficeOpensEveryCsv() {
    if (soffice().isEmpty()) QSKIP("LibreOffice (soffice) is not installed");
    // One conversion of every CSV, with what a user picks in the import dialog: comma, quote,
    // UTF-8, from line 1; everything else as LibreOffice has it (formulas evaluated).
    const QStringList csvs = written(QStringLiteral("csv"));
    QVERIFY(csvs.size() >= 16);
    const QString dir = convert(csvs, QStringLiteral("xlsx"), QStringLiteral("CSV:44,34,76,1"));
    QVERIFY(!dir.isEmpty());
    int identities = 0, phones = 0, cells = 0;
    for (const QString& csv : csvs) {
        const QString name = QFileInfo(csv).fileName();
        const QString xlsx = dir + u'/' + QFileInfo(csv).completeBaseName() + QStringLiteral(".xlsx");
        QVERIFY2(QFileInfo::exists(xlsx), qPrintable(name));
        const QJsonObject sheet =
            readback::python(QStringLiteral("xlsx-raw"), xlsx).value("sheets").toArray()[0].toObject();
        const QJsonArray rows = sheet.value("rows").toArray();
        const QJsonArray types = sheet.value("types").toArray();
        const QJsonArray fields = readback::python(QStringLiteral("csv"), csv).value("rows").toArray();
        QCOMPARE(rows.size(), fields.size());
        const bool plain = name.startsWith(QLatin1String("plain"));
        for (int r = 0; r < fields.size(); ++r) {
            const QJsonArray f = fields[r].toArray();
            for (int c = 0; c < f.size(); ++c) {
                const QString field = f[c].toString();
                const QJsonValue cell = rows[r].toArray()[c];
                const QString type = types[r].toArray()[c].toString();
                const QString where =
                    QStringLiteral("%1 row %2 column %3: %4").arg(name).arg(r).arg(c).arg(field.left(40));
                if (plain) {
                    // For programs, every text as stored: a spreadsheet turns the identity
                    // numbers into numbers (which is why the menu never writes it).
                    if (field == residents()[0].id) QCOMPARE(type, QStringLiteral("n"));
                    continue;
                }
                QVERIFY2(type != QLatin1String("f"), qPrintable(QStringLiteral("a formula: ") + where));
                if (field.isEmpty()) continue;
                ++cells;
                bool whole = false;
                field.toLongLong(&whole);
                if (whole && (field[0].isDigit() || field[0] == u'-')) {
                    QVERIFY2(type == QLatin1String("n") && cell.toDouble() == field.toDouble(),
                             qPrintable(where));
                    continue;
                }
                // Every text is a text cell that says what the file says (LibreOffice keeps at
                // most 32,767 characters of a cell).
                QVERIFY2(type == QLatin1String("s"),
                         qPrintable(QStringLiteral("not a text cell (%1): ").arg(type) + where));
                QVERIFY2(cell.toString() == field.left(32767),
                         qPrintable(where + QStringLiteral(" shown as ") + cell.toString().left(40)));
                for (const Resident& res : residents()) {
                    if (asTyped(field) == res.id) ++identities;
                    if (asTyped(field) == res.phone && res.phone[0].isDigit()) ++phones;
                }
            }
        }
    }
    // Each questionnaire's number in wide, tables (BasicInfo) and the check's list at least.
    QVERIFY2(identities >= 3 * residents().size(), qPrintable(QString::number(identities)));
    QVERIFY2(phones >= 2 * 4, qPrintable(QString::number(phones)));
    qInfo(
        "LibreOffice read %d text cells of %d CSV files: %d identity numbers and %d phones digit for digit, "
        "no formula",
        cells, int(csvs.size()), identities, phones);
}

void TstSpreadsheet::libreOfficeOpensEveryWorkbook() {
    if (soffice().isEmpty()) QSKIP("LibreOffice (soffice) is not installed");
    // One conversion of every workbook back to CSV (every sheet, the cells' own values): what
    // LibreOffice holds in each text cell must be what the workbook means by it, as Excel
    // decodes it (openpyxl, escapes decoded).
    const QStringList books = written(QStringLiteral("xlsx"));
    QCOMPARE(books.size(), 3);
    const QString dir = convert(
        books,
        QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1"),
        QString());
    QVERIFY(!dir.isEmpty());
    bool sawNul = false, sawEscape = false, sawLong = false;
    for (const QString& book : books) {
        const QJsonArray sheets = readback::python(QStringLiteral("xlsx"), book).value("sheets").toArray();
        for (const QJsonValue& sv : sheets) {
            const QJsonObject s = sv.toObject();
            const QString sheetCsv = dir + u'/' + QFileInfo(book).completeBaseName() + u'-' +
                                     s.value("name").toString() + QStringLiteral(".csv");
            QVERIFY2(QFileInfo::exists(sheetCsv), qPrintable(sheetCsv));
            const QJsonArray seen = readback::python(QStringLiteral("csv"), sheetCsv).value("rows").toArray();
            const QJsonArray rows = s.value("rows").toArray();
            const QJsonArray types = s.value("types").toArray();
            for (int r = 0; r < rows.size(); ++r)
                for (int c = 0; c < rows[r].toArray().size(); ++c) {
                    if (types[r].toArray()[c].toString() != QLatin1String("s")) continue;
                    const QString meant = rows[r].toArray()[c].toString();
                    const QString there = seen[r].toArray()[c].toString();
                    QVERIFY2(there == meant,
                             qPrintable(QStringLiteral("%1 %2 row %3 column %4: %5 shown as %6")
                                            .arg(QFileInfo(book).fileName(), s.value("name").toString())
                                            .arg(r)
                                            .arg(c)
                                            .arg(meant.left(40), there.left(40))));
                    sawNul = sawNul || there == kNulShown;
                    sawEscape = sawEscape || there == QLatin1String("_x0041_");
                    sawLong = sawLong || (there.size() == 32767 && there.startsWith(QStringLiteral("3号楼")));
                }
        }
    }
    QVERIFY(sawNul);     // "前\0后" not cut
    QVERIFY(sawEscape);  // "_x0041_" not shown as "A"
    QVERIFY(sawLong);    // the address as far as a workbook holds it
}

QTEST_MAIN(TstSpreadsheet)
#include "tst_spreadsheet.moc"
