#include "Captions.h"

using namespace catalogue;

namespace captions {

namespace {

QString title(const QString& text) {
    QString t = text;
    while (t.endsWith(u'：') || t.endsWith(u':') || t.endsWith(u'？')) t.chop(1);
    return t;
}

}  // namespace

QString ofGroup(GroupId id) {
    const Group& g = group(id);
    const Page& p = pages().at(size_t(g.page));
    return qs(p.caption) + u' ' + title(g.page == 0 ? qs(g.label) : qs(p.hintTitle));
}

QString ofStorage(const QString& name) {
    if (name.compare(QLatin1String("BasicInfo"), Qt::CaseInsensitive) == 0)
        return qs(pages().front().caption) + u' ' + qs(pages().front().hintTitle);
    for (const Group& g : groups())
        if (name.compare(QLatin1String(g.storage), Qt::CaseInsensitive) == 0) return ofGroup(g.id);
    return QString();
}

QString readFailed(const QString& statement) {
    const QString where = ofStorage(statement);
    return where.isEmpty() ? QStringLiteral("读取数据库时出错")
                           : QStringLiteral("读取“%1”的数据时出错").arg(where);
}

}  // namespace captions
