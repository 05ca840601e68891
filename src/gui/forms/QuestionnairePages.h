#pragma once

#include <QHash>
#include <QTabWidget>

#include "core/questionnaire/Answers.h"
#include "core/questionnaire/Catalogue.h"

class QCheckBox;
class QLineEdit;

/// The fourteen questionnaire pages (`PageControl1`) as one form shows them, generated from
/// the catalogue: check boxes, other text boxes, page one's fields, tab order and page hints.
class QuestionnairePages : public QTabWidget {
    Q_OBJECT
public:
    explicit QuestionnairePages(catalogue::FormKind form, QWidget* parent = nullptr);
    ~QuestionnairePages() override;

    catalogue::FormKind form() const { return m_form; }

    QCheckBox* box(catalogue::GroupId group, int index) const;
    QLineEdit* otherEdit(catalogue::GroupId group) const;
    /// Basic-fact field by index (0 name, 1 address, 2 work unit, 3 phone).
    QLineEdit* basicEdit(int index) const;
    /// `Edt_ID` on page one (New form only), else nullptr.
    QLineEdit* idEdit() const { return m_idEdit; }
    /// Any questionnaire control by object name, or nullptr.
    QWidget* control(const QString& objectName) const { return m_controls.value(objectName); }
    /// Index of the page holding a control, or -1.
    int pageOf(const QWidget* w) const;

    /// Controls of a page in tab order.
    QList<QWidget*> tabOrder(int page) const;

    /// Reads every control into Answers (the id from `Edt_ID` when this page set holds it).
    Answers answers() const;
    /// Writes Answers for a lookup: ticks what is ticked and fills texts that are not empty;
    /// never unticks a box or empties a field.
    void load(const Answers& answers);
    /// Unticks every box and empties every edit box except `Edt_ID`.
    void clearAnswers();

    /// Turns page hints on: `pageEntered` is emitted when the focus enters a page from outside.
    void setHintsEnabled(bool on);

signals:
    void pageEntered(int page);

private:
    void buildPageOne(QWidget* page);
    void buildChoicePage(QWidget* page, int index);
    void onFocusChanged(QWidget* old, QWidget* now);

    catalogue::FormKind m_form;
    QHash<QString, QWidget*> m_controls;
    QLineEdit* m_idEdit = nullptr;
    bool m_hints = false;
};
