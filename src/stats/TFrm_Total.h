#pragma once

#include <QDialog>

/// Placeholder until the form is built.
class TFrm_Total : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_Total(QWidget* parent = nullptr);
};
