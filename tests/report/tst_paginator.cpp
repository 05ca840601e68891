#include <QImage>
#include <QPainter>
#include <QtTest>

#include "core/report/Fonts.h"
#include "core/report/PagePainter.h"
#include "core/report/Paginator.h"

using namespace report;

namespace {

// Rows "row 0", "row 1", ... in the field "text".
class FakeRows : public RowSource {
public:
    explicit FakeRows(int count) : m_count(count) {}
    void first() override {
        m_row = 0;
        ++firstCalls;
    }
    void next() override { ++m_row; }
    bool eof() const override { return m_row >= m_count; }
    QString displayText(const QString& field) const override {
        return field == QLatin1String("text") ? QStringLiteral("row %1").arg(m_row) : QString();
    }
    int firstCalls = 0;

private:
    int m_count;
    int m_row = 0;
};

// The bottom margin makes exactly 21 detail bands fit on the first page:
// 10 + 10.58 + 15.61 + 10.58 + 21 * 10.58 = 268.95 = 297 - 17.47 - 10.58.
// Later pages start their rows at 10 + 10.58 + 10.58 = 31.16 and hold 22.
constexpr double kFirstRowTop = 46.77;
constexpr double kLaterRowTop = 31.16;
constexpr double kFooterTop = 268.95;
constexpr double kRow = 10.58;

Definition testReport() {
    Definition d;
    d.marginBottom = 17.47;
    Item office;
    office.kind = Item::Kind::Label;
    office.name = QStringLiteral("office");
    office.text = QStringLiteral("Office");
    office.left = 4.23;
    office.top = 4.23;
    office.size = QSizeF(0, 4.5);
    office.autoSize = true;
    Item value;
    value.kind = Item::Kind::Field;
    value.name = QStringLiteral("value");
    value.text = QStringLiteral("text");
    value.left = 6.35;
    value.top = 4.23;
    value.size = QSizeF(51.06, 4.5);
    Item rule;
    rule.kind = Item::Kind::VerticalLine;
    rule.name = QStringLiteral("rule");
    rule.left = 64.29;
    rule.top = -0.79;
    rule.size = QSizeF(0, 10.58);
    d.bands << Band{BandKind::PageHeader, 10.58, NoFrame, {office}}
            << Band{BandKind::Title, 15.61, NoFrame, {}} << Band{BandKind::ColumnHeader, 10.58, FrameAll, {}}
            << Band{BandKind::Detail, kRow, FrameLeft | FrameRight | FrameBottom, {value, rule}}
            << Band{BandKind::PageFooter, 10.58, NoFrame, {}};
    return d;
}

// A page's bands as letters: H header, T title, C column header, D detail, F footer.
QString shape(const PageLayout& page) {
    QString s;
    for (const PlacedBand& b : page.bands) s += QStringLiteral("HTCDF")[int(b.kind)];
    return s;
}

QString expectedShape(bool header, bool title, int rows, bool footer) {
    return QString(header ? "H" : "") + (title ? "T" : "") + "C" + QString(rows, u'D') + (footer ? "F" : "");
}

const LayoutItem* findItem(const PageLayout& page, int band, const QString& name) {
    for (const LayoutItem& item : page.items)
        if (item.band == band && item.name == name) return &item;
    return nullptr;
}

}  // namespace

class TstPaginator : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { fonts::install(); }

    void pages_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QStringList>("shapes");
        const QString first21 = expectedShape(true, true, 21, true);
        QTest::newRow("no rows") << 0 << QStringList{expectedShape(true, true, 0, true)};
        QTest::newRow("one row") << 1 << QStringList{expectedShape(true, true, 1, true)};
        QTest::newRow("row that exactly fits") << 21 << QStringList{first21};
        QTest::newRow("row that does not fit")
            << 22 << QStringList{first21, expectedShape(true, false, 1, true)};
        QTest::newRow("second page full") << 43 << QStringList{first21, expectedShape(true, false, 22, true)};
        QTest::newRow("third page") << 44
                                    << QStringList{first21, expectedShape(true, false, 22, true),
                                                   expectedShape(true, false, 1, true)};
    }
    void pages() {
        QFETCH(int, rows);
        QFETCH(QStringList, shapes);
        const Definition def = testReport();
        FakeRows source(rows);
        const QList<PageLayout> pages = Paginator(def).run(&source);
        QStringList got;
        for (const PageLayout& p : pages) got << shape(p);
        QCOMPARE(got, shapes);

        // Rows in order across pages, each detail band below the one before, on the paper.
        int nextRow = 0;
        for (int p = 0; p < pages.size(); ++p) {
            const PageLayout& page = pages[p];
            QCOMPARE(page.bands.first().rect.top(), 10.0);
            QCOMPARE(page.bands.last().kind, BandKind::PageFooter);
            QVERIFY(qAbs(page.bands.last().rect.top() - kFooterTop) < 1e-9);
            const double rowTop = p == 0 ? kFirstRowTop : kLaterRowTop;
            int onPage = 0;
            for (int b = 0; b < page.bands.size(); ++b) {
                const PlacedBand& band = page.bands[b];
                QCOMPARE(band.rect.left(), 10.0);
                QCOMPARE(band.rect.width(), 190.0);
                if (band.kind != BandKind::Detail) continue;
                QCOMPARE(band.row, nextRow);
                QVERIFY2(qAbs(band.rect.top() - (rowTop + onPage * kRow)) < 1e-9,
                         qPrintable(QStringLiteral("row %1 at %2").arg(band.row).arg(band.rect.top())));
                QVERIFY(band.rect.bottom() <= kFooterTop + 1e-9);
                const LayoutItem* value = findItem(page, b, QStringLiteral("value"));
                QVERIFY(value);
                QCOMPARE(value->text(), QStringLiteral("row %1").arg(nextRow));
                ++nextRow;
                ++onPage;
            }
        }
        QCOMPARE(nextRow, rows);
        QCOMPARE(source.firstCalls, 1);
    }

    void options_data() {
        QTest::addColumn<bool>("headerOnFirst");
        QTest::addColumn<bool>("footerOnLast");
        QTest::addColumn<bool>("printIfEmpty");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QStringList>("shapes");
        QTest::newRow("no header on page one")
            << false << true << true << 23
            << QStringList{expectedShape(false, true, 22, true), expectedShape(true, false, 1, true)};
        QTest::newRow("no footer on the last page")
            << true << false << true << 22
            << QStringList{expectedShape(true, true, 21, true), expectedShape(true, false, 1, false)};
        QTest::newRow("empty, not printed") << true << true << false << 0 << QStringList{};
        QTest::newRow("not empty, printed")
            << true << true << false << 2 << QStringList{expectedShape(true, true, 2, true)};
    }
    void options() {
        QFETCH(bool, headerOnFirst);
        QFETCH(bool, footerOnLast);
        QFETCH(bool, printIfEmpty);
        QFETCH(int, rows);
        QFETCH(QStringList, shapes);
        Definition def = testReport();
        def.pageHeaderOnFirstPage = headerOnFirst;
        def.pageFooterOnLastPage = footerOnLast;
        def.printIfEmpty = printIfEmpty;
        FakeRows source(rows);
        QStringList got;
        for (const PageLayout& p : Paginator(def).run(&source)) got << shape(p);
        QCOMPARE(got, shapes);
    }

    void itemsInMillimetres() {
        const Definition def = testReport();
        FakeRows source(1);
        const PageLayout page = Paginator(def).run(&source).value(0);
        QCOMPARE(shape(page), QStringLiteral("HTCDF"));

        const LayoutItem* office = findItem(page, 0, QStringLiteral("office"));
        QVERIFY(office);
        QCOMPARE(office->rect.topLeft(), QPointF(14.23, 14.23));
        QCOMPARE(office->rect.height(), 4.5);
        // Sized to its text: a few millimetres for six letters at 10 pt.
        QVERIFY2(office->rect.width() > 8 && office->rect.width() < 16,
                 qPrintable(QString::number(office->rect.width())));

        const LayoutItem* rule = findItem(page, 3, QStringLiteral("rule"));
        QVERIFY(rule);
        QCOMPARE(rule->kind, LayoutItem::Kind::Line);
        QVERIFY(qAbs(rule->line.x1() - 74.29) < 1e-9 && qAbs(rule->line.x2() - 74.29) < 1e-9);
        QVERIFY(qAbs(rule->line.y1() - (kFirstRowTop - 0.79)) < 1e-9);
        QVERIFY(qAbs(rule->line.y2() - (kFirstRowTop - 0.79 + 10.58)) < 1e-9);

        // Frame sides, each its own line: four round the column header, three round a row.
        QStringList headerSides, rowSides;
        for (const LayoutItem& item : page.items) {
            if (!item.name.startsWith(QLatin1String("frame-"))) continue;
            QCOMPARE(item.kind, LayoutItem::Kind::Line);
            QVERIFY(item.penWidth > 0);
            if (item.band == 2) headerSides << item.name;
            if (item.band == 3) {
                rowSides << item.name;
                if (item.name == QLatin1String("frame-bottom")) {
                    QVERIFY(qAbs(item.line.y1() - (kFirstRowTop + kRow)) < 1e-9);
                    QCOMPARE(item.line.x1(), 10.0);
                    QCOMPARE(item.line.x2(), 200.0);
                }
            }
        }
        QCOMPARE(headerSides, (QStringList{"frame-left", "frame-top", "frame-right", "frame-bottom"}));
        QCOMPARE(rowSides, (QStringList{"frame-left", "frame-right", "frame-bottom"}));
    }

    void wrap_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("family");
        QTest::addColumn<double>("width");
        QTest::addColumn<int>("minLines");
        QTest::newRow("fits") << QStringLiteral("short") << QStringLiteral("Arial") << 50.0 << 1;
        QTest::newRow("words") << QStringLiteral("alpha beta gamma delta epsilon zeta")
                               << QStringLiteral("Arial") << 20.0 << 3;
        QTest::newRow("chinese") << QStringLiteral("传播(如编辑、表演)书画及美术设计")
                                 << QStringLiteral("宋体") << 15.0 << 3;
        QTest::newRow("leading blanks")
            << QStringLiteral(" 类              别") << QStringLiteral("Arial") << 46.83 << 1;
    }
    void wrap() {
        QFETCH(QString, text);
        QFETCH(QString, family);
        QFETCH(double, width);
        QFETCH(int, minLines);
        const QFont font(family, 10);
        const QStringList lines = Paginator::wrap(text, font, width);
        QVERIFY2(lines.size() >= minLines, qPrintable(lines.join(u'|')));
        if (minLines == 1) QCOMPARE(lines, QStringList{text});  // blanks kept as they are
        QString joined;
        for (const QString& line : lines) {
            QVERIFY2(Paginator::textWidth(line, font) <= width + 1e-6, qPrintable(line));
            joined += line;
        }
        // Nothing lost but the blanks where lines were broken.
        QCOMPARE(joined.remove(u' '), QString(text).remove(u' '));
    }

    // Lines land where their millimetres say, at any resolution, and never vanish.
    void paint_data() {
        QTest::addColumn<double>("dpi");
        QTest::newRow("30 dpi") << 30.0;
        QTest::newRow("96 dpi") << 96.0;
        QTest::newRow("300 dpi") << 300.0;
    }
    void paint() {
        QFETCH(double, dpi);
        const Definition def = testReport();
        FakeRows source(21);
        const PageLayout page = Paginator(def).run(&source).value(0);
        const double dpm = dpi / 25.4;
        QImage image(qCeil(210 * dpm), qCeil(297 * dpm), QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            PagePainter::paint(painter, page, dpm, dpm);
        }
        // Dark within a pixel of the point, across the line's direction.
        auto dark = [&](double xMm, double yMm, bool vertical) {
            for (int d = -1; d <= 1; ++d) {
                const int x = qBound(0, int(xMm * dpm) + (vertical ? d : 0), image.width() - 1);
                const int y = qBound(0, int(yMm * dpm) + (vertical ? 0 : d), image.height() - 1);
                if (qGray(image.pixel(x, y)) < 128) return true;
            }
            return false;
        };
        // The vertical rule in the middle of the last row, the table's right side, its last rule.
        const double lastRowTop = kFirstRowTop + 20 * kRow;
        QVERIFY(dark(74.29, lastRowTop + 5, true));
        QVERIFY(!dark(70.0, lastRowTop + 5, true));
        QVERIFY(dark(200.0, lastRowTop + 5, true));
        QVERIFY(dark(150.0, lastRowTop + kRow, false));
        QVERIFY(!dark(150.0, lastRowTop + kRow + 3, false));
    }

    // Text lands in its millimetre box on a device whose pixels are not square: the baseline
    // follows the vertical resolution, the start of the line the horizontal one.
    void textOnNonSquarePixels_data() {
        QTest::addColumn<double>("dpiX");
        QTest::addColumn<double>("dpiY");
        QTest::newRow("wide pixels") << 100.0 << 300.0;
        QTest::newRow("tall pixels") << 300.0 << 100.0;
    }
    void textOnNonSquarePixels() {
        QFETCH(double, dpiX);
        QFETCH(double, dpiY);
        FakeRows source(1);
        const PageLayout page = Paginator(testReport()).run(&source).value(0);
        const LayoutItem* office = findItem(page, 0, QStringLiteral("office"));
        QVERIFY(office);
        QCOMPARE(office->text(), QStringLiteral("Office"));  // no descenders: the ink ends on the baseline

        const double dpmX = dpiX / 25.4, dpmY = dpiY / 25.4;
        QImage image(qCeil(210 * dpmX), qCeil(297 * dpmY), QImage::Format_RGB32);
        image.setDotsPerMeterX(qRound(dpiX / 0.0254));
        image.setDotsPerMeterY(qRound(dpiY / 0.0254));
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            PagePainter::paint(painter, page);  // at the image's own resolution
        }

        // The ink of the page header's band, which holds only this label.
        int top = -1, bottom = -1, left = image.width();
        for (int y = 0; y < qFloor(20.58 * dpmY); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) < 128) {
                    if (top < 0) top = y;
                    bottom = y;
                    left = qMin(left, x);
                }
        QVERIFY2(top >= 0, "no text in the page header");
        const auto inMm = [](int px, double dpm) { return QString::number(px / dpm, 'f', 2); };
        const QString where = QStringLiteral("ink from %1 to %2 mm down, from %3 mm across")
                                  .arg(inMm(top, dpmY), inMm(bottom + 1, dpmY), inMm(left, dpmX));
        const QRectF box = office->rect;
        QVERIFY2(top >= box.top() * dpmY - 1 && bottom < box.bottom() * dpmY + 1, qPrintable(where));
        QVERIFY2(qAbs((bottom + 1) / dpmY - (box.top() + office->ascent)) < 0.35, qPrintable(where));
        QVERIFY2((bottom + 1 - top) / dpmY > 1.5, qPrintable(where));  // about a capital's height at 10 pt
        QVERIFY2(qAbs(left / dpmX - box.left()) < 0.6, qPrintable(where));
    }
};

QTEST_MAIN(TstPaginator)
#include "tst_paginator.moc"
