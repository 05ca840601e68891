#include "TextRules.h"

namespace textrules {

bool looksLikeFormula(const QString& text) {
    if (text.isEmpty()) return false;
    const QChar c = text.front();
    return c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t' || c == u'\r';
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
