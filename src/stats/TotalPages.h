#pragma once

#include <QString>
#include <vector>

#include "questionnaire/Catalogue.h"

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

/// One counting statement. Grouped statements give (code, count) rows for the group's boxes;
/// a single count gives one row whose count belongs to the box of `code`.
struct Statement {
    const char* sql;
    catalogue::GroupId group;
    bool grouped;
    int code;  ///< single counts only
};

const std::vector<Page>& pages();
const std::vector<Statement>& statements();

/// Object name of the count box for box `index` (catalogue box order) of a page.
QString boxName(const Page& page, int index);
/// Caption beside that box: the catalogue caption, or its shorter statistics form.
QString boxCaption(const Page& page, int index);

}  // namespace total
