#include "TextRules.h"

namespace textrules {

namespace {

bool isDigit(QChar c) { return (c >= u'0' && c <= u'9') || (c.unicode() >= 0xFF10 && c.unicode() <= 0xFF19); }

bool isHex(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// "Jan-30", "March 5", "sep/1": month names that spreadsheets read as dates.
bool startsWithMonthDate(QStringView s) {
    static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                          "jul", "aug", "sep", "oct", "nov", "dec"};
    if (s.size() < 5) return false;
    bool month = false;
    for (const char* m : kMonths)
        if (s.left(3).compare(QLatin1String(m), Qt::CaseInsensitive) == 0) month = true;
    if (!month) return false;
    qsizetype i = 3;
    while (i < s.size() && s[i].isLetter() && s[i].unicode() < 128) ++i;
    if (i + 1 >= s.size()) return false;
    const QChar sep = s[i];
    return (sep == u'-' || sep == u'/' || sep == u' ' || sep == u'.') && isDigit(s[i + 1]);
}

}  // namespace

bool looksLikeFormula(const QString& text) {
    if (text.isEmpty()) return false;
    switch (text.front().unicode()) {
        case u'=':
        case u'+':
        case u'-':
        case u'@':
        case u'\t':
        case u'\r':
        case 0xFF1D:  // ＝
        case 0xFF0B:  // ＋
        case 0xFF0D:  // －
        case 0xFF20:  // ＠
            return true;
        default:
            return false;
    }
}

bool looksLikeNumber(const QString& text) {
    QStringView s(text);
    // A spreadsheet passes over blanks before a number.
    while (!s.isEmpty() && (s.front() == u' ' || s.front() == QChar(0xA0))) s = s.mid(1);
    if (s.isEmpty()) return false;
    const QChar c = s.front();
    if (isDigit(c)) return true;
    const bool digitNext = s.size() > 1 && isDigit(s[1]);
    switch (c.unicode()) {
        case u'.':
        case u'(':
        case u'$':
        case 0x00A5:  // ¥
        case 0xFFE5:  // ￥
        case 0x20AC:  // €
        case 0x00A3:  // £
            if (digitNext) return true;
            break;
        default:
            break;
    }
    if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
        s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return true;
    return startsWithMonthDate(s);
}

QString holdable(const QString& text, bool* changed) {
    *changed = false;
    const qsizetype n = text.size();
    const QChar* d = text.constData();
    qsizetype i = 0;
    // Most texts hold nothing to replace: find the first before copying anything.
    for (; i < n; ++i) {
        const char16_t u = d[i].unicode();
        if (u == 0 || u == 0xFFFE || u == 0xFFFF) break;
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(d[i + 1].unicode())) {
            ++i;
            continue;
        }
        if (QChar::isSurrogate(u)) break;
    }
    if (i == n) return text;
    *changed = true;
    QString out = text.left(i);
    out.reserve(n);
    for (; i < n; ++i) {
        const char16_t u = d[i].unicode();
        if (u == 0) {
            out += QChar(0x2400);
        } else if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(d[i + 1].unicode())) {
            out += d[i];
            out += d[++i];
        } else if (QChar::isSurrogate(u) || u == 0xFFFE || u == 0xFFFF) {
            out += QChar(QChar::ReplacementCharacter);
        } else {
            out += d[i];
        }
    }
    return out;
}

QString escapeXlsx(const QString& text) {
    // Every "_" that begins "_xHHHH_" gets "_x005F" before it; overlapping escapes
    // ("_x0041_x0042_") each get their own.
    auto begins = [&text](qsizetype i) {
        if (i + 6 >= text.size() || text[i] != u'_' || text[i + 1] != u'x' || text[i + 6] != u'_')
            return false;
        for (int k = 2; k < 6; ++k)
            if (!isHex(text[i + k])) return false;
        return true;
    };
    qsizetype at = text.indexOf(QLatin1String("_x"));
    while (at >= 0 && !begins(at)) at = text.indexOf(QLatin1String("_x"), at + 1);
    if (at < 0) return text;
    QString out = text.left(at);
    out.reserve(text.size() + 12);
    for (qsizetype i = at; i < text.size(); ++i) {
        if (begins(i)) out += QLatin1String("_x005F");
        out += text[i];
    }
    return out;
}

QString cutToUnits(const QString& text, int units, bool* cut) {
    *cut = text.size() > units;
    if (!*cut) return text;
    int n = units;
    if (text.at(n - 1).isHighSurrogate()) --n;
    return text.left(n);
}

QByteArray cutToBytes(const QByteArray& utf8, int bytes, bool* cut) {
    *cut = utf8.size() > bytes;
    if (!*cut) return utf8;
    int n = bytes;
    // Back off continuation bytes (10xxxxxx) to the start of the character that does not fit.
    while (n > 0 && (uchar(utf8.at(n)) & 0xC0) == 0x80) --n;
    return utf8.left(n);
}

int displayWidth(const QString& text, int cap) {
    int width = 0;
    for (QChar c : text) {
        if (c.isLowSurrogate()) continue;
        const ushort u = c.unicode();
        width +=
            (u >= 0x1100 && (u <= 0x115F || (u >= 0x2E80 && u <= 0xA4CF) || (u >= 0xAC00 && u <= 0xD7A3) ||
                             (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFF00 && u <= 0xFF60) ||
                             (u >= 0xFFE0 && u <= 0xFFE6) || c.isHighSurrogate()))
                ? 2
                : 1;
        if (width >= cap) return cap;
    }
    return width;
}

}  // namespace textrules
