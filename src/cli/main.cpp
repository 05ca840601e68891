// quenvale-cli: the headless companion of the desktop program. It works on the same database
// (the Data folder beside the executables, or the per-user one) without the main window.
#include <sys/stat.h>

#include <QCoreApplication>
#include <QList>
#include <QStringList>
#include <cstdio>

#include "cli/CliSupport.h"
#include "cli/CliVerbs.h"
#include "core/store/DataLocation.h"

namespace cli {

const QList<Verb>& verbs() {
    // clang-format off
    static const QList<Verb> all = {
        {"report", "report specialty --pdf FILE [--force] | --preview", kReportHelp, &runReport},
        {"check", "check [--csv FILE [--force]]", kCheckHelp, &runCheck},
        {"export", "export [--format xlsx|csv|csv-plain|sav|dta] [--layout wide|tables] --out PATH [--force]", kExportHelp, &runExport},
        {"export-stats", "export-stats --out FILE.xlsx [--force]", kExportStatsHelp, &runExportStats},
        {"backup", "backup [--out FILE [--force]]", kBackupHelp, &runBackup},
        {"backups", "backups", kBackupsHelp, &runBackups},
        {"restore", "restore FILE [--yes]", kRestoreHelp, &runRestore},
        {"merge", "merge FILE [--prefer ours|theirs] [--dry-run] [--report CONFLICTS.csv [--force]]", kMergeHelp, &runMerge},
        {"datasource", "datasource show | server CONNINFO | local", kDataSourceHelp, &runDataSource},
    };
    // clang-format on
    return all;
}

}  // namespace cli

namespace {

QString overview() {
    QString text = QStringLiteral("Usage: quenvale-cli --help | --version\n");
    for (const cli::Verb& v : cli::verbs())
        text += QStringLiteral("       quenvale-cli %1\n").arg(QString::fromUtf8(v.synopsis));
    text += QStringLiteral("\n'quenvale-cli VERB --help' describes one verb.\n");
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    // Every file and folder a verb makes (the register, backups, exports, the registration) is
    // private to its user from the start, as in the desktop program.
    ::umask(077);
    // The desktop program's name: the same per-user folders whatever this executable is called.
    QCoreApplication::setApplicationName(QLatin1String(DataLocation::kApplicationName));
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);

    if (args.isEmpty()) {
        std::fputs(overview().toLocal8Bit().constData(), stderr);
        return cli::Usage;
    }
    if (args[0] == QLatin1String("--version")) {
        std::printf("quenvale-cli %s\n", QUENVALE_VERSION);
        return cli::Ok;
    }
    if (args[0] == QLatin1String("--help") || args[0] == QLatin1String("help")) {
        std::fputs(overview().toLocal8Bit().constData(), stdout);
        return cli::Ok;
    }
    for (const cli::Verb& v : cli::verbs()) {
        if (args[0] != QLatin1String(v.name)) continue;
        if (args.contains(QStringLiteral("--help"))) {
            std::fputs(v.help, stdout);
            return cli::Ok;
        }
        return v.run(argc, argv, args.mid(1));
    }
    cli::err(QStringLiteral("unknown verb: %1").arg(args[0]));
    std::fputs(overview().toLocal8Bit().constData(), stderr);
    return cli::Usage;
}
