#pragma once

#include <QString>
#include <QStringList>
#include <vector>

/// The fixed questionnaire: its fourteen pages, groups, boxes, option codes, layout rows,
/// tab orders and page hints. Everything that shows or stores a questionnaire reads it here.
namespace catalogue {

/// The three record forms that show the questionnaire pages; they differ in a few names and orders.
enum class FormKind { New = 0, Query = 1, Edit = 2 };

/// The eighteen groups of a questionnaire, in page order.
enum GroupId {
    Age,
    Level,
    Political,
    Duty,
    Position,  // page one, single choice
    Special,
    Love,
    Team,
    Service,
    Train,  // pages two to six
    Flag,   // page seven, single choice
    Reason,
    Who,
    Type,
    Time,
    ReinForce,
    Depend,
    Channel,  // pages eight to fourteen
    GroupCount
};

constexpr int kOtherCode = 99;

struct Box {
    const char* name;          ///< object name of the check box
    const char* caption;       ///< caption on the record forms
    int code;                  ///< option code
    const char* statsCaption;  ///< caption on the statistics form when it differs, else nullptr
};

struct Group {
    GroupId id;
    int page;               ///< 0-based page index
    const char* label;      ///< group label (page one) or question label
    const char* storage;    ///< answer table, or the BasicInfo column
    const char* otherEdit;  ///< object name of the other text box, or nullptr
    bool singleChoice;
    std::vector<int> rows;   ///< boxes per row on the record forms
    std::vector<Box> boxes;  ///< in box order; the other option, if any, last

    bool hasOther() const { return otherEdit != nullptr; }
    int ordinaryCount() const { return int(boxes.size()) - (hasOther() ? 1 : 0); }
    /// Index of the box for an option code, or -1 when no box has that code.
    int boxForCode(int code) const;
    /// True for the twelve groups stored in answer tables.
    bool isAnswerTable() const { return id >= Special && id != Flag; }
};

struct Page {
    const char* caption;       ///< tab caption
    const char* sheet[3];      ///< sheet object name per FormKind
    const char* enterHandler;  ///< name of the page-enter handler
    const char* hintTitle;
    const char* hintText;
};

struct BasicField {
    const char* label;
    const char* name;    ///< edit box object name
    const char* column;  ///< BasicInfo column
};

const std::vector<Page>& pages();
const std::vector<Group>& groups();
const Group& group(GroupId id);
/// The groups on a page, in order.
std::vector<const Group*> groupsOnPage(int page);
/// The twelve answer-table groups in storage order (Special ... Channel).
const std::vector<GroupId>& answerTables();

/// The identity-number field and the four basic-fact fields.
const BasicField& idField();
const std::vector<BasicField>& basicFields();

/// Page one's controls in tab order for a form (Edt_ID included on the New form only).
const QStringList& pageOneTabOrder(FormKind form);
/// The tab order of a page two to fourteen: boxes in box order, the other text box last,
/// except page five on the Query and Edit forms where the text box comes before its box.
QStringList pageTabOrder(int page, FormKind form);

/// Total of check boxes on all pages (175).
int boxCount();

inline QString qs(const char* s) { return QString::fromUtf8(s); }

}  // namespace catalogue
