// quenvale-cli export-stats: the statistics as an Excel workbook.
#include "cli/Console.h"
#include "cli/ProgressLine.h"
#include "cli/VerbFrame.h"
#include "cli/Verbs.h"
#include "core/exchange/StatsWorkbook.h"

namespace cli {

namespace {

const char* const kHelp =
    "用法：quenvale-cli export-stats --out FILE.xlsx [--force]\n"
    "\n"
    "导出统计表。\n"
    "\n"
    "  --out FILE   要写的 Excel 工作簿：一个汇总表（问卷份数、日期、参加意愿），每个\n"
    "               问题页一个表，列出每个选项的人数、占问卷份数的百分比和条形图。\n"
    "  --force      FILE 已经存在时替换它（符号链接一律不替换）\n"
    "\n"
    "人数与统计窗口的相同；不计入任何选项的存储值列在“未能识别的数据”表中。只有整个工\n"
    "作簿写完，FILE 处才会出现文件。输出问卷份数和写出的文件。\n";

int run(int argc, char** argv) {
    VerbFrame f(argc, argv, kExportStats);
    f.addOption(QStringLiteral("out"), QStringLiteral("FILE"));
    f.addOption(QStringLiteral("force"));
    if (const auto rc = f.parse(0, 0)) return *rc;
    const QString path = f.value(QStringLiteral("out"));
    if (path.isEmpty()) return f.usage(QStringLiteral("请用 --out FILE.xlsx 给出要写的工作簿"));
    if (f.refuseUndecodedPath(path)) return Failure;
    const bool replace = f.isSet(QStringLiteral("force"));
    return f.run(VerbFrame::Use::Read, QStringLiteral("导出统计表"), [&] {
        exchange::ExportResult r;
        {
            ProgressLine line(QStringLiteral("正在导出统计表"));
            r = exchange::exportStatistics(path, line.fn(), replace);
        }
        if (r.cancelled) throw Cancelled();
        if (!r.ok) return f.fail(r.error);
        out(r.summary());
        return int(Ok);
    });
}

}  // namespace

const Verb kExportStats = {"export-stats", "export-stats --out FILE.xlsx [--force]", "导出统计表（Excel）", kHelp,
                           &run};

}  // namespace cli
