#pragma once

#include <QDialog>
#include <QHash>
#include <QList>

class QLineEdit;
class QPushButton;
class QTabWidget;
class QWidget;
class SqlQuery;
class StatusPanels;
namespace total {
struct Page;
}  // namespace total
namespace answercounts {
struct Statement;
}  // namespace answercounts

/// The statistics form "汇总": for every option of the multi-choice pages, how many stored
/// questionnaires ticked it, and how many respondents are or are not willing to take part.
/// Counts are read when the form is created and again on "刷新(&R)"; the form never writes.
class TFrm_Total : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_Total(QWidget* parent = nullptr);

public slots:
    /// The statistics run: first page, every box "0", then the fourteen counts.
    void FormCreate();
    /// The run again, with the hourglass, the button disabled and the status texts.
    void Btn_RefeshClick();
    void Button2Click();

private:
    void buildPage(const total::Page& page);
    void runStatement(SqlQuery& query, const answercounts::Statement& statement);
    void showCounts(int group, const QMap<int, qint64>& counts);

    QTabWidget* PageControl1 = nullptr;
    QPushButton* Btn_Refesh = nullptr;
    QPushButton* Button2 = nullptr;
    StatusPanels* Sb = nullptr;
    QList<QLineEdit*> m_allBoxes;
    // Count boxes per group, in the catalogue's box order.
    QHash<int, QList<QLineEdit*>> m_boxes;
};
