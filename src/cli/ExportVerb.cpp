// quenvale-cli export: the questionnaires to a workbook, CSV, SPSS or Stata file.
#include <QFileInfo>

#include "cli/Console.h"
#include "cli/ProgressLine.h"
#include "cli/VerbFrame.h"
#include "cli/Verbs.h"
#include "core/exchange/QuestionnaireExport.h"

namespace cli {

namespace {

const char* const kHelp =
    "用法：quenvale-cli export [--format xlsx|csv|csv-plain|sav|dta]\n"
    "                          [--layout wide|tables] --out PATH [--force]\n"
    "\n"
    "导出问卷。\n"
    "\n"
    "  --format F   xlsx（Excel）；csv（供电子表格打开的 UTF-8：身份证号码和电话保持\n"
    "               文本，任何文字都不会作为公式执行）；csv-plain（供程序读取的\n"
    "               UTF-8：每段文字与存储的完全一样）；sav（SPSS）；dta（Stata）。不\n"
    "               给 --format 时由 PATH 的扩展名决定（.xlsx、.csv、.sav、.dta）。\n"
    "  --layout L   wide：每份问卷一行（默认）；tables：按存储的十三个数据表\n"
    "  --out PATH   要写的文件。csv、sav 和 dta 把其余各表写在它旁边，文件名是 PATH\n"
    "               的名字加上 _表名（例如 _Special.csv、_未能识别的数据.csv）。\n"
    "  --force      替换已经存在的文件（符号链接一律不替换）\n"
    "\n"
    "登记册在一个一致的快照中读出。只有整个导出成功，PATH 处才会出现文件。输出导出的\n"
    "问卷份数和写出的文件，以及被截断到该格式的长度上限、或含有该格式不能保存的字符的\n"
    "文字。\n";

int run(int argc, char** argv) {
    VerbFrame f(argc, argv, kExport);
    f.addOption(QStringLiteral("format"), QStringLiteral("F"));
    f.addOption(QStringLiteral("layout"), QStringLiteral("L"));
    f.addOption(QStringLiteral("out"), QStringLiteral("PATH"));
    f.addOption(QStringLiteral("force"));
    if (const auto rc = f.parse(0, 0)) return *rc;
    exchange::ExportOptions options;
    options.replace = f.isSet(QStringLiteral("force"));
    options.path = f.value(QStringLiteral("out"));
    // Without --format the name's extension says it; a name that says another format is refused
    // by the target rule.
    const QString format =
        f.isSet(QStringLiteral("format")) ? f.value(QStringLiteral("format")) : QFileInfo(options.path).suffix();
    if (!exchange::parseFormat(format, &options.format))
        return f.usage(QStringLiteral("请用 --format 给出 xlsx、csv、csv-plain、sav 或 dta（或者给一个以其中之一为扩展名的 --out PATH）"));
    const QString layout = f.isSet(QStringLiteral("layout")) ? f.value(QStringLiteral("layout")) : QStringLiteral("wide");
    if (!exchange::parseLayout(layout, &options.layout))
        return f.usage(QStringLiteral("--layout 只能是 wide 或 tables"));
    if (options.path.isEmpty()) return f.usage(QStringLiteral("请用 --out PATH 给出要写的文件"));
    if (f.refuseUndecodedPath(options.path)) return Failure;

    return f.run(VerbFrame::Use::Read, QStringLiteral("导出"), [&] {
        exchange::ExportResult r;
        {
            ProgressLine line(QStringLiteral("正在导出"));
            r = exchange::exportQuestionnaires(options, line.fn());
        }
        if (r.cancelled) throw Cancelled();
        if (!r.ok) return f.fail(r.error);
        out(r.summary());
        return int(Ok);
    });
}

}  // namespace

const Verb kExport = {"export",
                      "export [--format xlsx|csv|csv-plain|sav|dta] [--layout wide|tables] --out PATH [--force]",
                      "导出问卷（Excel、CSV、SPSS、Stata）", kHelp, &run};

}  // namespace cli
