#include "ExportTypes.h"

#include <QDir>
#include <QSet>

namespace exchange {

bool parseFormat(const QString& text, Format* out) {
    static const std::pair<const char*, Format> names[] = {{"xlsx", Format::Xlsx},
                                                           {"csv", Format::Csv},
                                                           {"sav", Format::Sav},
                                                           {"dta", Format::Dta},
                                                           {"csv-plain", Format::CsvPlain}};
    for (const auto& [name, format] : names)
        if (text.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) {
            *out = format;
            return true;
        }
    return false;
}

bool parseLayout(const QString& text, Layout* out) {
    if (text.compare(QLatin1String("wide"), Qt::CaseInsensitive) == 0) {
        *out = Layout::Wide;
        return true;
    }
    if (text.compare(QLatin1String("tables"), Qt::CaseInsensitive) == 0) {
        *out = Layout::Tables;
        return true;
    }
    return false;
}

QString extension(Format format) {
    switch (format) {
        case Format::Xlsx:
            return QStringLiteral("xlsx");
        case Format::Csv:
        case Format::CsvPlain:
            return QStringLiteral("csv");
        case Format::Sav:
            return QStringLiteral("sav");
        case Format::Dta:
            return QStringLiteral("dta");
    }
    return QString();
}

QString unknownSheetName() { return QStringLiteral("未能识别的数据"); }

QString ExportResult::summary() const {
    QStringList lines;
    lines << QStringLiteral("已导出 %1 份问卷。").arg(questionnaires);
    for (const QString& f : files) lines << QDir::toNativeSeparators(f);
    if (unknownRows > 0)
        lines
            << QStringLiteral("另有 %1 条未能识别的数据，见“%2”。").arg(unknownRows).arg(unknownSheetName());
    // Each identity number once, in the order met.
    auto identities = [this](Cut::Why why, int* count) {
        QStringList ids;
        QSet<QString> seen;
        *count = 0;
        for (const Cut& c : cuts) {
            if (c.why != why) continue;
            ++*count;
            if (!seen.contains(c.identity)) {
                seen.insert(c.identity);
                ids << c.identity;
            }
        }
        return ids.join(QStringLiteral("、"));
    };
    int n = 0;
    QString ids = identities(Cut::TooLong, &n);
    if (n > 0)
        lines << QStringLiteral(
                     "有 %1 段文字超过了该格式的长度上限，已在此文件中截断（CSV 文件保留全文），"
                     "涉及的身份证号码：%2")
                     .arg(n)
                     .arg(ids);
    ids = identities(Cut::Replaced, &n);
    if (n > 0)
        lines << QStringLiteral(
                     "有 %1 段文字含有文件不能保存的字符，已写成可见的“\u2400”（NUL）或“\uFFFD”，"
                     "涉及的身份证号码：%2")
                     .arg(n)
                     .arg(ids);
    return lines.join(u'\n');
}

}  // namespace exchange
