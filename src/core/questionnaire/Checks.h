#pragma once

#include <QString>
#include <optional>

#include "core/questionnaire/Answers.h"
#include "core/questionnaire/Catalogue.h"

/// The rules a questionnaire must pass before it is stored, in the order they are judged.
namespace checks {

/// What the form does after a failed rule's message.
enum class Then { Nothing, ShowPage, Focus };

struct Failure {
    int number;  ///< 1..42
    QString message;
    QString caption;
    Then then;
    int page;         ///< page to show (ShowPage), or the page holding `control` (Focus)
    QString control;  ///< object name to focus (Focus)
};

/// The first rule that `answers` fails on this form, or nothing when all pass. The Edit form
/// skips rule 1 and uses its own texts and captions for twenty rules.
std::optional<Failure> firstFailure(const Answers& answers, catalogue::FormKind form);

/// Number of rules (42).
int ruleCount();

/// The choice string of a single-choice group: "1" per ticked box, "0" per unticked.
QString choiceString(const Answers& answers, catalogue::GroupId group);
/// Number of "1" characters in a choice string.
int CountOnes(const QString& choice);

}  // namespace checks
