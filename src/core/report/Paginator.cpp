#include "Paginator.h"

#include <QFontMetricsF>
#include <QImage>
#include <QTextLayout>

namespace report {

namespace {

constexpr double kMmPerInch = 25.4;
// Text is measured on a fine grid so that hinting at screen sizes does not creep into widths.
constexpr int kMeasureDpi = 1200;
constexpr double kEpsilon = 1e-6;

const QImage& measureDevice() {
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_RGB32);
        const int dotsPerMeter = qRound(kMeasureDpi / kMmPerInch * 1000.0);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        return image;
    }();
    return device;
}

double toMm(double px) { return px * kMmPerInch / kMeasureDpi; }
double toPx(double mm) { return mm * kMeasureDpi / kMmPerInch; }

}  // namespace

Paginator::Paginator(const Definition& definition) : m_def(definition) {}

double Paginator::textWidth(const QString& text, const QFont& font) {
    const QFontMetricsF metrics(font, &measureDevice());
    double widest = 0;
    for (const QString& line : text.split(u'\n')) widest = qMax(widest, metrics.horizontalAdvance(line));
    return toMm(widest);
}

QStringList Paginator::wrap(const QString& text, const QFont& font, double width) {
    QStringList out;
    for (const QString& paragraph : text.split(u'\n')) {
        if (paragraph.isEmpty()) {
            out << QString();
            continue;
        }
        QTextLayout layout(paragraph, font, &measureDevice());
        QTextOption option(Qt::AlignLeft);
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(toPx(width));
            QString piece = paragraph.mid(line.textStart(), line.textLength());
            // The blanks where a line was broken are not printed; leading blanks are.
            if (line.textStart() + line.textLength() < paragraph.size())
                while (piece.endsWith(u' ')) piece.chop(1);
            out << piece;
        }
        layout.endLayout();
    }
    return out;
}

void Paginator::placeBand(PageLayout& page, const Band& band, double top, int row, RowSource* rows) const {
    const double left = m_def.marginLeft;
    const QRectF rect(left, top, m_def.bandWidth(), band.height);
    page.bands.append({band.kind, rect, row});
    const int bandIndex = int(page.bands.size()) - 1;

    for (const Item& item : band.items) {
        LayoutItem out;
        out.name = item.name;
        out.band = bandIndex;
        if (item.kind == Item::Kind::VerticalLine) {
            out.kind = LayoutItem::Kind::Line;
            const double x = left + item.left;
            out.line = QLineF(x, top + item.top, x, top + item.top + item.size.height());
            out.penWidth = m_def.penWidth;
            page.items.append(out);
            continue;
        }
        QString text = item.text;
        if (item.kind == Item::Kind::Field)
            text = rows && !rows->eof() ? rows->displayText(item.text) : QString();
        out.kind = LayoutItem::Kind::Text;
        out.font = item.font.value_or(m_def.font);
        const double width = item.autoSize ? textWidth(text, out.font) : item.size.width();
        out.rect = QRectF(left + item.left, top + item.top, width, item.size.height());
        out.lines = item.autoSize ? text.split(u'\n') : wrap(text, out.font, width);
        const QFontMetricsF metrics(out.font, &measureDevice());
        out.lineHeight = toMm(metrics.lineSpacing());
        out.ascent = toMm(metrics.ascent());
        page.items.append(out);
    }
    addFrame(page, band, rect);
}

void Paginator::addFrame(PageLayout& page, const Band& band, const QRectF& r) const {
    const int bandIndex = int(page.bands.size()) - 1;
    const struct {
        FrameSide side;
        const char* name;
        QLineF line;
    } sides[] = {
        {FrameLeft, "frame-left", QLineF(r.topLeft(), r.bottomLeft())},
        {FrameTop, "frame-top", QLineF(r.topLeft(), r.topRight())},
        {FrameRight, "frame-right", QLineF(r.topRight(), r.bottomRight())},
        {FrameBottom, "frame-bottom", QLineF(r.bottomLeft(), r.bottomRight())},
    };
    for (const auto& s : sides) {
        if (!(band.frame & s.side)) continue;
        LayoutItem out;
        out.kind = LayoutItem::Kind::Line;
        out.name = QString::fromLatin1(s.name);
        out.band = bandIndex;
        out.line = s.line;
        out.penWidth = m_def.penWidth;
        page.items.append(out);
    }
}

QList<PageLayout> Paginator::run(RowSource* rows) const {
    const Band* header = m_def.band(BandKind::PageHeader);
    const Band* title = m_def.band(BandKind::Title);
    const Band* columnHeader = m_def.band(BandKind::ColumnHeader);
    const Band* detail = m_def.band(BandKind::Detail);
    const Band* footer = m_def.band(BandKind::PageFooter);
    const double bottom = m_def.paper.height() - m_def.marginBottom;
    const double footerTop = bottom - (footer ? footer->height : 0.0);

    if (rows) rows->first();
    const bool empty = !rows || rows->eof();
    QList<PageLayout> pages;
    if (empty && !m_def.printIfEmpty) return pages;

    PageLayout page;
    double y = 0;
    int rowsOnPage = 0;
    auto startPage = [&](bool first) {
        page = PageLayout();
        page.paper = m_def.paper;
        y = m_def.marginTop;
        rowsOnPage = 0;
        if (header && (!first || m_def.pageHeaderOnFirstPage)) {
            placeBand(page, *header, y, -1, rows);
            y += header->height;
        }
        if (first && title) {
            placeBand(page, *title, y, -1, rows);
            y += title->height;
        }
        if (columnHeader) {
            placeBand(page, *columnHeader, y, -1, rows);
            y += columnHeader->height;
        }
    };
    auto finishPage = [&](bool last) {
        if (footer && (!last || m_def.pageFooterOnLastPage)) placeBand(page, *footer, footerTop, -1, rows);
        pages.append(page);
    };

    startPage(true);
    if (!empty && detail) {
        for (int row = 0; !rows->eof(); rows->next(), ++row) {
            // A band that does not fit moves to a new page, unless the page has no row yet.
            if (rowsOnPage > 0 && y + detail->height > footerTop + kEpsilon) {
                finishPage(false);
                startPage(false);
            }
            placeBand(page, *detail, y, row, rows);
            y += detail->height;
            ++rowsOnPage;
        }
    }
    finishPage(true);
    return pages;
}

}  // namespace report
