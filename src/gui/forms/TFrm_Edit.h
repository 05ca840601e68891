#pragma once

#include <QDialog>
#include <memory>
#include <optional>

#include "core/questionnaire/Answers.h"

class KeyPreview;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QuestionnairePages;
class SqlQuery;
class StatusPanels;

/// The form "修改记录": finds a stored questionnaire by its identity number, lets the user
/// change any answer but the number itself, and stores it again in place of the old one.
///
/// States, shown only by which controls are enabled:
/// - Searching (on opening): `Edt_ID` and `Btn_Qry` enabled, `Btn_Save` and `Btn_Cancel` not;
/// - Editing (after a lookup that reached its end): `Btn_Save` and `Btn_Cancel` enabled only;
/// - Ended (after Cancel or a successful save): `Btn_Qry` enabled only.
/// `Edt_ID` is never enabled again once a lookup succeeded, so the questionnaire saved is
/// always the one that was loaded. A lookup that stops early changes no state.
class TFrm_Edit : public QDialog {
    Q_OBJECT
public:
    enum class State { Searching, Editing, Ended };

    explicit TFrm_Edit(QWidget* parent = nullptr);
    ~TFrm_Edit() override;

    /// Starts with a questionnaire already looked up: once the form is shown, `id` stands in
    /// Edt_ID and the lookup runs exactly as if the clerk had typed it there and pressed Enter
    /// (same messages, status texts and states). Call after construction, before showing.
    void startWith(const QString& id);

    /// The state the enabled controls show.
    State state() const;

    /// The questionnaire pages, for callers that look at the answers.
    QuestionnairePages* pages() const { return PageControl1; }

public slots:
    /// Creates the form's query object on "MyDb".
    void FormCreate();
    /// Shows page one and puts the focus into `Edt_ID`.
    void FormShow();
    /// Frees the query object; unsaved changes are dropped without a question.
    void FormClose();
    /// Every key the form sees first; Enter moving the focus on is done by the key preview.
    void FormKeyDown(int key);
    /// Enter typed into `Edt_ID` runs the lookup. Which characters the field takes is its
    /// validator's business, so that pasted text obeys the same rule.
    void Edt_IDKeyPress(int key);
    void Btn_QryClick();
    void Btn_SaveClick();
    void Btn_CancelClick();
    void Button2Click();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int result) override;

private:
    void setState(State state);
    /// Replaces the stored questionnaire unless another clerk changed or deleted it since the
    /// lookup; then asks whether to overwrite. False when nothing was written (still editing).
    bool saveGuarded(const Answers& answers);

    // No DeleteRecord of the form's own: the thirteen deletes are the first half of
    // SurveyStore::replace, run in one transaction with the inserts, so that a save that fails
    // at any statement leaves the stored questionnaire exactly as it was.

    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label24 = nullptr;
    QLineEdit* Edt_ID = nullptr;
    QPushButton* Btn_Qry = nullptr;
    QPushButton* Btn_Save = nullptr;
    QPushButton* Btn_Cancel = nullptr;
    QPushButton* Button2 = nullptr;
    QuestionnairePages* PageControl1 = nullptr;
    StatusPanels* Sb = nullptr;
    KeyPreview* m_keys = nullptr;
    std::unique_ptr<SqlQuery> m_query;
    std::optional<QString> m_startId;  // looked up once the form is shown (startWith)
    // What the lookup read: the save writes only while the stored questionnaire still equals it.
    Answers m_loaded;
};
