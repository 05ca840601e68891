#pragma once

#include <QWidget>

#include "report/BandedReport.h"
#include "report/RowSource.h"
#include "store/SqlQuery.h"

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
    static QString specialSql();
    /// The report's layout: bands, labels, fields and lines in millimetres.
    static report::Definition specialReport();

    SqlQuery Qry_Special{QStringLiteral("MyDb")};
    report::BandedReport Rpt_Special;

    /// The calculated field of the current row.
    const QString& Name() const { return m_name; }

    void FormCreate();
    void FormClose();
    /// Computes `Name` for the current row from its code.
    void Qry_SpecialCalcFields();
    /// The display text of a `Code` value.
    static QString Qry_SpecialCodeGetText(const QString& code);

    // The rows of Qry_Special for Rpt_Special.
    void first() override;
    void next() override;
    bool eof() const override;
    QString displayText(const QString& field) const override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void afterMove();

    QWidget* m_host;
    QString m_name;
    bool m_walked = false;  // the query has moved past its first row since it was opened
};
