#pragma once

#include <QDialog>

/// Placeholder until the form is built.
class TFrm_Edit : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_Edit(QWidget* parent = nullptr);
};
