#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

/// The About dialog `Frm_About`: two lines about the program and a button that closes it.
class TFrm_About : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_About(QWidget* parent = nullptr);

public slots:
    void Btn_OkClick();

protected:
    /// Esc does nothing here; the dialog closes only by its button or the close box.
    void keyPressEvent(QKeyEvent* e) override;

private:
    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* Btn_Ok = nullptr;
};
