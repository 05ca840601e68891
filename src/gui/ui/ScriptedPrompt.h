#pragma once

#include <QList>
#include <QString>
#include <functional>

#include "gui/ui/Prompt.h"

/// A prompt for headless tests: records every message instead of showing it, answers
/// confirmations from a script, and notes what the screen showed when each box "opened".
class ScriptedPrompt final : public Prompt {
public:
    enum class Kind { Inform, Confirm, Fail };
    struct Message {
        Kind kind;
        QString text;
        QString caption;
        bool busyCursor;   ///< an override cursor was set while the box was up
        QString snapshot;  ///< what the snapshot hook returned at that moment
    };

    ScriptedPrompt();
    ~ScriptedPrompt() override;

    void showInform(QWidget* parent, const QString& text, const QString& caption) override;
    bool showConfirm(QWidget* parent, const QString& text, const QString& caption) override;
    void showFail(QWidget* parent, const QString& text) override;

    /// Answers for the coming confirmations, in order; once used up, confirmations get `fallback`.
    void answerConfirmations(QList<bool> answers, bool fallback = true);
    /// Called when each message opens; its result is kept as Message::snapshot.
    void setSnapshot(std::function<QString()> snapshot) { m_snapshot = std::move(snapshot); }
    /// Called when each message opens, after the snapshot (e.g. to act while a box is up).
    void setOnMessage(std::function<void(const Message&)> hook) { m_onMessage = std::move(hook); }

    const QList<Message>& messages() const { return m_messages; }
    QStringList texts() const;
    void clear() { m_messages.clear(); }

private:
    void record(Kind kind, const QString& text, const QString& caption);

    QList<Message> m_messages;
    QList<bool> m_answers;
    bool m_fallback = true;
    std::function<QString()> m_snapshot;
    std::function<void(const Message&)> m_onMessage;
};
