#pragma once

#include <QDialog>

/// Placeholder until the form is built.
class TFrm_New : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_New(QWidget* parent = nullptr);
};
