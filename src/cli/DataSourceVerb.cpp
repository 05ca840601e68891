// quenvale-cli datasource: which engine the register uses, the embedded file or a server.
#include "cli/Console.h"
#include "cli/VerbFrame.h"
#include "cli/Verbs.h"
#include "core/store/DataSource.h"

namespace cli {

namespace {

const char* const kHelp =
    "用法：quenvale-cli datasource show\n"
    "      quenvale-cli datasource server CONNINFO\n"
    "      quenvale-cli datasource local\n"
    "\n"
    "数据源设置：登记册使用本机的数据库文件，还是数据库服务器。\n"
    "\n"
    "  show             输出正在使用的数据库：“file 路径”或“server 连接串”\n"
    "  server CONNINFO  使用 libpq 连接串所指的 PostgreSQL 15 服务器（keyword=value\n"
    "                   的形式，或 postgresql:// URI），例如\n"
    "                   \"host=db.office.lan dbname=register sslmode=verify-full\"\n"
    "                   先试着连接，连接不上就不保存。数据库是空的时，在其中建立登\n"
    "                   记册的数据表。\n"
    "  local            重新使用本机的数据库文件（默认）\n"
    "\n"
    "密码从不保存：请用 ~/.pgpass、服务文件（service=NAME）、peer 或 trust 认证。连接\n"
    "另一台机器上的服务器应使用 sslmode=verify-full。设置从下一个打开的窗口起生效。本\n"
    "机的数据库文件不能使用时，这个命令照样可以换用服务器。\n";

int run(int argc, char** argv) {
    VerbFrame f(argc, argv, kDataSource);
    const QString choices = QStringLiteral("请给出 show、server CONNINFO 或 local");
    if (const auto rc = f.parse(1, 2, choices)) return *rc;
    const QStringList given = f.positional();
    const QString what = given.first();
    if (what != QLatin1String("show") && what != QLatin1String("server") && what != QLatin1String("local"))
        return f.usage(QStringLiteral("没有“%1”这一项，%2").arg(what, choices));
    if (what == QLatin1String("server") && given.size() != 2)
        return f.usage(QStringLiteral("请在 server 后面给出一个连接串 CONNINFO"));
    if (what != QLatin1String("server") && given.size() != 1)
        return f.usage(QStringLiteral("多余的参数“%1”").arg(given.at(1)));
    // Only the registration: a register file that cannot be used must not keep a clerk from
    // pointing the program at a server.
    return f.run(VerbFrame::Use::Registration, QStringLiteral("数据源设置"), [&] {
        if (what == QLatin1String("show")) {
            const QString server = datasource::server();
            if (server.isEmpty())
                out(QStringLiteral("file %1").arg(f.opening().location.file));
            else
                out(QStringLiteral("server %1").arg(datasource::withoutSecrets(server)));
            return int(Ok);
        }
        if (what == QLatin1String("local")) {
            datasource::setServer(QString());
            return int(Ok);
        }
        QString reason;
        const QString conninfo = datasource::normalise(given.at(1), &reason);
        if (conninfo.isEmpty() || !datasource::test(conninfo, &reason))
            return f.fail(QStringLiteral("没有保存：%1").arg(reason));
        datasource::setServer(conninfo);
        return int(Ok);
    });
}

}  // namespace

const Verb kDataSource = {"datasource", "datasource show | server CONNINFO | local", "数据源设置（本机文件或数据库服务器）",
                          kHelp, &run};

}  // namespace cli
