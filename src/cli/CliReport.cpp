// quenvale-cli report: the specialty report as PDF, or its preview window.
#include <QApplication>
#include <optional>

#include "app/Startup.h"
#include "cli/CliSupport.h"
#include "cli/CliVerbs.h"
#include "core/exchange/ExportTypes.h"
#include "core/exchange/TargetFiles.h"
#include "core/store/DataModule.h"
#include "gui/stats/TFrm_Report.h"

namespace cli {

const char* const kReportHelp =
    "Usage: quenvale-cli report specialty --pdf FILE [--force]\n"
    "       quenvale-cli report specialty --preview\n"
    "\n"
    "  --pdf FILE   write the specialty report (专业及特长人数统计) to FILE as PDF\n"
    "  --force      replace FILE if it exists (never a symbolic link)\n"
    "  --preview    open the report's preview window, from which it prints\n"
    "\n"
    "--pdf needs no display: without DISPLAY or WAYLAND_DISPLAY it renders offscreen.\n"
    "--preview needs a display.\n";

int runReport(int& argc, char** argv, const QStringList& args) {
    if (args.isEmpty() || args[0] != QLatin1String("specialty")) {
        err(QStringLiteral("unknown report; the one report is \"specialty\""));
        return Usage;
    }
    const Args a = parse(args.mid(1), {QStringLiteral("--pdf")},
                         {QStringLiteral("--preview"), QStringLiteral("--force")});
    if (reportBadUsage(a)) return Usage;
    const QString pdf = a.value(QStringLiteral("--pdf"));
    const bool preview = a.has(QStringLiteral("--preview"));
    if (pdf.isEmpty() == !preview) {
        err(QStringLiteral("give either --pdf FILE or --preview"));
        return Usage;
    }
    if (refuseUndecodedPath(pdf, argc, argv)) return Failure;
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
        // The PDF goes under a temporary name, renamed into place only when the whole report is
        // written; the target rule is judged before anything is read.
        std::optional<exchange::TargetFiles> files;
        if (!preview) files.emplace(pdf, QStringLiteral("pdf"), a.has(QStringLiteral("--force")));
        const auto dm = openRegister();
        if (preview) {
            talentreport::preview(nullptr);
            rc = prompt.failed ? Failure : Ok;
        } else {
            const QString temp = files->add(files->target());
            QString error;
            if (!talentreport::exportPdf(temp, &error)) {
                err(QStringLiteral("写入文件“%1”时出错。").arg(files->target()));
                rc = Failure;
            } else if (prompt.failed) {
                // The counts could not be read: no report rather than an empty one.
                err(QStringLiteral("没有写出 PDF 文件。"));
                rc = Failure;
            } else {
                files->commit();
                out(files->target());
            }
        }
    } catch (const exchange::ExportError& e) {
        err(e.message);
        rc = Failure;
    } catch (const std::exception& e) {
        err(QString::fromUtf8(e.what()));
        rc = Failure;
    }
    Prompt::install(nullptr);
    return rc;
}

}  // namespace cli
