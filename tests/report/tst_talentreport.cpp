#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "TestDb.h"
#include "core/report/Fonts.h"
#include "gui/stats/TFrm_Report.h"
#include "gui/stats/TFrm_Report.h"
#include "gui/ui/ScriptedPrompt.h"

namespace {

using Row = QPair<QString, QString>;  // name, count as printed
using Rows = QList<Row>;
using Stored = QList<QPair<QString, int>>;  // code, how many questionnaires ticked it

// The category names by code, as the printed report must show them.
const QList<QPair<QString, QString>> kNames = {
    {"01", "医疗护理"}, {"02", "法律"},     {"03", "教育"},           {"04", "金融"},
    {"05", "计算机"},   {"06", "电器维修"}, {"07", "体育运动"},       {"08", "音乐"},
    {"09", "科普"},     {"10", "农艺"},     {"11", "书画及美术设计"}, {"12", "政治理论"},
    {"13", "心理咨询"}, {"14", "建筑装潢"}, {"15", "办公室技能"},     {"16", "舞蹈"},
    {"17", "驾驶"},     {"18", "外语"},     {"19", "家政"},           {"20", "传播(如编辑、表演)"},
    {"99", "其它"},
};

int g_id = 0;

// Stores `count` specialty answers with `code`, each for another questionnaire.
void seed(TestDb& db, const QString& code, int count) {
    for (int i = 0; i < count; ++i)
        db.exec(QStringLiteral("insert into Special (ID, Code, Name) values (?, ?, '')"),
                {QStringLiteral("1101011990%08d").arg(++g_id), code});
}

// Every code once more than the one before: "01" once ... "99" 21 times.
void seedAll(TestDb& db) {
    for (int i = 0; i < kNames.size(); ++i) seed(db, kNames[i].first, i + 1);
}

Rows walk(TFrm_Report& form) {
    Rows rows;
    for (form.first(); !form.eof(); form.next())
        rows << Row{form.displayText(QStringLiteral("Name")), form.displayText(QStringLiteral("icount"))};
    return rows;
}

// The report's design, millimetres from each band's left and top edge: per band its kind,
// height and frame, then its items (label text or field name, left, top, width or "auto",
// height, and font where one is given); lines are left, top and length.
const QStringList kDesign = {
    "page header 10.58 frame none",
    "  label Marrowgate街道办事处 4.23 4.23 auto 4.50",
    "title 15.61 frame none",
    "  label 专业及特长人数统计 38.10 4.23 99.75 8.73 font 华文行楷 20",
    "column header 10.58 frame left top right bottom",
    "  label  类              别 8.47 4.23 46.83 4.50",
    "  label 人数 112.18 4.23 auto 4.50",
    "  line 64.29 0.26 9.53",
    "detail 10.58 frame left right bottom",
    "  field Name 6.35 4.23 51.06 4.50",
    "  field icount 110.07 4.23 17.20 4.50",
    "  line 64.29 -0.79 10.58",
    "page footer 10.58 frame none",
};

QString mm(double v) { return QString::number(v, 'f', 2); }

QString kindName(report::BandKind kind) {
    static const char* const names[] = {"page header", "title", "column header", "detail", "page footer"};
    return QString::fromLatin1(names[int(kind)]);
}

QString frameName(unsigned frame) {
    QStringList sides;
    if (frame & report::FrameLeft) sides << "left";
    if (frame & report::FrameTop) sides << "top";
    if (frame & report::FrameRight) sides << "right";
    if (frame & report::FrameBottom) sides << "bottom";
    return sides.isEmpty() ? QStringLiteral("none") : sides.join(u' ');
}

// The design in the words of kDesign.
QStringList describe(const report::Definition& d) {
    using report::Item;
    QStringList out;
    for (const report::Band& band : d.bands) {
        out << kindName(band.kind) + u' ' + mm(band.height) + QStringLiteral(" frame ") +
                   frameName(band.frame);
        for (const Item& item : band.items) {
            if (item.kind == Item::Kind::VerticalLine) {
                out << QStringLiteral("  line %1 %2 %3")
                           .arg(mm(item.left), mm(item.top), mm(item.size.height()));
                continue;
            }
            QString line =
                QStringLiteral("  %1 %2 %3 %4 %5 %6")
                    .arg(item.kind == Item::Kind::Label ? QStringLiteral("label") : QStringLiteral("field"),
                         item.text, mm(item.left), mm(item.top),
                         item.autoSize ? QStringLiteral("auto") : mm(item.size.width()),
                         mm(item.size.height()));
            if (item.font)
                line += QStringLiteral(" font %1 %2").arg(item.font->family()).arg(item.font->pointSizeF());
            out << line;
        }
    }
    return out;
}

QString pdfText(const QString& file) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

}  // namespace

class TstTalentReport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QUENVALE_SKIP_WITHOUT_ENGINE();
        fonts::install();
    }
    void init() { Prompt::install(&m_prompt); }
    void cleanup() {
        Prompt::install(nullptr);
        m_prompt.clear();
    }

    void rows_data() {
        QTest::addColumn<Stored>("stored");
        QTest::addColumn<Rows>("printed");
        QTest::newRow("empty") << Stored{} << Rows{};
        QTest::newRow("01 08 99") << Stored{{"99", 2}, {"08", 1}, {"01", 3}}
                                  << Rows{{"医疗护理", "3"}, {"音乐", "1"}, {"其它", "2"}};
        QTest::newRow("unknown code") << Stored{{"42", 4}, {"02", 1}} << Rows{{"法律", "1"}, {"", "4"}};
        QTest::newRow("not a number")
            << Stored{{"x1", 2}, {"20", 1}} << Rows{{"传播(如编辑、表演)", "1"}, {"", "2"}};
        QTest::newRow("no grouping") << Stored{{"05", 1234}} << Rows{{"计算机", "1234"}};
        Rows all;
        for (int i = 0; i < kNames.size(); ++i) all << Row{kNames[i].second, QString::number(i + 1)};
        Stored every;
        for (int i = 0; i < kNames.size(); ++i) every << qMakePair(kNames[i].first, i + 1);
        QTest::newRow("every code") << every << all;
    }
    void rows() {
        QFETCH(Stored, stored);
        QFETCH(Rows, printed);
        TestDb db;
        for (const auto& [code, count] : stored) seed(db, code, count);
        TFrm_Report form;
        QCOMPARE(form.objectName(), QStringLiteral("Frm_Report"));
        QCOMPARE(walk(form), printed);
        // A second walk runs the statement again and sees the same rows.
        QCOMPARE(walk(form), printed);
        QVERIFY(m_prompt.messages().isEmpty());
    }

    void codeText_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("01") << "01"
                            << "代码1";
        QTest::newRow("02") << "02"
                            << "代码2";
        QTest::newRow("99") << "99"
                            << "其他";
        QTest::newRow("03") << "03"
                            << "";
        QTest::newRow("20") << "20"
                            << "";
        QTest::newRow("not a number") << "ab"
                                      << "";
    }
    void codeText() {
        QFETCH(QString, code);
        QFETCH(QString, text);
        TestDb db;
        seed(db, code, 1);
        TFrm_Report form;
        form.first();
        QVERIFY(!form.eof());
        QCOMPARE(form.displayText(QStringLiteral("Code")), text);
    }

    // Every band and item of the design against the report's millimetres.
    void design() {
        const report::Definition d = TFrm_Report::specialReport();
        QCOMPARE(d.paper, QSizeF(210, 297));
        QCOMPARE(QList<double>({d.marginLeft, d.marginTop, d.marginRight, d.marginBottom}),
                 QList<double>({10, 10, 10, 10}));
        QCOMPARE(d.columns, 1);
        QVERIFY(d.pageHeaderOnFirstPage && d.pageFooterOnLastPage && d.printIfEmpty);
        QCOMPARE(d.font.family(), QStringLiteral("Arial"));
        QCOMPARE(d.font.pointSizeF(), 10.0);
        QCOMPARE(describe(d), kDesign);
    }

    // The laid-out pages put every band and item where the design says, on the paper.
    void laidOut() {
        TestDb db;
        for (int code = 1; code <= 30; ++code)
            seed(db, QStringLiteral("%1").arg(code, 2, 10, QLatin1Char('0')), 1);
        TFrm_Report form;
        const QList<report::PageLayout> pages = form.Rpt_Special.layout();
        QCOMPARE(pages.size(), 2);

        // Paper top margin 10, bands stacked; the footer sits on the bottom margin (297 - 10 - 10.58).
        QStringList bands;
        for (const report::PageLayout& page : pages) {
            QStringList onPage;
            for (const report::PlacedBand& b : page.bands) {
                QCOMPARE(b.rect.left(), 10.0);
                QCOMPARE(b.rect.width(), 190.0);
                onPage << kindName(b.kind) + u' ' + mm(b.rect.top()) + u' ' + mm(b.rect.height());
            }
            bands << onPage.join(QStringLiteral(", "));
        }
        QStringList first{"page header 10.00 10.58", "title 20.58 15.61", "column header 36.19 10.58"};
        for (int i = 0; i < 21; ++i) first << QStringLiteral("detail %1 10.58").arg(mm(46.77 + i * 10.58));
        first << "page footer 276.42 10.58";
        QStringList second{"page header 10.00 10.58", "column header 20.58 10.58"};
        for (int i = 0; i < 9; ++i) second << QStringLiteral("detail %1 10.58").arg(mm(31.16 + i * 10.58));
        second << "page footer 276.42 10.58";
        QCOMPARE(bands, (QStringList{first.join(QStringLiteral(", ")), second.join(QStringLiteral(", "))}));

        // Items, relative to their band again, in the words of kDesign (fields by name, with
        // their text at hand); frames as the band's own edges.
        const report::PageLayout& page = pages[0];
        QStringList seen;
        for (int b = 0; b < page.bands.size(); ++b) {
            const report::PlacedBand& band = page.bands[b];
            if (band.kind == report::BandKind::Detail && band.row > 0) continue;  // one row will do
            QStringList sides;
            const qsizetype bandLine = seen.size();
            seen << kindName(band.kind);
            for (const report::LayoutItem& item : page.items) {
                if (item.band != b) continue;
                const QPointF at = band.rect.topLeft();
                if (item.name.startsWith(QLatin1String("frame-"))) {
                    sides << item.name.mid(6);
                    const QRectF r = band.rect;
                    const QLineF expected = item.name == "frame-left"  ? QLineF(r.topLeft(), r.bottomLeft())
                                            : item.name == "frame-top" ? QLineF(r.topLeft(), r.topRight())
                                            : item.name == "frame-right"
                                                ? QLineF(r.topRight(), r.bottomRight())
                                                : QLineF(r.bottomLeft(), r.bottomRight());
                    QCOMPARE(item.line, expected);
                } else if (item.kind == report::LayoutItem::Kind::Line) {
                    QCOMPARE(item.line.x1(), item.line.x2());
                    seen << QStringLiteral("  line %1 %2 %3")
                                .arg(mm(item.line.x1() - at.x()), mm(item.line.y1() - at.y()),
                                     mm(item.line.length()));
                } else {
                    seen << QStringLiteral("  %1 %2 %3 %4 %5")
                                .arg(item.text(), mm(item.rect.left() - at.x()), mm(item.rect.top() - at.y()),
                                     mm(item.rect.width()), mm(item.rect.height()));
                }
            }
            if (!sides.isEmpty()) seen[bandLine] += u' ' + sides.join(u' ');
        }
        // Labels sized to their text: wider than nothing, narrower than their column.
        const auto autoWidth = [&](const QString& text) {
            for (const report::LayoutItem& item : page.items)
                if (item.text() == text && item.rect.width() > 2 && item.rect.width() < 60)
                    return mm(item.rect.width());
            return QStringLiteral("not sized to its text");
        };
        const QStringList expected = {
            "page header",
            "  Marrowgate街道办事处 4.23 4.23 " + autoWidth("Marrowgate街道办事处") + " 4.50",
            "title",
            "  专业及特长人数统计 38.10 4.23 99.75 8.73",
            "column header left top right bottom",
            "   类              别 8.47 4.23 46.83 4.50",
            "  人数 112.18 4.23 " + autoWidth("人数") + " 4.50",
            "  line 64.29 0.26 9.53",
            "detail left right bottom",
            "  医疗护理 6.35 4.23 51.06 4.50",
            "  1 110.07 4.23 17.20 4.50",
            "  line 64.29 -0.79 10.58",
            "page footer",
        };
        QCOMPARE(seen, expected);
    }

    // The query that cannot be opened: the error box, then the empty report all the same.
    void queryFails() {
        TestDb db(false);
        // An empty server database would get its tables; one lone table makes it unusable.
        if (TestDb::isServer()) db.exec("CREATE TABLE Love (ID TEXT)");
        TFrm_Report form;
        QCOMPARE(m_prompt.messages().size(), 1);
        QCOMPARE(m_prompt.messages()[0].kind, ScriptedPrompt::Kind::Fail);
        QVERIFY(form.eof());
        const QList<report::PageLayout> pages = form.Rpt_Special.layout();
        QCOMPARE(pages.size(), 1);
        QList<report::BandKind> kinds;
        for (const report::PlacedBand& b : pages[0].bands) kinds << b.kind;
        QCOMPARE(kinds,
                 (QList<report::BandKind>{report::BandKind::PageHeader, report::BandKind::Title,
                                          report::BandKind::ColumnHeader, report::BandKind::PageFooter}));
    }

    void pdf() {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext is not installed");
        TestDb db;
        seedAll(db);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("special.pdf"));
        QString error;
        QVERIFY2(talentreport::exportPdf(file, &error), qPrintable(error));
        QString text = pdfText(file);
        QVERIFY(text.contains(QStringLiteral("Marrowgate街道办事处")));
        QVERIFY(text.contains(QStringLiteral("专业及特长人数统计")));
        QVERIFY(text.contains(QStringLiteral("人数")));
        QCOMPARE(text.count(u'\f'), 1);  // one page for 21 rows
        for (int i = 0; i < kNames.size(); ++i) {
            const QRegularExpression row(QRegularExpression::escape(kNames[i].second) +
                                         QStringLiteral("\\s+") + QString::number(i + 1) +
                                         QStringLiteral("\\s*\\n"));
            QVERIFY2(text.contains(row), qPrintable(kNames[i].second));
        }

        // Newly stored questionnaires show in the next rendering.
        seed(db, QStringLiteral("08"), 100);
        seed(db, QStringLiteral("77"), 5);
        QVERIFY(talentreport::exportPdf(file, &error));
        text = pdfText(file);
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("音乐\\s+108\\s*\\n"))));
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("\\n\\s+5\\s*\\n"))));
        QVERIFY(!text.contains(QRegularExpression(QStringLiteral("音乐\\s+8\\s*\\n"))));
    }

    void pdfToUnwritableFile() {
        TestDb db;
        QString error;
        QVERIFY(!talentreport::exportPdf(QStringLiteral("/nonexistent-folder/special.pdf"), &error));
        QVERIFY(!error.isEmpty());
    }

    void preview_data() {
        QTest::addColumn<bool>("databaseMissing");
        QTest::addColumn<int>("failures");
        QTest::newRow("rows") << false << 0;
        QTest::newRow("query fails") << true << 1;
    }
    // The preview opens over its parent, titled, at 100 %, and returns when it is closed;
    // the report form is gone afterwards.
    void preview() {
        QFETCH(bool, databaseMissing);
        QFETCH(int, failures);
        TestDb db(!databaseMissing);
        if (!databaseMissing) seedAll(db);
        if (databaseMissing && TestDb::isServer()) db.exec("CREATE TABLE Love (ID TEXT)");
        QWidget host;
        QString title;
        double zoom = 0;
        int pages = -1;
        QPageSize::PageSizeId paper = QPageSize::Custom;
        bool formAlive = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* dialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            title = dialog->windowTitle();
            if (auto* view = dialog->findChild<QPrintPreviewWidget*>()) {
                zoom = view->zoomFactor();
                pages = view->pageCount();
            }
            paper = dialog->printer()->pageLayout().pageSize().id();
            for (QWidget* w : QApplication::allWidgets())
                if (w->objectName() == QLatin1String("Frm_Report")) formAlive = true;
            dialog->close();
        });
        poll.start(0);
        talentreport::preview(&host);
        poll.stop();
        QCOMPARE(title, QStringLiteral("报表预览和打印"));
        QCOMPARE(zoom, 1.0);
        QCOMPARE(pages, 1);
        QCOMPARE(paper, QPageSize::A4);
        QVERIFY(formAlive);
        QCOMPARE(int(m_prompt.messages().size()), failures);
        for (QWidget* w : QApplication::allWidgets()) QVERIFY(w->objectName() != QLatin1String("Frm_Report"));
    }

private:
    ScriptedPrompt m_prompt;
};

QTEST_MAIN(TstTalentReport)
#include "tst_talentreport.moc"
