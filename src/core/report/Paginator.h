#pragma once

#include <QList>

#include "core/report/PageLayout.h"
#include "core/report/ReportDefinition.h"
#include "core/report/RowSource.h"

namespace report {

/// Lays a report's rows out into pages without painting. Every page carries the page header
/// (on the first page only when the definition says so), then the title on the first page
/// alone, the column header, as many detail bands as fit, one per row in row order, and the
/// page footer at the bottom (on the last page only when the definition says so). Text is
/// measured and wrapped here, once, so every output shows the same lines.
class Paginator {
public:
    explicit Paginator(const Definition& definition);

    /// Walks `rows` from its first row; a null source has no rows. No rows give one page
    /// when the report prints when empty, none otherwise.
    QList<PageLayout> run(RowSource* rows) const;

    /// Width in mm of one line of `text` in `font`.
    static double textWidth(const QString& text, const QFont& font);
    /// `text` broken into lines no wider than `width` mm (words kept whole where they fit).
    static QStringList wrap(const QString& text, const QFont& font, double width);

private:
    void placeBand(PageLayout& page, const Band& band, double top, int row, RowSource* rows) const;
    void addFrame(PageLayout& page, const Band& band, const QRectF& rect) const;

    const Definition& m_def;
};

}  // namespace report
