#pragma once

#include <QDialog>
#include <functional>

class FindResultsModel;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;
class StatusPanels;

/// The window "查找问卷": finds questionnaires by a part of the name, address, work unit, phone
/// or identity number and opens one in the Query form ("查看") or the Edit form ("修改"), with
/// its identity number already looked up. Typing filters the list after a short pause; an empty
/// field lists the whole register. When the opened form closes, the list is read again.
///
/// Unlike the record forms, this window follows the platform's conventions: Esc closes it and
/// it can be resized.
class TFrm_Find : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_Find(QWidget* parent = nullptr);
    ~TFrm_Find() override;

    /// Pause after the last key before the list is filtered, in milliseconds.
    static constexpr int kTypingPause = 250;

    /// The identity number of the current row; empty when there is none.
    QString currentId() const;

public slots:
    /// Filters the list by the search field now (also done after a pause in typing).
    void Edt_SearchChange();
    /// Opens the current questionnaire in the Query form.
    void Btn_ViewClick();
    /// Opens the current questionnaire in the Edit form.
    void Btn_EditClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    /// Makes the Query or Edit form for an identity number.
    using FormFactory = std::function<QDialog*(QWidget* parent, const QString& id)>;
    /// Runs the form made by `make` for the current questionnaire modally, then reloads the list.
    void open(const FormFactory& make);
    /// Runs the search again; when the current questionnaire is no longer listed, the row
    /// `neighbour` (or the last) becomes current, or the first when `neighbour` is -1.
    void reload(int neighbour);
    void rememberCurrent();
    void restoreCurrent();
    void showCount();
    void updateButtons();
    void reportFailure();

    QLabel* Label1 = nullptr;
    QLineEdit* Edt_Search = nullptr;
    QTableView* Grid_Results = nullptr;
    QPushButton* Btn_View = nullptr;
    QPushButton* Btn_Edit = nullptr;
    QPushButton* Btn_Close = nullptr;
    StatusPanels* SB = nullptr;
    FindResultsModel* m_model = nullptr;
    QTimer* m_typing = nullptr;
    bool m_loaded = false;
    QString m_keepId;      // current before the list was made again
    int m_neighbour = -1;  // the row to make current when m_keepId is gone
};
