// quenvale-cli check: the data check, its counts on stdout and, if asked, its list as CSV.
#include <QDate>

#include "cli/Console.h"
#include "cli/ProgressLine.h"
#include "cli/VerbFrame.h"
#include "cli/Verbs.h"
#include "core/check/ProblemCsv.h"
#include "core/check/RegisterCheck.h"
#include "core/exchange/TargetRule.h"

namespace cli {

namespace {

const char* const kHelp =
    "用法：quenvale-cli check [--csv FILE [--force]]\n"
    "\n"
    "检查登记册，不做任何改动：校验码或出生日期不可能正确的身份证号码、旧的 15 位号\n"
    "码、重复登记的居民（15 位和 18 位号码各登记一次，或末位 x 和 X 各登记一次）、不\n"
    "是身份证号码的值、没有问卷的答案行，以及不对应任何选项的代码。\n"
    "\n"
    "  --csv FILE   同时把问题清单写入 FILE，一个供电子表格打开的 CSV（UTF-8 带 BOM，\n"
    "               CRLF，RFC 4180；身份证号码保持文本，任何文字都不会作为公式执行）\n"
    "  --force      FILE 已经存在时替换它（符号链接一律不替换）\n"
    "\n"
    "输出问卷份数和每一类问题的个数，以制表符分隔。\n"
    "退出状态：0 没有发现问题；1 发现了问题（或检查没有完成：标准错误输出上有一行说明\n"
    "原因）；2 用法错误。\n";

int run(int argc, char** argv) {
    VerbFrame f(argc, argv, kCheck);
    f.addOption(QStringLiteral("csv"), QStringLiteral("FILE"));
    f.addOption(QStringLiteral("force"));
    if (const auto rc = f.parse(0, 0)) return *rc;
    const QString csv = f.value(QStringLiteral("csv"));
    const bool replace = f.isSet(QStringLiteral("force"));
    // Before the check runs, so that a list that cannot be written costs no waiting.
    if (f.refuseUndecodedPath(csv)) return Failure;
    if (!csv.isEmpty()) {
        if (const QString refusal = exchange::targetRefusal(csv, QStringLiteral("csv"), replace);
            !refusal.isEmpty())
            return f.fail(refusal);
    }
    return f.run(VerbFrame::Use::Read, QStringLiteral("数据检查"), [&] {
        CheckResult result;
        {
            ProgressLine line(QStringLiteral("正在检查"));
            result = RegisterCheck().run(QDate::currentDate(), line.fn());
        }
        out(QStringLiteral("问卷\t%1").arg(result.questionnaires));
        for (int k = 0; k < CheckProblem::KindCount; ++k) {
            const auto kind = CheckProblem::Kind(k);
            out(QStringLiteral("%1\t%2").arg(CheckProblem::kindName(kind)).arg(result.count(kind)));
        }
        QString error;
        if (!csv.isEmpty() && !problemcsv::write(result, csv, &error, replace))
            return f.fail(QStringLiteral("没有写出问题清单：%1").arg(error));
        return int(result.isClean() ? Ok : Failure);
    });
}

}  // namespace

const Verb kCheck = {"check", "check [--csv FILE [--force]]", "数据检查", kHelp, &run};

}  // namespace cli
