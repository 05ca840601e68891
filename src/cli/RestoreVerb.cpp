// quenvale-cli restore: the register replaced with a backup, after a question on a terminal.
#include <QDir>
#include <QFileInfo>

#include "cli/Console.h"
#include "cli/ProgressLine.h"
#include "cli/VerbFrame.h"
#include "cli/Verbs.h"
#include "core/backup/NativePath.h"
#include "core/backup/Restore.h"
#include "core/backup/Snapshots.h"

namespace cli {

namespace {

const char* const kHelp =
    "用法：quenvale-cli restore FILE [--yes]\n"
    "\n"
    "用备份文件 FILE 替换登记册。先检查这个文件（SQLite 文件，integrity_check 通过，\n"
    "含有十三个数据表及其各列）；当前的登记册先备份为\n"
    "Data/Backup/MyDB-YYYYMMDD-HHMMSS-before-restore.db（保留 30 天），再用 FILE 中的\n"
    "数据行建立新的登记册（FILE 的其他内容一概不取：没有触发器、视图或其他数据表），\n"
    "一次原子改名换上。另一个程序打开着登记册时不恢复。\n"
    "\n"
    "  --yes   不询问，直接恢复\n"
    "\n"
    "不给 --yes 时，在终端上显示备份的摘要并询问，回答“是”（或 y、yes）才恢复，其他回\n"
    "答都不恢复。不在终端上运行（例如在脚本中）又没有 --yes 时不恢复，退出状态为 1。\n";

int run(int argc, char** argv) {
    VerbFrame f(argc, argv, kRestore);
    f.addOption(QStringLiteral("yes"));
    if (const auto rc = f.parse(1, 1, QStringLiteral("请给出要恢复的备份文件 FILE"))) return *rc;
    return f.run(VerbFrame::Use::Write, QStringLiteral("恢复"), [&] {
        if (!backup::embeddedEngine()) return f.fail(backup::serverMessage());
        const QString file = f.fileArgument(f.positional().first());
        const backup::Inspection check = backup::inspect(file);
        if (!check.ok) return f.fail(check.message + backup::kNotRestored);
        if (!f.isSet(QStringLiteral("yes"))) {
            if (!canAsk())
                return f.fail(QStringLiteral("没有终端可以询问是否恢复；要恢复，请加上 --yes。") + backup::kNotRestored);
            if (!askYes(check.summary(file) + QStringLiteral("（是/否）"))) return f.fail(backup::kNotRestored);
        }
        backup::Snapshots snapshots(backup::databaseFile());
        backup::PreparedRestore prepared;
        {
            ProgressLine line(QStringLiteral("正在恢复"));
            prepared = backup::prepareRestore(file, snapshots, line.fn());
        }
        backup::commitRestore(prepared);
        QString said = QStringLiteral("已从备份 %1 恢复 %2 份问卷")
                           .arg(nativepath::display(QFileInfo(file).absoluteFilePath()))
                           .arg(check.questionnaires);
        if (!prepared.kept.isEmpty())
            said += QStringLiteral("，恢复前的登记册已备份到 %1").arg(QDir::toNativeSeparators(prepared.kept));
        out(said + QStringLiteral("。"));
        if (const QString other = check.leftBehind(); !other.isEmpty()) out(other);
        if (prepared.rowsLeftOut > 0) out(backup::rowsLeftOutMessage(prepared.rowsLeftOut));
        return int(Ok);
    });
}

}  // namespace

const Verb kRestore = {"restore", "restore FILE [--yes]", "从备份恢复", kHelp, &run};

}  // namespace cli
