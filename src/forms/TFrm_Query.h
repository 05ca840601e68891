#pragma once

#include <QDialog>

/// Placeholder until the form is built.
class TFrm_Query : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_Query(QWidget* parent = nullptr);
};
