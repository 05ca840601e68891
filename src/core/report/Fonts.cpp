#include "Fonts.h"

#include <QGuiApplication>
#include <QFont>
#include <QFontDatabase>

namespace fonts {

void install() {
    const QStringList song = {QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Serif CJK SC"),
                              QStringLiteral("AR PL UMing TW")};
    const QStringList kai = {QStringLiteral("AR PL UKai CN"), QStringLiteral("AR PL UKai TW")};
    const QStringList sans = {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")};
    for (const char* face : {"宋体", "SimSun", "新宋体"})
        QFont::insertSubstitutions(QString::fromUtf8(face), song);
    for (const char* face : {"楷体_GB2312", "楷体", "KaiTi", "KaiTi_GB2312", "华文行楷", "STXingkai"})
        QFont::insertSubstitutions(QString::fromUtf8(face), kai);
    // Arial has no Chinese glyphs: fall back to the Song face for them.
    QFont::insertSubstitutions(QStringLiteral("Arial"), sans + song);
    QFont app(QStringLiteral("宋体"));
    app.setPointSize(9);
    QGuiApplication::setFont(app);
}

}  // namespace fonts
