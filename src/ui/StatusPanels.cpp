#include "StatusPanels.h"

#include <QEvent>
#include <QFrame>

StatusPanels::StatusPanels(const QList<int>& widths, QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(false);
    const QList<int> w = widths.isEmpty() ? QList<int>{0} : widths;
    for (int i = 0; i < w.size(); ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("panel%1").arg(i));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setTextFormat(Qt::PlainText);
        label->setMargin(1);
        const bool last = i == w.size() - 1;
        if (!last || w.size() > 1) label->setFixedWidth(w[i]);
        if (last && w.size() == 1) {
            addWidget(label, 1);
        } else {
            addWidget(label, 0);
        }
        m_panels.append(label);
    }
}

void StatusPanels::setPanelText(int index, const QString& text) {
    if (auto* p = m_panels.value(index)) p->setText(text);
}

QString StatusPanels::panelText(int index) const {
    auto* p = m_panels.value(index);
    return p ? p->text() : QString();
}

bool StatusPanels::event(QEvent* e) {
    // Status tips of child widgets are routed by the owning window; ignore any that reach us.
    if (e->type() == QEvent::StatusTip) return true;
    return QStatusBar::event(e);
}
