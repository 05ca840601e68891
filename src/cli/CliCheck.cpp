// quenvale-cli check: the data check, its counts on stdout and, if asked, its list as CSV.
#include <QCoreApplication>

#include "cli/CliSupport.h"
#include "cli/CliVerbs.h"
#include "core/check/ProblemCsv.h"
#include "core/check/RegisterCheck.h"
#include "core/exchange/Captions.h"
#include "core/exchange/TargetRule.h"
#include "core/store/DataModule.h"
#include "core/store/DbError.h"

namespace cli {

const char* const kCheckHelp =
    "Usage: quenvale-cli check [--csv FILE [--force]]\n"
    "\n"
    "Checks the register without changing it: identity numbers whose check character or\n"
    "birth date cannot be right, old 15-digit numbers, residents entered twice (under the\n"
    "15- and the 18-digit number, or with a final x and X), values that are no identity\n"
    "number, answer rows without their questionnaire, and stored codes that match no option.\n"
    "\n"
    "  --csv FILE   also write the list of problems to FILE, a CSV for spreadsheets (UTF-8 with\n"
    "               BOM, CRLF, RFC 4180; identity numbers stay text, no text runs as a formula)\n"
    "  --force      replace FILE if it exists (never a symbolic link)\n"
    "\n"
    "Prints the number of questionnaires and the count of each kind of problem, tab-separated.\n"
    "Exit status: 0 nothing found, 1 something found (or the check failed: one line on\n"
    "stderr), 2 bad usage.\n";

int runCheck(int& argc, char** argv, const QStringList& args) {
    const Args a = parse(args, {QStringLiteral("--csv")}, {QStringLiteral("--force")});
    if (reportBadUsage(a)) return Usage;
    const QString csv = a.value(QStringLiteral("--csv"));
    const bool replace = a.has(QStringLiteral("--force"));
    // Before the check runs, so that a list that cannot be written costs no waiting.
    if (refuseUndecodedPath(csv, argc, argv)) return Failure;
    if (!csv.isEmpty()) {
        const QString refusal = exchange::targetRefusal(csv, QStringLiteral("csv"), replace);
        if (!refusal.isEmpty()) {
            err(refusal);
            return Failure;
        }
    }

    QCoreApplication app(argc, argv);
    ConsolePrompt prompt;
    Prompt::install(&prompt);
    int rc = Ok;
    try {
        const auto dm = openRegister();
        Progress progress(QStringLiteral("data check"));
        const CheckResult result =
            RegisterCheck().run(QDate::currentDate(), [&progress](int done, int total) {
                progress.update(done, total);
                return true;
            });
        progress.finish();
        out(QStringLiteral("问卷\t%1").arg(result.questionnaires));
        for (int k = 0; k < CheckProblem::KindCount; ++k) {
            const auto kind = CheckProblem::Kind(k);
            out(QStringLiteral("%1\t%2").arg(CheckProblem::kindName(kind)).arg(result.count(kind)));
        }
        rc = result.isClean() ? Ok : Failure;
        QString error;
        if (!csv.isEmpty() && !problemcsv::write(result, csv, &error, replace)) {
            err(QStringLiteral("没有写出问题清单：%1").arg(error));
            rc = Failure;
        }
    } catch (const DbError& e) {
        err(QStringLiteral("数据检查没有完成：%1。").arg(captions::readFailed(e.statement())));
        rc = Failure;
    } catch (const std::exception& e) {
        err(QString::fromUtf8(e.what()));
        rc = Failure;
    }
    Prompt::install(nullptr);
    return rc;
}

}  // namespace cli
