// quenvale-cli export and export-stats: the questionnaires or the statistics to a file.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "cli/CliSupport.h"
#include "cli/CliVerbs.h"
#include "core/exchange/QuestionnaireExport.h"
#include "core/exchange/StatsWorkbook.h"
#include "core/store/DataModule.h"

namespace cli {

const char* const kExportHelp =
    "Usage: quenvale-cli export [--format xlsx|csv|csv-plain|sav|dta] [--layout wide|tables]\n"
    "                           --out PATH [--force]\n"
    "\n"
    "  --format F   xlsx (Excel), csv (UTF-8 for spreadsheets: identity numbers and phones stay\n"
    "               text, no text runs as a formula), csv-plain (UTF-8 for programs: every text\n"
    "               exactly as stored), sav (SPSS) or dta (Stata). Without --format the\n"
    "               extension of PATH decides (.xlsx, .csv, .sav, .dta).\n"
    "  --layout L   wide: one row per questionnaire (the default);\n"
    "               tables: the thirteen tables as stored\n"
    "  --out PATH   the file to write. csv, sav and dta write each further sheet beside it,\n"
    "               as PATH's name followed by _SHEET (e.g. _Special.csv, _未能识别的数据.csv).\n"
    "  --force      replace files that exist (never a symbolic link)\n"
    "\n"
    "The register is read in one consistent snapshot. Nothing appears at PATH unless the whole\n"
    "export succeeds. Prints the number of questionnaires and the files written, and any texts\n"
    "cut to the format's length limit or with characters the format cannot hold.\n";

int runExport(int& argc, char** argv, const QStringList& args) {
    const Args a =
        parse(args, {QStringLiteral("--format"), QStringLiteral("--layout"), QStringLiteral("--out")},
              {QStringLiteral("--force")});
    if (reportBadUsage(a)) return Usage;
    exchange::ExportOptions options;
    options.replace = a.has(QStringLiteral("--force"));
    // Without --format the name's extension says it; a name that says another format is refused
    // by the target rule.
    const QString format =
        a.value(QStringLiteral("--format"), QFileInfo(a.value(QStringLiteral("--out"))).suffix());
    if (!exchange::parseFormat(format, &options.format)) {
        err(QStringLiteral(
            "give --format xlsx, csv, csv-plain, sav or dta (or an --out PATH ending in one)"));
        return Usage;
    }
    if (!exchange::parseLayout(a.value(QStringLiteral("--layout"), QStringLiteral("wide")),
                               &options.layout)) {
        err(QStringLiteral("--layout is wide or tables"));
        return Usage;
    }
    options.path = a.value(QStringLiteral("--out"));
    if (options.path.isEmpty()) {
        err(QStringLiteral("give --out PATH"));
        return Usage;
    }
    if (refuseUndecodedPath(options.path, argc, argv)) return Failure;

    QCoreApplication app(argc, argv);
    ConsolePrompt prompt;
    Prompt::install(&prompt);
    int rc = Ok;
    try {
        const auto dm = openRegister();
        Progress progress(QStringLiteral("export"));
        const exchange::ExportResult r =
            exchange::exportQuestionnaires(options, [&](qint64 done, qint64 total) {
                progress.update(done, total);
                return true;
            });
        progress.finish();
        if (r.ok) {
            out(r.summary());
        } else {
            err(r.error);
            rc = Failure;
        }
    } catch (const std::exception& e) {
        err(QString::fromUtf8(e.what()));
        rc = Failure;
    }
    Prompt::install(nullptr);
    return rc;
}

}  // namespace cli

namespace cli {

const char* const kExportStatsHelp =
    "Usage: quenvale-cli export-stats --out FILE.xlsx [--force]\n"
    "\n"
    "  --out FILE   the Excel workbook to write: a summary sheet (number of questionnaires,\n"
    "               date, willingness) and a sheet per question page with each option's count,\n"
    "               its percentage of the questionnaires and a bar chart.\n"
    "  --force      replace FILE if it exists (never a symbolic link)\n"
    "\n"
    "The counts are those of the statistics form; stored values that count nowhere are listed\n"
    "on the sheet 未能识别的数据. Nothing appears at FILE unless the whole workbook was written.\n"
    "Prints the number of questionnaires and the file written.\n";

int runExportStats(int& argc, char** argv, const QStringList& args) {
    const Args a = parse(args, {QStringLiteral("--out")}, {QStringLiteral("--force")});
    if (reportBadUsage(a)) return Usage;
    const QString path = a.value(QStringLiteral("--out"));
    if (path.isEmpty()) {
        err(QStringLiteral("give --out FILE.xlsx"));
        return Usage;
    }
    if (refuseUndecodedPath(path, argc, argv)) return Failure;
    const bool replace = a.has(QStringLiteral("--force"));
    QCoreApplication app(argc, argv);
    int rc = Ok;
    try {
        const auto dm = openRegister();
        Progress progress(QStringLiteral("export-stats"));
        const exchange::ExportResult r = exchange::exportStatistics(
            path,
            [&](qint64 done, qint64 total) {
                progress.update(done, total);
                return true;
            },
            replace);
        progress.finish();
        if (r.ok) {
            out(r.summary());
        } else {
            err(r.error);
            rc = Failure;
        }
    } catch (const std::exception& e) {
        err(QString::fromUtf8(e.what()));
        rc = Failure;
    }
    return rc;
}

}  // namespace cli
