#pragma once

#include <QDialog>

class QuestionnairePages;
class StatusPanels;

/// A record form whose pages show their hints: when the focus enters a page, that page's
/// handler (`Tab_BasicEnter` ... `Tab_ChannelEnter`) writes the page's title into status
/// panel 0 and its instruction into panel 1.
class HintedForm : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;

public slots:
    void Tab_BasicEnter();
    void Tab_SpecialEnter();
    void Tab_LoveEnter();
    void Tab_TeamEnter();
    void Tab_ServiceEnter();
    void Tab_TrainEnter();
    void Tab_FlagEnter();
    void Tab_ReasonEnter();
    void Tab_WhoEnter();
    void Tab_TypeEnter();
    void Tab_TimeEnter();
    void Tab_ReinForceEnter();
    void Tab_DependEnter();
    void Tab_ChannelEnter();

protected:
    /// Turns the hints on for these pages, written into this status bar.
    void showHintsOf(QuestionnairePages* pages, StatusPanels* status);

private:
    void showHint(int page);

    StatusPanels* m_hintBar = nullptr;
};
