#pragma once

#include <QDialog>
#include <functional>

#include "core/check/CheckProblem.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

/// The data check window `Frm_Check` "数据检查": the problems the check finds in the register,
/// grouped by kind with their counts, each with identity number, name, address and an
/// explanation; sortable by any column. A row can be opened (through the opener the main
/// window gives) or its identity number copied. The window never changes the register.
class TFrm_Check : public QDialog {
    Q_OBJECT
public:
    /// Opens the questionnaire with this identity number (e.g. in the Query form).
    using Opener = std::function<void(const QString& id)>;

    /// Runs the check on "MyDb" at once.
    explicit TFrm_Check(QWidget* parent = nullptr);

    /// What "打开(&O)" runs; without one, rows can only be copied.
    void setOpener(Opener opener);

    const CheckResult& result() const { return m_result; }

public slots:
    /// Runs the check again (with a cancellable progress window when it takes a while).
    void Btn_RefreshClick();
    /// Opens the selected questionnaire, then checks again: the questionnaire may have changed.
    void Btn_OpenClick();
    /// Puts the selected identity number on the clipboard.
    void Btn_CopyClick();

private:
    void showResult();
    void updateButtons();
    const CheckProblem* selectedProblem() const;
    void showMenu(const QPoint& pos);

    QLabel* Lbl_Summary = nullptr;
    QTreeWidget* Tree_Problems = nullptr;
    QPushButton* Btn_Open = nullptr;
    QPushButton* Btn_Copy = nullptr;
    QPushButton* Btn_Refresh = nullptr;
    QPushButton* Btn_Close = nullptr;
    CheckResult m_result;
    bool m_failed = false;
    Opener m_opener;
};
