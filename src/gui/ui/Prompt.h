#pragma once

#include <QString>
#include <memory>

class QWidget;

/// The one way GUI code shows a message box. The real prompt shows Qt message boxes;
/// tests install a ScriptedPrompt that records each message and answers confirmations.
class Prompt {
public:
    virtual ~Prompt() = default;

    /// Information icon, one OK button.
    virtual void showInform(QWidget* parent, const QString& text, const QString& caption) = 0;
    /// Question icon, Yes and No; true for Yes.
    virtual bool showConfirm(QWidget* parent, const QString& text, const QString& caption) = 0;
    /// The standard error box (critical icon) for an error that ended a command.
    virtual void showFail(QWidget* parent, const QString& text) = 0;

    /// The prompt in force; the message-box prompt unless a test installed another.
    static Prompt& current();
    /// Installs a prompt (nullptr restores the message-box prompt). Takes no ownership.
    static void install(Prompt* prompt);
};

void inform(QWidget* parent, const QString& text, const QString& caption);
bool confirm(QWidget* parent, const QString& text, const QString& caption);
void fail(QWidget* parent, const QString& text);
