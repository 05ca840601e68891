// quenvale-cli report: the specialty report as PDF, or its preview window.
#include <QApplication>
#include <QFile>
#include <QFileInfo>

#include "CliSupport.h"
#include "CliVerbs.h"
#include "app/Startup.h"
#include "stats/TalentReport.h"
#include "store/DataModule.h"

namespace cli {

const char* const kReportHelp =
    "Usage: quenvale-cli report specialty --pdf FILE\n"
    "       quenvale-cli report specialty --preview\n"
    "\n"
    "  --pdf FILE   write the specialty report (专业及特长人数统计) to FILE as PDF\n"
    "  --preview    open the report's preview window, from which it prints\n"
    "\n"
    "--pdf needs no display: without DISPLAY or WAYLAND_DISPLAY it renders offscreen.\n"
    "--preview needs a display.\n";

int runReport(int& argc, char** argv, const QStringList& args) {
    if (args.isEmpty() || args[0] != QLatin1String("specialty")) {
        err(QStringLiteral("unknown report; the one report is \"specialty\""));
        return Usage;
    }
    const Args a = parse(args.mid(1), {QStringLiteral("--pdf")}, {QStringLiteral("--preview")});
    if (reportBadUsage(a)) return Usage;
    const QString pdf = a.value(QStringLiteral("--pdf"));
    const bool preview = a.has(QStringLiteral("--preview"));
    if (pdf.isEmpty() == !preview) {
        err(QStringLiteral("give either --pdf FILE or --preview"));
        return Usage;
    }
    if (!hasDisplay()) {
        if (preview) {
            err(QStringLiteral("--preview needs a display (set DISPLAY or WAYLAND_DISPLAY)"));
            return Usage;
        }
        // Fonts and PDF output need a platform; without a display, render offscreen.
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    QApplication app(argc, argv);
    startup::prepareApplication(app);
    ConsolePrompt prompt;
    Prompt::install(&prompt);
    int rc = Ok;
    try {
        const auto dm = openRegister();
        if (preview) {
            talentreport::preview(nullptr);
            rc = prompt.failed ? Failure : Ok;
        } else {
            QString error;
            if (!talentreport::exportPdf(pdf, &error)) {
                err(error);
                rc = Failure;
            } else if (prompt.failed) {
                // The counts could not be read: no report rather than an empty one.
                QFile::remove(pdf);
                err(QStringLiteral("no PDF written"));
                rc = Failure;
            } else {
                out(QFileInfo(pdf).absoluteFilePath());
            }
        }
    } catch (const std::exception& e) {
        err(QString::fromUtf8(e.what()));
        rc = Failure;
    }
    Prompt::install(nullptr);
    return rc;
}

}  // namespace cli
