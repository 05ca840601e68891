#include "StatusPanels.h"

#include <QEvent>
#include <QFrame>

StatusPanels::StatusPanels(const QList<int>& widths, QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(false);
    const QList<int> w = widths.isEmpty() ? QList<int>{0} : widths;
    for (int i = 0; i < w.size(); ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("panel%1").arg(i));
        // One text area across the whole bar has no panel frame of its own.
        label->setFrameStyle(widths.isEmpty() ? QFrame::NoFrame : QFrame::Panel | QFrame::Sunken);
        label->setTextFormat(Qt::PlainText);
        label->setMargin(1);
        // As in the old status bars, the last panel runs on to the right edge.
        const bool last = i == w.size() - 1;
        if (last) {
            label->setMinimumWidth(w[i]);
            addWidget(label, 1);
        } else {
            label->setFixedWidth(w[i]);
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
