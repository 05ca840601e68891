#pragma once

#include <QStringList>
#include <array>
#include <vector>

#include "core/exchange/ExportTypes.h"
#include "core/questionnaire/Catalogue.h"

namespace exchange {

/// A stored value that the wide layout has no place for: it goes to the sheet "未能识别的数据".
struct UnknownRow {
    QString page;  ///< where it belongs, as the clerk knows it ("页三 业余爱好")
    QString identity;
    QString code;
    QString text;
    QString reason;  ///< why it has no place
};

/// The wide layout: one row per questionnaire. Columns: the identity number and the four basic
/// texts; each single-choice group as one column (the option) and its other text; each box of
/// a multiple-choice page as a 0/1 column and the page's other text. Headings come from the
/// catalogue (question, then option). Builds a row from the stored rows of one questionnaire.
class WideLayout {
public:
    WideLayout();

    const std::vector<Column>& columns() const { return m_columns; }
    /// The columns of the "未能识别的数据" sheet: page, identity number, code, text, reason.
    static std::vector<Column> unknownColumns();
    static std::vector<Cell> unknownCells(const UnknownRow& row);

    /// Why a row is on that sheet: no option has its code; its code is empty; no questionnaire
    /// (BasicInfo row) has its identity number; a second "其它" of a page; a text on a box that
    /// takes none.
    static QString noOption();
    static QString noCode();
    static QString noQuestionnaire();
    static QString secondOther();
    static QString textWithoutOther();

    /// Starts the row of a questionnaire from its BasicInfo values (column order, eleven values).
    /// Values that match no option are added to `unknown`.
    void startRow(const QStringList& basic, std::vector<UnknownRow>& unknown);
    /// The box of an answer table's stored code, or -1 when no box has it.
    static int boxOf(catalogue::GroupId table, const QString& code);
    /// Ticks box `box` of an answer table in the current row.
    void tick(catalogue::GroupId table, int box) { m_row[m_first[table] + box].code = 1; }
    /// Sets the other text of an answer table in the current row.
    void setOther(catalogue::GroupId table, const QString& text) { m_row[m_other[table]].text = text; }
    const std::vector<Cell>& row() const { return m_row; }
    const QString& identity() const { return m_identity; }

private:
    void setChoice(catalogue::GroupId g, int box);

    std::vector<Column> m_columns;
    std::array<int, catalogue::GroupCount> m_first{};  // choice column, or first 0/1 column
    std::array<int, catalogue::GroupCount> m_other{};  // other text column, or -1
    std::vector<Cell> m_row;
    QString m_identity;
};

}  // namespace exchange
