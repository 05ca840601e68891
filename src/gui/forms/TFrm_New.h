#pragma once

#include <memory>

#include "core/questionnaire/Checks.h"
#include "gui/forms/HintedForm.h"

class KeyPreview;
class QPushButton;
class QuestionnairePages;
class SqlQuery;
class StatusPanels;

/// The New form `Frm_New`: one questionnaire is typed into the fourteen pages, checked by the
/// rules on "确定(&C)" and stored in one run; after a successful store the form empties itself
/// for the next questionnaire. A failed check or a failed store leaves everything typed.
class TFrm_New : public HintedForm {
    Q_OBJECT
public:
    explicit TFrm_New(QWidget* parent = nullptr);
    ~TFrm_New() override;

    QuestionnairePages* PageControl1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    StatusPanels* SB = nullptr;

public slots:
    void FormCreate();
    void FormShow();
    void FormClose();
    void FormKeyDown(int key);
    void Edt_IDKeyPress(int key);
    void Button1Click();
    void Button2Click();

public:
    /// Shows page one, unticks every box and empties every text, `Edt_ID` included.
    void ClearForm();
    /// Number of "1" characters in a choice string.
    static int CountOnes(const QString& choice);

    /// The message for a store run that failed at `table` (0 BasicInfo .. 12 Channel).

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool storeAnswers(const Answers& answers);

    KeyPreview* m_keys = nullptr;
    std::unique_ptr<SqlQuery> m_query;
};
