// quenvale-cli export and export-stats: the questionnaires or the statistics to a file.
#include <QCoreApplication>
#include <QDir>

#include "CliSupport.h"
#include "CliVerbs.h"
#include "exchange/QuestionnaireExport.h"
#include "exchange/StatsWorkbook.h"
#include "store/DataModule.h"

namespace cli {

const char* const kExportHelp =
    "Usage: quenvale-cli export --format xlsx|csv|sav|dta [--layout wide|tables] --out PATH\n"
    "\n"
    "  --format F   xlsx (Excel), csv (UTF-8, Excel-ready), sav (SPSS) or dta (Stata)\n"
    "  --layout L   wide: one row per questionnaire (the default);\n"
    "               tables: the thirteen tables as stored\n"
    "  --out PATH   the file to write. csv, sav and dta write each further sheet beside it,\n"
    "               as PATH's name followed by _SHEET (e.g. _Special.csv, _未能识别的数据.csv).\n"
    "\n"
    "The register is read in one consistent snapshot. Nothing appears at PATH unless the whole\n"
    "export succeeds. Prints the number of questionnaires and the files written, and any texts\n"
    "cut to the format's length limit.\n";

int runExport(int& argc, char** argv, const QStringList& args) {
    const Args a =
        parse(args, {QStringLiteral("--format"), QStringLiteral("--layout"), QStringLiteral("--out")}, {});
    if (reportBadUsage(a)) return Usage;
    exchange::ExportOptions options;
    if (!exchange::parseFormat(a.value(QStringLiteral("--format")), &options.format)) {
        err(QStringLiteral("give --format xlsx, csv, sav or dta"));
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
    "Usage: quenvale-cli export-stats --out FILE.xlsx\n"
    "\n"
    "  --out FILE   the Excel workbook to write: a summary sheet (number of questionnaires,\n"
    "               date, willingness) and a sheet per question page with each option's count,\n"
    "               its percentage of the questionnaires and a bar chart.\n"
    "\n"
    "The counts are those of the statistics form. Nothing appears at FILE unless the whole\n"
    "workbook was written. Prints the number of questionnaires and the file written.\n";

int runExportStats(int& argc, char** argv, const QStringList& args) {
    const Args a = parse(args, {QStringLiteral("--out")}, {});
    if (reportBadUsage(a)) return Usage;
    const QString path = a.value(QStringLiteral("--out"));
    if (path.isEmpty()) {
        err(QStringLiteral("give --out FILE.xlsx"));
        return Usage;
    }
    QCoreApplication app(argc, argv);
    int rc = Ok;
    try {
        const auto dm = openRegister();
        Progress progress(QStringLiteral("export-stats"));
        const exchange::ExportResult r = exchange::exportStatistics(path, [&](qint64 done, qint64 total) {
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
    return rc;
}

}  // namespace cli
