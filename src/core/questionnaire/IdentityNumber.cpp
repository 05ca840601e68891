#include "IdentityNumber.h"

namespace {

QStringView trimmed(QStringView s) {
    while (!s.isEmpty() && s.front().unicode() <= 32) s = s.mid(1);
    while (!s.isEmpty() && s.back().unicode() <= 32) s.chop(1);
    return s;
}

bool isDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }

bool allDigits(QStringView s) {
    for (QChar c : s)
        if (!isDigit(c)) return false;
    return true;
}

int number(QStringView digits) {
    int n = 0;
    for (QChar c : digits) n = n * 10 + (c.unicode() - u'0');
    return n;
}

// A real day, not before 1900 and not after `today`.
bool possibleBirth(int y, int m, int d, QDate today) {
    if (y < 1900 || !QDate::isValid(y, m, d)) return false;
    return y * 10000 + m * 100 + d <= today.year() * 10000 + today.month() * 100 + today.day();
}

}  // namespace

QChar IdentityNumber::checkCharacter(QStringView first17) {
    static const int weights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    static const char codes[] = "10X98765432";
    int sum = 0;
    for (int i = 0; i < 17; ++i) sum += (first17[i].unicode() - u'0') * weights[i];
    return QLatin1Char(codes[sum % 11]);
}

QString IdentityNumber::toEighteen(QStringView fifteen) {
    QString out;
    out.reserve(18);
    out += fifteen.left(6);
    out += QLatin1String("19");
    out += fifteen.mid(6);
    out += checkCharacter(out);
    return out;
}

IdentityNumber IdentityNumber::judge(QStringView text, QDate today, bool fill18) {
    IdentityNumber r;
    if (text.size() == 18) {
        const QChar last = text[17];
        const bool lastOk = isDigit(last) || last == u'X' || last == u'x';
        if (!lastOk || !allDigits(text.left(17))) return r;  // NotAnId
        if (fill18) {
            r.eighteen = text.toString();
            if (last == u'x') r.eighteen[17] = u'X';
        }
        r.expectedCheck = checkCharacter(text.left(17));
        if (!possibleBirth(number(text.mid(6, 4)), number(text.mid(10, 2)), number(text.mid(12, 2)), today))
            r.verdict = ImpossibleDate;
        else if (r.expectedCheck != (last == u'x' ? QChar(u'X') : last))
            r.verdict = WrongCheck;
        else
            r.verdict = Valid;
        return r;
    }
    if (text.size() == 15 && allDigits(text)) {
        const QString full = toEighteen(text);
        if (fill18) r.eighteen = full;
        if (possibleBirth(1900 + number(text.mid(6, 2)), number(text.mid(8, 2)), number(text.mid(10, 2)),
                          today)) {
            r.verdict = Fifteen;
            r.expectedCheck = full[17];
        } else {
            r.verdict = ImpossibleDate;
        }
        return r;
    }
    return r;  // NotAnId
}

QString IdentityNumber::residentKey(QStringView stored) {
    const QStringView t = trimmed(stored);
    if (t.size() == 15 && allDigits(t)) return toEighteen(t);
    QString key = t.toString();
    if (!key.isEmpty() && key.back() == u'x') key.back() = u'X';
    return key;
}

QStringList IdentityNumber::spellings(QStringView typed) {
    const QString t = trimmed(typed).toString();
    if (t.isEmpty()) return {};
    if (t.back() != u'x' && t.back() != u'X') return {t};
    QString other = t;
    other.back() = t.back() == u'x' ? u'X' : u'x';
    return {t, other};
}
