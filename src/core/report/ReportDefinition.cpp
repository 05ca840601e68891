#include "ReportDefinition.h"

namespace report {

const Band* Definition::band(BandKind kind) const {
    for (const Band& b : bands)
        if (b.kind == kind) return &b;
    return nullptr;
}

}  // namespace report
