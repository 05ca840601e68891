#include "PagePainter.h"

#include <QPaintDevice>
#include <QPainter>

namespace report {

namespace {

constexpr double kMmPerInch = 25.4;

struct Scale {
    double x;
    double y;
    QPointF point(const QPointF& mm) const { return {mm.x() * x, mm.y() * y}; }
    QRectF rect(const QRectF& mm) const { return QRectF(point(mm.topLeft()), point(mm.bottomRight())); }
};

void paintLine(QPainter& painter, const LayoutItem& item, const Scale& s) {
    // A vertical line takes its width across x, a horizontal one across y.
    const bool vertical = qFuzzyCompare(item.line.x1(), item.line.x2());
    const double width = qMax(1.0, item.penWidth * (vertical ? s.x : s.y));
    QPen pen(Qt::black, width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    painter.setPen(pen);
    painter.drawLine(QLineF(s.point(item.line.p1()), s.point(item.line.p2())));
}

void paintText(QPainter& painter, const LayoutItem& item, const Scale& s) {
    const QRectF box = s.rect(item.rect);
    painter.fillRect(box, Qt::white);
    if (item.lines.isEmpty()) return;

    // Fonts are sized in points of the device; correct for a device whose logical resolution
    // differs from the scale asked for, so text keeps its size in millimetres.
    QFont font = item.font;
    const int deviceDpi = painter.device() ? painter.device()->logicalDpiY() : 72;
    const double wantedDpi = s.y * kMmPerInch;
    if (deviceDpi > 0 && qAbs(wantedDpi - deviceDpi) > 0.01) {
        const double points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 72.0 / deviceDpi;
        font.setPointSizeF(points * wantedDpi / deviceDpi);
    }

    painter.save();
    painter.setClipRect(box, Qt::IntersectClip);
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (int i = 0; i < item.lines.size(); ++i) {
        const double baseline = item.rect.top() + i * item.lineHeight + item.ascent;
        if (baseline - item.ascent > item.rect.bottom()) break;
        painter.drawText(QPointF(item.rect.left() * s.x, baseline * s.y), item.lines[i]);
    }
    painter.restore();
}

}  // namespace

void PagePainter::paint(QPainter& painter, const PageLayout& page, double dotsPerMmX, double dotsPerMmY) {
    const Scale s{dotsPerMmX, dotsPerMmY};
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    for (const LayoutItem& item : page.items) {
        if (item.kind == LayoutItem::Kind::Line)
            paintLine(painter, item, s);
        else
            paintText(painter, item, s);
    }
    painter.restore();
}

void PagePainter::paint(QPainter& painter, const PageLayout& page) {
    const QPaintDevice* device = painter.device();
    const double dpiX = device ? device->logicalDpiX() : 72.0;
    const double dpiY = device ? device->logicalDpiY() : 72.0;
    paint(painter, page, dpiX / kMmPerInch, dpiY / kMmPerInch);
}

}  // namespace report
