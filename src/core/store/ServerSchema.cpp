#include "ServerSchema.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include "core/store/Schema.h"

namespace serverschema {

namespace {

QStringList createStatements() {
    // Table definitions are made from the fixed list of table names, never from user data.
    QStringList out;
    for (const QString& t : schema::tables()) {
        QStringList cols;
        for (const QString& c : schema::columns(t)) {
            const bool key = t == QLatin1String("BasicInfo") && c == QLatin1String("ID");
            cols << c + (key                        ? QStringLiteral(" TEXT NOT NULL PRIMARY KEY")
                         : c == QLatin1String("ID") ? QStringLiteral(" TEXT NOT NULL")
                                                    : QStringLiteral(" TEXT"));
        }
        out << QStringLiteral("CREATE TABLE %1 (%2)").arg(t, cols.join(QStringLiteral(", ")));
    }
    // Index names as the file has them, so that both engines agree.
    for (const QString& t : schema::tables().mid(1)) {
        out << QStringLiteral("CREATE INDEX IF NOT EXISTS IX_%1_ID ON %1 (ID)").arg(t);
        out << QStringLiteral("CREATE INDEX IF NOT EXISTS IX_%1_Code ON %1 (Code)").arg(t);
    }
    out << QStringLiteral("CREATE INDEX IF NOT EXISTS IX_BasicInfo_Flag ON BasicInfo (Flag)");
    return out;
}

}  // namespace

bool missing(QSqlDatabase& db, QStringList* parts, bool* none, QString* error) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    // Unquoted names fold to lower case on the server.
    if (!q.exec(QStringLiteral("select table_name, column_name from information_schema.columns "
                               "where table_schema = current_schema()"))) {
        if (error) *error = q.lastError().text();
        return false;
    }
    QHash<QString, QSet<QString>> present;
    while (q.next()) present[q.value(0).toString()].insert(q.value(1).toString());
    parts->clear();
    int found = 0;
    for (const QString& t : schema::tables()) {
        auto it = present.constFind(t.toLower());
        if (it == present.constEnd()) {
            *parts << QStringLiteral("表 %1").arg(t);
            continue;
        }
        ++found;
        QStringList cols;
        for (const QString& c : schema::columns(t))
            if (!it->contains(c.toLower())) cols << c;
        if (!cols.isEmpty())
            *parts << QStringLiteral("表 %1 的列 %2").arg(t, cols.join(QStringLiteral("、")));
    }
    *none = found == 0;
    return true;
}

bool ensure(QSqlDatabase& db, QString* error) {
    QStringList parts;
    bool none = false;
    if (!missing(db, &parts, &none, error)) return false;
    if (parts.isEmpty()) return true;
    if (!none) {
        if (error)
            *error = QStringLiteral("服务器上的数据库不完整，缺少：%1。未作任何更改。")
                         .arg(parts.join(QStringLiteral("；")));
        return false;
    }
    if (!db.transaction()) {
        if (error) *error = db.lastError().text();
        return false;
    }
    QSqlQuery q(db);
    // Two clerks connecting first at once: the second waits here and then finds the tables.
    bool ok = q.exec(QStringLiteral("select pg_advisory_xact_lock(7150215)"));
    if (ok) ok = missing(db, &parts, &none, error);
    if (ok && none) {
        for (const QString& sql : createStatements()) {
            if (!q.exec(sql)) {
                ok = false;
                if (error) *error = q.lastError().text();
                break;
            }
        }
    } else if (ok && !parts.isEmpty()) {
        ok = false;
        if (error)
            *error = QStringLiteral("服务器上的数据库不完整，缺少：%1。未作任何更改。")
                         .arg(parts.join(QStringLiteral("；")));
    }
    if (ok && !db.commit()) {
        ok = false;
        if (error) *error = db.lastError().text();
    }
    if (!ok) db.rollback();
    return ok;
}

}  // namespace serverschema
