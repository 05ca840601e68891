// quenvale-cli datasource: which engine the register uses, the embedded file or a server.
#include <QCoreApplication>

#include "cli/CliSupport.h"
#include "cli/CliVerbs.h"
#include "core/store/Connection.h"
#include "core/store/DataModule.h"
#include "core/store/DataSource.h"
#include "core/store/Registry.h"

namespace cli {

const char* const kDataSourceHelp =
    "Usage: quenvale-cli datasource show\n"
    "       quenvale-cli datasource server CONNINFO\n"
    "       quenvale-cli datasource local\n"
    "\n"
    "  show             print the engine in use: \"file PATH\" or \"server CONNINFO\"\n"
    "  server CONNINFO  use the PostgreSQL 15 server named by a libpq connection string,\n"
    "                   e.g. \"host=db.office.lan dbname=register user=clerk sslmode=verify-full\"\n"
    "                   (keyword=value pairs or a postgresql:// URI). The connection is tried\n"
    "                   first; one that fails is not saved. The register's tables are made on\n"
    "                   an empty database.\n"
    "  local            use the embedded database file again (the default)\n"
    "\n"
    "Passwords are never stored: use ~/.pgpass, a service file (service=NAME), peer or trust\n"
    "authentication. A server on another machine should be reached with sslmode=verify-full.\n"
    "The choice takes effect for the next form opened.\n";

int runDataSource(int& argc, char** argv, const QStringList& args) {
    const QString what = args.value(0);
    if (what != QLatin1String("show") && what != QLatin1String("server") && what != QLatin1String("local")) {
        err(QStringLiteral("give show, server CONNINFO or local"));
        return Usage;
    }
    if ((what == QLatin1String("server")) != (args.size() == 2) || args.size() > 2) {
        err(what == QLatin1String("server") ? QStringLiteral("give one connection string")
                                            : QStringLiteral("unexpected argument: %1").arg(args.value(1)));
        return Usage;
    }
    QCoreApplication app(argc, argv);
    try {
        const auto dm = openRegister();
        if (what == QLatin1String("show")) {
            const QString server = datasource::server();
            if (server.isEmpty())
                out(QStringLiteral("file %1").arg(dm->database1().file));
            else
                out(QStringLiteral("server %1").arg(datasource::withoutSecrets(server)));
            return Ok;
        }
        if (what == QLatin1String("local")) {
            datasource::setServer(QString());
            return Ok;
        }
        QString reason;
        const QString conninfo = datasource::normalise(args[1], &reason);
        if (conninfo.isEmpty() || !datasource::test(conninfo, &reason)) {
            err(QStringLiteral("not saved: %1").arg(reason));
            return Failure;
        }
        datasource::setServer(conninfo);
        return Ok;
    } catch (const Registry::WriteError& e) {
        err(QString::fromUtf8(e.what()));
        return Failure;
    }
}

}  // namespace cli
