#pragma once

#include <QStringList>

/// The verbs of quenvale-cli. Each takes the process's argc/argv (to make its application
/// object) and its own arguments (those after the verb), and returns the exit status.
namespace cli {

struct Verb {
    const char* name;
    const char* synopsis;  ///< one line for the overview, e.g. "report specialty --pdf FILE"
    const char* help;      ///< the verb's --help text
    int (*run)(int& argc, char** argv, const QStringList& args);
};

/// Every verb, in the order the overview lists them.
const QList<Verb>& verbs();

int runReport(int& argc, char** argv, const QStringList& args);
extern const char* const kReportHelp;

int runCheck(int& argc, char** argv, const QStringList& args);
extern const char* const kCheckHelp;

int runExport(int& argc, char** argv, const QStringList& args);
extern const char* const kExportHelp;

int runExportStats(int& argc, char** argv, const QStringList& args);
extern const char* const kExportStatsHelp;

int runBackup(int& argc, char** argv, const QStringList& args);
extern const char* const kBackupHelp;
int runBackups(int& argc, char** argv, const QStringList& args);
extern const char* const kBackupsHelp;
int runRestore(int& argc, char** argv, const QStringList& args);
extern const char* const kRestoreHelp;
int runMerge(int& argc, char** argv, const QStringList& args);
extern const char* const kMergeHelp;

int runDataSource(int& argc, char** argv, const QStringList& args);
extern const char* const kDataSourceHelp;

}  // namespace cli
