#pragma once

#include <QObject>

class QWidget;

/// Lets a form see every key before its focused control: Return and keypad Enter move the
/// focus to the next control in tab order (the control still receives the key), and Esc is
/// swallowed so that it never closes the form.
class KeyPreview : public QObject {
    Q_OBJECT
public:
    explicit KeyPreview(QWidget* form);

signals:
    /// Emitted for each key press on the form, before the focused control gets it.
    void keyDown(int key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_form;
};
