// quenvale-cli merge: another register's questionnaires into ours.
#include "cli/Console.h"
#include "cli/ProgressLine.h"
#include "cli/VerbFrame.h"
#include "cli/Verbs.h"
#include "core/backup/Snapshots.h"
#include "core/exchange/MergeReport.h"
#include "core/exchange/RegisterMerge.h"
#include "core/exchange/TargetRule.h"

namespace cli {

namespace {

const char* const kHelp =
    "用法：quenvale-cli merge FILE [--prefer ours|theirs] [--dry-run]\n"
    "                         [--report CONFLICTS.csv [--force]]\n"
    "\n"
    "把另一个登记册的 MyDB.db 逐份问卷合并到本登记册：新的身份证号码整份加入；号码相\n"
    "同、答案也相同的跳过；号码相同、答案不同的是冲突（保留本登记册的，除非给了\n"
    "--prefer theirs）。没有 BasicInfo 行的答案行，以及不对应任何选项的行，不导入。只\n"
    "取问卷：FILE 的其他内容一概不取（没有触发器、视图或其他数据表）。全部在一个事务\n"
    "中写入，写入之前先备份本登记册\n"
    "（Data/Backup/MyDB-YYYYMMDD-HHMMSS-before-merge.db，保留 30 天）。\n"
    "\n"
    "  --prefer ours|theirs   冲突时保留哪一份问卷：ours 本登记册的（默认），theirs\n"
    "                         对方的\n"
    "  --dry-run              只报告合并的结果，不做改动\n"
    "  --report FILE          把冲突（逐页列出不同之处）和不能导入的内容写入 FILE，一\n"
    "                         个供电子表格打开的 CSV（身份证号码保持文本，没有公式）\n"
    "  --force                报告文件 FILE 已经存在时替换它（符号链接一律不替换）\n"
    "\n"
    "输出五行，以制表符分隔：新增、相同、冲突、不能导入和写入的问卷份数（不能导入的为\n"
    "项数）。\n";

int run(int argc, char** argv) {
    VerbFrame f(argc, argv, kMerge);
    f.addOption(QStringLiteral("prefer"), QStringLiteral("ours|theirs"));
    f.addOption(QStringLiteral("report"), QStringLiteral("FILE"));
    f.addOption(QStringLiteral("dry-run"));
    f.addOption(QStringLiteral("force"));
    if (const auto rc = f.parse(1, 1, QStringLiteral("请给出要合并的登记册文件 FILE"))) return *rc;
    const QString prefer = f.isSet(QStringLiteral("prefer")) ? f.value(QStringLiteral("prefer")) : QStringLiteral("ours");
    if (prefer != QLatin1String("ours") && prefer != QLatin1String("theirs"))
        return f.usage(QStringLiteral("--prefer 只能是 ours 或 theirs"));
    const QString report = f.value(QStringLiteral("report"));
    const bool replace = f.isSet(QStringLiteral("force"));
    if (f.refuseUndecodedPath(report)) return Failure;
    if (!report.isEmpty()) {
        if (const QString refusal = exchange::targetRefusal(report, QStringLiteral("csv"), replace);
            !refusal.isEmpty())
            return f.fail(refusal);
    }
    return f.run(VerbFrame::Use::Write, QStringLiteral("合并"), [&] {
        if (!backup::embeddedEngine())
            return f.fail(QStringLiteral("登记册保存在数据库服务器上，合并只用于本机的数据库文件。本程序不做任何操作。"));
        RegisterMerge merge(f.fileArgument(f.positional().first()));
        MergePlan plan;
        {
            ProgressLine line(QStringLiteral("正在比较两份登记册"));
            plan = merge.plan(line.fn());
        }
        if (prefer == QLatin1String("theirs"))
            for (MergeConflict& c : plan.conflicts) c.takeTheirs = true;
        QString error;
        if (!report.isEmpty() && !mergereport::write(plan, report, &error, replace))
            return f.fail(QStringLiteral("没有写出合并报告，登记册没有改动：%1").arg(error));
        int written = 0;
        if (!f.isSet(QStringLiteral("dry-run"))) {
            ProgressLine line(QStringLiteral("正在合并"));
            written = merge.apply(plan, line.fn());
        }
        out(QStringLiteral("新增\t%1\n相同\t%2\n冲突\t%3\n不能导入\t%4\n写入\t%5")
                .arg(plan.added)
                .arg(plan.identical)
                .arg(plan.conflicts.size())
                .arg(plan.problems.size())
                .arg(written));
        return int(Ok);
    });
}

}  // namespace

const Verb kMerge = {"merge", "merge FILE [--prefer ours|theirs] [--dry-run] [--report CONFLICTS.csv [--force]]",
                     "合并其他登记册", kHelp, &run};

}  // namespace cli
