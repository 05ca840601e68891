#pragma once

#include <QLabel>
#include <QList>
#include <QStatusBar>

/// A status bar divided into fixed-width text panels; the last one is at least its width and
/// runs on to the right edge.
/// Qt's own temporary messages are not used, so a status tip never hides the panels.
class StatusPanels : public QStatusBar {
    Q_OBJECT
public:
    /// `widths` in pixels; an empty list gives one panel across the whole bar.
    StatusPanels(const QList<int>& widths, QWidget* parent = nullptr);

    void setPanelText(int index, const QString& text);
    QString panelText(int index) const;
    int panelCount() const { return int(m_panels.size()); }
    QLabel* panel(int index) const { return m_panels.value(index); }

protected:
    bool event(QEvent* e) override;

private:
    QList<QLabel*> m_panels;
};
