#pragma once

#include <QDialog>

struct MergePlan;
class QLabel;
class QPushButton;
class QTableWidget;

/// The merge window `Frm_Merge`: what a merge of another register would do (added,
/// identical, conflicts, not importable) before anything is written; each conflict with its
/// differences page by page and its choice (ours or theirs). Accepting it means "merge".
class TFrm_Merge : public QDialog {
    Q_OBJECT
public:
    /// `plan` is shown and its conflicts' choices are set here (not owned).
    TFrm_Merge(QWidget* parent, MergePlan* plan);

    /// Chooses every conflict's questionnaire: theirs or ours.
    void chooseAll(bool theirs);

private:
    void showDifferences(int row);
    void updateChosen();

    MergePlan* m_plan;
    QLabel* Lbl_Summary = nullptr;
    QLabel* Lbl_Chosen = nullptr;
    QTableWidget* Grd_Conflicts = nullptr;
    QTableWidget* Grd_Differences = nullptr;
    QTableWidget* Grd_Problems = nullptr;
    bool m_filling = false;
};
