#pragma once

#include <memory>
#include <optional>

#include "gui/forms/HintedForm.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QKeyEvent;
class QuestionnairePages;
class SqlQuery;
class StatusPanels;

/// The Query-and-delete form: finds a questionnaire by identity number, shows it on the
/// fourteen pages and deletes it from all thirteen tables. Nothing typed or ticked here is
/// ever stored.
class TFrm_Query : public HintedForm {
    Q_OBJECT
public:
    explicit TFrm_Query(QWidget* parent = nullptr);
    ~TFrm_Query() override;

    /// Starts with a questionnaire already looked up: once the form is shown, `id` stands in
    /// Edt_ID and the lookup runs exactly as if the clerk had typed it there and pressed Enter
    /// (same messages, status texts and states). Call after construction, before showing.
    void startWith(const QString& id);

public slots:
    void Button2Click();
    void Btn_QryClick();
    void Btn_DeleteClick();

private slots:
    void FormCreate();
    void FormClose();
    /// Sees each key typed in Edt_ID; true when it was Enter and the lookup ran.
    bool Edt_IDKeyPress(const QKeyEvent* key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label24 = nullptr;
    QLineEdit* Edt_ID = nullptr;
    QPushButton* Btn_Qry = nullptr;
    QPushButton* Btn_Delete = nullptr;
    QPushButton* Button2 = nullptr;
    QuestionnairePages* PageControl1 = nullptr;
    StatusPanels* SB = nullptr;
    std::unique_ptr<SqlQuery> m_query;  // the form's one query object, from creation to closing
    std::optional<QString> m_startId;   // looked up once the form is shown (startWith)
};
