#pragma once

#include "core/report/PageLayout.h"

class QPainter;

namespace report {

/// Draws one laid-out page. Every coordinate is converted from its own millimetre value
/// (never from a neighbour's rounded one), so pages look alike at every resolution.
class PagePainter {
public:
    /// Paints `page` with the paper's top-left corner at the painter's origin, at `dotsPerMmX`
    /// and `dotsPerMmY` device pixels per millimetre.
    static void paint(QPainter& painter, const PageLayout& page, double dotsPerMmX, double dotsPerMmY);
    /// The same at the resolution of the painter's device.
    static void paint(QPainter& painter, const PageLayout& page);
};

}  // namespace report
