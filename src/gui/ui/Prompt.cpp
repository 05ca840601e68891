#include "Prompt.h"

#include <QApplication>
#include <QMessageBox>

namespace {

class MessageBoxPrompt final : public Prompt {
public:
    void showInform(QWidget* parent, const QString& text, const QString& caption) override {
        QMessageBox::information(parent, caption, text, QMessageBox::Ok);
    }
    bool showConfirm(QWidget* parent, const QString& text, const QString& caption) override {
        return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    }
    void showFail(QWidget* parent, const QString& text) override {
        // As the standard error box: captioned with the application's name.
        QMessageBox::critical(parent, QApplication::applicationName(), text, QMessageBox::Ok);
    }
};

MessageBoxPrompt g_messageBoxPrompt;
Prompt* g_installed = nullptr;

}  // namespace

Prompt& Prompt::current() { return g_installed ? *g_installed : g_messageBoxPrompt; }

void Prompt::install(Prompt* prompt) { g_installed = prompt; }

void inform(QWidget* parent, const QString& text, const QString& caption) {
    Prompt::current().showInform(parent, text, caption);
}

bool confirm(QWidget* parent, const QString& text, const QString& caption) {
    return Prompt::current().showConfirm(parent, text, caption);
}

void fail(QWidget* parent, const QString& text) { Prompt::current().showFail(parent, text); }
