#pragma once

#include <QFont>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <optional>

/// A banded report as it is designed: paper, margins, options, and its bands with their items.
/// Every length is in millimetres; item positions are relative to their band's left and top.
namespace report {

/// The sides of a band's frame.
enum FrameSide : unsigned {
    NoFrame = 0,
    FrameLeft = 1,
    FrameTop = 2,
    FrameRight = 4,
    FrameBottom = 8,
    FrameAll = FrameLeft | FrameTop | FrameRight | FrameBottom,
};

enum class BandKind { PageHeader, Title, ColumnHeader, Detail, PageFooter };

struct Item {
    enum class Kind {
        Label,         ///< fixed text
        Field,         ///< the display text of a field of the current row
        VerticalLine,  ///< a line down from (left, top), `size.height()` long
    };
    Kind kind = Kind::Label;
    QString name;
    QString text;  ///< label text, or the field name of a data field
    double left = 0;
    double top = 0;
    QSizeF size;                ///< width and height; width ignored when `autoSize`
    bool autoSize = false;      ///< the width follows the text
    std::optional<QFont> font;  ///< the report's default font when unset
};

struct Band {
    BandKind kind = BandKind::Detail;
    double height = 0;
    unsigned frame = NoFrame;  ///< FrameSide bits
    QList<Item> items;
};

struct Definition {
    QString name;
    QSizeF paper{210.0, 297.0};  ///< A4 portrait
    double marginLeft = 10;
    double marginTop = 10;
    double marginRight = 10;
    double marginBottom = 10;
    int columns = 1;
    bool pageHeaderOnFirstPage = true;
    bool pageFooterOnLastPage = true;
    bool printIfEmpty = true;
    QFont font{QStringLiteral("Arial"), 10};
    /// Width of frames and lines; never drawn thinner than one device pixel.
    double penWidth = 0.26;
    QList<Band> bands;

    double bandWidth() const { return (paper.width() - marginLeft - marginRight) / columns; }
    /// The first band of a kind, or nullptr.
    const Band* band(BandKind kind) const;
};

}  // namespace report
