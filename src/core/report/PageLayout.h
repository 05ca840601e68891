#pragma once

#include <QFont>
#include <QLineF>
#include <QList>
#include <QRectF>
#include <QStringList>

#include "core/report/ReportDefinition.h"

/// A report laid out into pages: every band and item with its absolute position on the paper,
/// in millimetres from the paper's top-left corner. Painting only converts these to pixels.
namespace report {

struct PlacedBand {
    BandKind kind;
    QRectF rect;   ///< mm on the paper
    int row = -1;  ///< 0-based row of a detail band, -1 for the others
};

struct LayoutItem {
    enum class Kind { Text, Line };
    Kind kind = Kind::Text;
    QString name;   ///< the item's name; frame sides are "frame-left" and so on
    int band = -1;  ///< index into PageLayout::bands

    // Text: left-justified lines on opaque white, clipped to `rect`.
    QRectF rect;
    QFont font;
    QStringList lines;      ///< already wrapped to the rectangle's width
    double lineHeight = 0;  ///< mm from one line's top to the next
    double ascent = 0;      ///< mm from a line's top to its baseline

    // Line: black, `penWidth` mm wide.
    QLineF line;
    double penWidth = 0;

    QString text() const { return lines.join(u'\n'); }
};

struct PageLayout {
    QSizeF paper;
    QList<PlacedBand> bands;  ///< in print order
    QList<LayoutItem> items;  ///< in paint order
};

}  // namespace report
