#pragma once

#include <QValidator>

/// Identity numbers: up to 18 characters, digits only, except that the eighteenth may be X
/// (a typed x becomes X). Typing and pasting obey it alike.
class IdNumberValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;

    static constexpr int kMaxLength = 18;
};
