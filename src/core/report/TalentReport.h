#pragma once

#include <QString>

#include "core/report/ReportDefinition.h"
#include "core/report/RowSource.h"

class SqlQuery;

/// The specialty report (专业及特长人数统计): its statement, its layout, and its rows read from the
/// statement on a query object, as the report form and the command line print it.
namespace talentreport {

/// The statement, three lines: specialty codes and how many answer rows carry each.
QString specialSql();
/// The report's layout: bands, labels, fields and lines in millimetres.
report::Definition specialReport();
/// The text a `Code` value shows ("代码1", "代码2", "其他"; empty for any other).
QString codeText(const QString& code);
/// The calculated field `Name` of a code: its option's caption, at most 50 characters; empty
/// for a code that is no whole number or has no option.
QString nameOf(const QString& code);

/// The report's rows over a query object that holds the statement: the fields `Code`,
/// `icount` and the calculated `Name`. Results are read forward; a second walk runs the
/// statement again. A statement that fails while walking ends the rows read so far.
class Rows : public report::RowSource {
public:
    explicit Rows(SqlQuery& query) : m_query(query) {}

    /// Runs the statement (when it is not open yet). Raises DbError.
    void open();
    /// The calculated field of the current row.
    const QString& name() const { return m_name; }
    /// Computes `name` for the current row from its code (done on every move).
    void calcFields();

    void first() override;
    void next() override;
    bool eof() const override;
    QString displayText(const QString& field) const override;

private:
    SqlQuery& m_query;
    QString m_name;
    bool m_walked = false;  // the query has moved past its first row since it was opened
};

/// Renders the report with the current counts to a PDF file. False, with the reason in `error`
/// (for the user), when the counts cannot be read (nothing is written) or the file cannot be.
bool exportPdf(const QString& file, QString* error = nullptr);

}  // namespace talentreport
