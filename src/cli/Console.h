#pragma once

#include <QString>

/// The console of quenvale-cli: results on stdout, messages on stderr, the terminal's answers.
namespace cli {

/// "quenvale-cli: TEXT" on stderr, always one line (line breaks in TEXT become spaces).
void err(const QString& text);
/// TEXT and a line break on stdout.
void out(const QString& text);
/// TEXT as it is on stderr, without a line break (a question, a progress line).
void say(const QString& text);

/// True when the standard input is a terminal: someone is there to answer.
bool canAsk();
/// Asks `question` on stderr and waits for a line on the standard input. Yes is "是", "y" or
/// "yes" (letter case ignored); any other answer, or none, is no.
bool askYes(const QString& question);

}  // namespace cli
