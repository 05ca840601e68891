#pragma once

#include <QString>

#include "core/questionnaire/Checks.h"

class QWidget;
class QuestionnairePages;

/// What the New and Edit forms share around checking and storing a questionnaire.
namespace recordforms {

/// The message for a failed statement of a storage run, by table (0 BasicInfo .. 12 Channel).
QString storeFailureMessage(int table);

/// Shows a failed check's message, then the page or focus the check asks for.
void showCheckFailure(QWidget* form, QuestionnairePages* pages, const checks::Failure& failure);

}  // namespace recordforms
