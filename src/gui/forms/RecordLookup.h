#pragma once

#include <QString>
#include <functional>

#include "core/questionnaire/Answers.h"

class QLineEdit;
class QWidget;
class QuestionnairePages;
class SqlQuery;
class StatusPanels;

/// Finds a stored questionnaire by the identity number in a form's `Edt_ID` and loads it into
/// the form's pages, with the lookup's messages and status texts. Shared by the Query and
/// Edit forms.
class RecordLookup {
public:
    struct Host {
        QWidget* form;
        QLineEdit* idEdit;
        QuestionnairePages* pages;
        StatusPanels* status;
        SqlQuery* query;
        std::function<void()> onSuccess;  ///< runs only after a complete load
        Answers* loaded = nullptr;        ///< gets what a complete load read (the number as stored)
    };

    /// Runs one lookup; true when it reached its end (the success action ran).
    static bool run(const Host& host);

    /// Puts `id` into the host's identity-number field as typed text (the field's length limit
    /// and validator apply, as to a paste) and presses Enter in it, as a clerk would; the
    /// host's own key handling runs the lookup. For forms that start with a number.
    static void typeAndEnter(QLineEdit* idEdit, const QString& id);
};
