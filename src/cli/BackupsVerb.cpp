// quenvale-cli backups: the copies of the register, newest first.
#include <QDir>

#include "cli/Console.h"
#include "cli/VerbFrame.h"
#include "cli/Verbs.h"
#include "core/backup/Snapshots.h"

namespace cli {

namespace {

const char* const kHelp =
    "用法：quenvale-cli backups\n"
    "\n"
    "列出 Data/Backup 中的备份，最新的在前：每行是文件、日期、字节数和问卷份数，以制\n"
    "表符分隔（读不出份数时为 ?）。恢复或合并之前保留的副本名为 ...-before-restore.db\n"
    "和 ...-before-merge.db。没有备份时标准输出为空，标准错误输出上有一行说明。\n";

int run(int argc, char** argv) {
    VerbFrame f(argc, argv, kBackups);
    if (const auto rc = f.parse(0, 0)) return *rc;
    return f.run(VerbFrame::Use::Read, QStringLiteral("列出备份"), [&] {
        if (!backup::embeddedEngine()) return f.fail(backup::serverMessage());
        const backup::Snapshots snapshots(backup::databaseFile());
        const QList<backup::BackupInfo> all = snapshots.list(true);
        // Said beside the listing, so that a script reading it still reads no rows.
        if (all.isEmpty())
            err(QStringLiteral("还没有备份（%1 中没有备份文件）。").arg(QDir::toNativeSeparators(snapshots.folder())));
        for (const backup::BackupInfo& b : all)
            out(QStringLiteral("%1\t%2\t%3\t%4")
                    .arg(QDir::toNativeSeparators(b.path), b.stamp.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                    .arg(b.size)
                    .arg(b.questionnaires < 0 ? QStringLiteral("?") : QString::number(b.questionnaires)));
        return int(Ok);
    });
}

}  // namespace

const Verb kBackups = {"backups", "backups", "列出备份", kHelp, &run};

}  // namespace cli
