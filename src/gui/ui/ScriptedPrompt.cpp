#include "ScriptedPrompt.h"

#include <QGuiApplication>

ScriptedPrompt::ScriptedPrompt() { Prompt::install(this); }

ScriptedPrompt::~ScriptedPrompt() {
    if (&Prompt::current() == this) Prompt::install(nullptr);
}

void ScriptedPrompt::record(Kind kind, const QString& text, const QString& caption) {
    Message m{kind, text, caption, QGuiApplication::overrideCursor() != nullptr,
              m_snapshot ? m_snapshot() : QString()};
    m_messages.append(m);
    if (m_onMessage) m_onMessage(m);
}

void ScriptedPrompt::showInform(QWidget*, const QString& text, const QString& caption) {
    record(Kind::Inform, text, caption);
}

bool ScriptedPrompt::showConfirm(QWidget*, const QString& text, const QString& caption) {
    record(Kind::Confirm, text, caption);
    return m_answers.isEmpty() ? m_fallback : m_answers.takeFirst();
}

void ScriptedPrompt::showFail(QWidget*, const QString& text) { record(Kind::Fail, text, QString()); }

void ScriptedPrompt::answerConfirmations(QList<bool> answers, bool fallback) {
    m_answers = std::move(answers);
    m_fallback = fallback;
}

QStringList ScriptedPrompt::texts() const {
    QStringList out;
    for (const auto& m : m_messages) out << m.text;
    return out;
}
