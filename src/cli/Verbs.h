#pragma once

#include <QList>

/// The verbs of quenvale-cli. Each runs with the process's own argc/argv: its arguments are
/// those after the verb (argv[2] on), and it returns the exit status (see VerbFrame).
namespace cli {

struct Verb {
    const char* name;
    const char* synopsis;  ///< the usage line after "quenvale-cli", e.g. "backups"
    const char* summary;   ///< what it does, a few words for the overview
    const char* help;      ///< the text of `VERB --help`
    int (*run)(int argc, char** argv);
};

/// Every verb, in the order the overview lists them.
const QList<Verb>& verbs();

extern const Verb kReport;
extern const Verb kCheck;
extern const Verb kExport;
extern const Verb kExportStats;
extern const Verb kBackup;
extern const Verb kBackups;
extern const Verb kRestore;
extern const Verb kMerge;
extern const Verb kDataSource;

}  // namespace cli
