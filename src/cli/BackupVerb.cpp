// quenvale-cli backup: a checked copy of the register's database file.
#include <QFileInfo>

#include "cli/Console.h"
#include "cli/ProgressLine.h"
#include "cli/VerbFrame.h"
#include "cli/Verbs.h"
#include "core/backup/Snapshots.h"
#include "core/exchange/TargetRule.h"

namespace cli {

namespace {

const char* const kHelp =
    "用法：quenvale-cli backup [--out FILE [--force]]\n"
    "\n"
    "备份数据库：做一份一致的副本（SQLite 的在线备份接口，再用 integrity_check 检\n"
    "查），输出副本的路径。\n"
    "\n"
    "  --out FILE   把副本写入 FILE；不给时写入 Data/Backup/MyDB-YYYYMMDD-HHMMSS.db，\n"
    "               并轮换旧的副本（保留最新的 7 天，以及最近 12 个月每月最新的一份；\n"
    "               恢复或合并之前所做的副本保留 30 天）\n"
    "  --force      FILE 已经存在时替换它（符号链接一律不替换）\n";

int run(int argc, char** argv) {
    VerbFrame f(argc, argv, kBackup);
    f.addOption(QStringLiteral("out"), QStringLiteral("FILE"));
    f.addOption(QStringLiteral("force"));
    if (const auto rc = f.parse(0, 0)) return *rc;
    const QString target = f.value(QStringLiteral("out"));
    const bool replace = f.isSet(QStringLiteral("force"));
    if (f.refuseUndecodedPath(target)) return Failure;
    // Judged before the copy is made, which may take a while.
    if (!target.isEmpty()) {
        if (const QString refusal = exchange::targetRefusal(target, QStringLiteral("db"), replace);
            !refusal.isEmpty())
            return f.fail(refusal);
    }
    return f.run(VerbFrame::Use::Read, QStringLiteral("备份"), [&] {
        if (!backup::embeddedEngine()) return f.fail(backup::serverMessage());
        backup::Snapshots snapshots(backup::databaseFile());
        QString made;
        {
            ProgressLine line(QStringLiteral("正在备份"));
            made = snapshots.backupNow(line.fn(), target, replace);
        }
        out(QFileInfo(made).absoluteFilePath());
        return int(Ok);
    });
}

}  // namespace

const Verb kBackup = {"backup", "backup [--out FILE [--force]]", "备份数据库", kHelp, &run};

}  // namespace cli
