#pragma once

#include <QString>
#include <vector>

#include "core/questionnaire/Catalogue.h"
#include "core/store/AnswerCounts.h"

/// The fixed make-up of the statistics form: its thirteen pages (one per counted group) and the
/// fourteen counting statements. Captions and option codes come from the catalogue.
namespace total {

struct Page {
    catalogue::GroupId group;
    const char* tab;    ///< tab caption
    const char* sheet;  ///< object name of the page
    const char* heading;
    std::vector<int> rows;  ///< count boxes per row
    const char* boxPrefix;  ///< count boxes are named prefix + number
    bool namedByCode;       ///< number is the option code (willingness) rather than the box position
};

/// One counting statement (the statements themselves belong to the store, which also counts
/// for the statistics workbook).
using Statement = answercounts::Statement;

const std::vector<Page>& pages();
const std::vector<Statement>& statements();

/// Object name of the count box for box `index` (catalogue box order) of a page.
QString boxName(const Page& page, int index);
/// Caption beside that box: the catalogue caption, or its shorter statistics form.
QString boxCaption(const Page& page, int index);

}  // namespace total
