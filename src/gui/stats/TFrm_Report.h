#pragma once

#include <QWidget>

#include "core/report/BandedReport.h"
#include "core/report/RowSource.h"
#include "core/report/TalentReport.h"
#include "core/store/SqlQuery.h"

/// The report form 报表预览和打印. It is never shown: it carries the query `Qry_Special`
/// (specialty codes and how many questionnaires ticked each) and the report `Rpt_Special`
/// laid out over it, for the time of one preview. The form is the report's row source: the
/// fields `Code` and `icount` of the query and the calculated field `Name`.
class TFrm_Report : public QWidget, public report::RowSource {
    Q_OBJECT
public:
    /// Creates the form and runs FormCreate. `host` is the window over which the error box
    /// and the preview appear; it does not own the form.
    explicit TFrm_Report(QWidget* host = nullptr);
    ~TFrm_Report() override;

    /// The query's statement, three lines.
    static QString specialSql() { return talentreport::specialSql(); }
    /// The report's layout: bands, labels, fields and lines in millimetres.
    static report::Definition specialReport() { return talentreport::specialReport(); }

    SqlQuery Qry_Special{QStringLiteral("MyDb")};
    report::BandedReport Rpt_Special;

    /// The calculated field of the current row.
    const QString& Name() const { return m_rows.name(); }

    void FormCreate();
    void FormClose();
    /// Computes `Name` for the current row from its code.
    void Qry_SpecialCalcFields() { m_rows.calcFields(); }
    /// The display text of a `Code` value.
    static QString Qry_SpecialCodeGetText(const QString& code) { return talentreport::codeText(code); }

    // The rows of Qry_Special for Rpt_Special.
    void first() override { m_rows.first(); }
    void next() override { m_rows.next(); }
    bool eof() const override { return m_rows.eof(); }
    QString displayText(const QString& field) const override { return m_rows.displayText(field); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* m_host;
    talentreport::Rows m_rows{Qry_Special};
};

namespace talentreport {
/// The specialty report's preview (menu 专业及特长统计): creates the report form, previews,
/// and destroys it, also after an error. Returns when the preview window has closed.
void preview(QWidget* parent);
}  // namespace talentreport
