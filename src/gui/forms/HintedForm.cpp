#include "HintedForm.h"

#include "core/questionnaire/Catalogue.h"
#include "gui/forms/QuestionnairePages.h"
#include "gui/ui/StatusPanels.h"

using namespace catalogue;

void HintedForm::showHintsOf(QuestionnairePages* pages, StatusPanels* status) {
    m_hintBar = status;
    pages->setHintsEnabled(true);
    // Each page has its own handler, named in the catalogue.
    connect(pages, &QuestionnairePages::pageEntered, this, [this](int page) {
        QMetaObject::invokeMethod(this, catalogue::pages().at(page).enterHandler, Qt::DirectConnection);
    });
}

void HintedForm::showHint(int page) {
    const Page& p = pages().at(page);
    m_hintBar->setPanelText(0, qs(p.hintTitle));
    m_hintBar->setPanelText(1, qs(p.hintText));
}

void HintedForm::Tab_BasicEnter() { showHint(0); }
void HintedForm::Tab_SpecialEnter() { showHint(1); }
void HintedForm::Tab_LoveEnter() { showHint(2); }
void HintedForm::Tab_TeamEnter() { showHint(3); }
void HintedForm::Tab_ServiceEnter() { showHint(4); }
void HintedForm::Tab_TrainEnter() { showHint(5); }
void HintedForm::Tab_FlagEnter() { showHint(6); }
void HintedForm::Tab_ReasonEnter() { showHint(7); }
void HintedForm::Tab_WhoEnter() { showHint(8); }
void HintedForm::Tab_TypeEnter() { showHint(9); }
void HintedForm::Tab_TimeEnter() { showHint(10); }
void HintedForm::Tab_ReinForceEnter() { showHint(11); }
void HintedForm::Tab_DependEnter() { showHint(12); }
void HintedForm::Tab_ChannelEnter() { showHint(13); }
