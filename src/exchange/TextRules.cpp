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

int compareCodePoints(QStringView a, QStringView b) {
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        ushort x = a[i].unicode(), y = b[i].unicode();
        if (x == y) continue;
        // In UTF-16 the surrogates (D800-DFFF) stand for code points above FFFF: move them
        // above E000-FFFF so that the order is that of the code points, as UTF-8 bytes sort.
        auto key = [](ushort u) { return u >= 0xE000 ? u - 0x800 : (u >= 0xD800 ? u + 0x2000 : u); };
        return key(x) < key(y) ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace textrules
