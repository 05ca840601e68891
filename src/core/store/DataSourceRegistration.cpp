#include "DataSourceRegistration.h"

#include "core/store/Registry.h"

namespace registration {

QString sourcesKey() { return QStringLiteral("\\SoftWare\\ODBC\\ODBC.ini\\ODBC Data Sources"); }
QString dataSourceKey() { return QStringLiteral("\\SoftWare\\ODBC\\ODBC.ini\\Velmora"); }
QString engineKey() { return QStringLiteral("\\SoftWare\\ODBC\\ODBC.ini\\Velmora\\Engines\\Jet"); }

void registerDataSource(Registry& r, const QString& dbq) {
    if (r.openKey(sourcesKey())) {
        r.writeString(QStringLiteral("Velmora"), QStringLiteral("SQLite 3 (Qt QSQLITE driver)"));
        r.closeKey();
    }
    if (r.openKey(dataSourceKey())) {
        r.writeString(QStringLiteral("DBQ"), dbq);
        r.writeString(QStringLiteral("Driver"), QLatin1String(kDriverName));
        r.writeInteger(QStringLiteral("DriverID"), 25);
        r.writeString(QStringLiteral("FIL"), QStringLiteral("MS Access;"));
        r.writeInteger(QStringLiteral("SafeTransactions"), 0);
        r.writeString(QStringLiteral("UID"), QString());
        r.closeKey();
    }
    if (r.openKey(engineKey())) {
        r.writeString(QStringLiteral("ImplicitCommitSync"), QString());
        r.writeInteger(QStringLiteral("MaxBufferSize"), 2048);
        r.writeInteger(QStringLiteral("PageTimeout"), 5);
        r.writeInteger(QStringLiteral("Threads"), 3);
        r.writeString(QStringLiteral("UserCommitSync"), QStringLiteral("Yes"));
        r.closeKey();
    }
}

}  // namespace registration
