#include "IdNumberValidator.h"

QValidator::State IdNumberValidator::validate(QString& input, int&) const {
    if (input.size() > kMaxLength) return Invalid;
    for (qsizetype i = 0; i < input.size(); ++i) {
        const QChar c = input.at(i);
        if (c >= u'0' && c <= u'9') continue;
        if (i == kMaxLength - 1 && (c == u'X' || c == u'x')) {
            input[i] = u'X';
            continue;
        }
        return Invalid;
    }
    return Acceptable;
}
