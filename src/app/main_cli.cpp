// quenvale-cli: the headless companion of the desktop program. It works on the same database
// (the Data folder beside the executables, or the per-user one) without the main window.
#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include "app/Startup.h"
#include "stats/TalentReport.h"
#include "store/DataLocation.h"
#include "store/DataModule.h"
#include "store/DataSourceRegistration.h"
#include "store/Registry.h"
#include "store/Schema.h"
#include "ui/Prompt.h"

namespace {

const char* const kUsage =
    "Usage: quenvale-cli --help | --version\n"
    "       quenvale-cli report specialty --pdf FILE\n"
    "       quenvale-cli report specialty --preview\n"
    "\n"
    "  report specialty --pdf FILE   write the specialty report (专业及特长人数统计) to FILE as PDF\n"
    "  report specialty --preview    open the report's preview window, from which it prints\n"
    "\n"
    "--pdf needs no display: without DISPLAY or WAYLAND_DISPLAY it renders offscreen.\n"
    "--preview needs a display.\n";

void err(const QString& text) { std::fprintf(stderr, "quenvale-cli: %s\n", text.toLocal8Bit().constData()); }

bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

/// Messages go to stderr instead of message boxes; a failure is remembered.
class ConsolePrompt final : public Prompt {
public:
    void showInform(QWidget*, const QString& text, const QString&) override { err(text); }
    bool showConfirm(QWidget*, const QString& text, const QString&) override {
        err(text);
        return false;
    }
    void showFail(QWidget*, const QString& text) override {
        err(text);
        failed = true;
    }
    bool failed = false;
};

/// The database as the desktop program finds it: its file (made when missing) and the data
/// source registration, then the data module that defines the connection.
void prepareDatabase() {
    const DataLocation loc = DataLocation::resolve(QCoreApplication::applicationDirPath());
    QString error;
    if (!schema::ensureDatabaseFile(loc.file, &error))
        err(QStringLiteral("cannot create %1: %2").arg(loc.file, error));
    Registry hive;
    registration::registerDataSource(hive, loc.dbq);
}

int reportCommand(int argc, char** argv, const QStringList& args) {
    // args: report specialty (--pdf FILE | --preview)
    if (args.size() < 2 || args[1] != QLatin1String("specialty")) {
        err(QStringLiteral("unknown report; the one report is \"specialty\""));
        return 2;
    }
    QString pdf;
    bool preview = false;
    for (int i = 2; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--pdf") && i + 1 < args.size()) {
            pdf = args[++i];
        } else if (args[i] == QLatin1String("--preview")) {
            preview = true;
        } else {
            err(QStringLiteral("unexpected argument: %1").arg(args[i]));
            return 2;
        }
    }
    if (pdf.isEmpty() == !preview) {
        err(QStringLiteral("give either --pdf FILE or --preview"));
        return 2;
    }
    if (!hasDisplay()) {
        if (preview) {
            err(QStringLiteral("--preview needs a display (set DISPLAY or WAYLAND_DISPLAY)"));
            return 2;
        }
        // Fonts and PDF output need a platform; without a display, render offscreen.
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    QApplication app(argc, argv);
    startup::prepareApplication(app);
    ConsolePrompt prompt;
    Prompt::install(&prompt);
    int rc = 0;
    try {
        prepareDatabase();
        TDM dm;
        if (preview) {
            talentreport::preview(nullptr);
            rc = prompt.failed ? 1 : 0;
        } else {
            QString error;
            if (!talentreport::exportPdf(pdf, &error)) {
                err(error);
                rc = 1;
            } else if (prompt.failed) {
                // The counts could not be read: no report rather than an empty one.
                QFile::remove(pdf);
                err(QStringLiteral("no PDF written"));
                rc = 1;
            } else {
                std::printf("%s\n", QFileInfo(pdf).absoluteFilePath().toLocal8Bit().constData());
            }
        }
    } catch (const std::exception& e) {
        err(QString::fromUtf8(e.what()));
        rc = 1;
    }
    Prompt::install(nullptr);
    return rc;
}

}  // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);

    if (args.contains(QStringLiteral("--version"))) {
        std::printf("quenvale-cli %s\n", QUENVALE_VERSION);
        return 0;
    }
    if (args.contains(QStringLiteral("--help"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!args.isEmpty() && args[0] == QLatin1String("report")) return reportCommand(argc, argv, args);
    std::fputs(kUsage, stderr);
    return 2;
}
