#pragma once

#include <QString>
#include <QStringList>

/// Measurements that need a fresh process: start-up, the first opening of a form, and the
/// peak resident memory of a whole program run. The benchmark starts itself again with
/// `--child MODE FOLDER [COUNT]`; FOLDER holds Data/MyDB.db and the registry stand-in.
namespace children {

struct Result {
    QString out;        ///< what the child wrote to its standard output
    long maxRssKb = 0;  ///< wait4's figure: includes the parent's memory shared before exec
    int exitStatus = -1;
    double spawnedAtMs = 0;  ///< monotonic clock just before the child was started
};

/// Starts this executable with `args` under the offscreen platform and waits for it.
Result run(const QStringList& args);

/// The child side; returns the process exit code.
///  startup FOLDER:       the desktop start-up; prints "shown <ms>" (monotonic clock) once the
///                        main window is exposed and painted.
///  newform FOLDER COUNT: start-up, then opens the New form COUNT times; prints "open <ms>" each.
///  stats FOLDER:         start-up, then opens the statistics form (its run) and refreshes it
///                        once; prints "hwm-before <kB>" and "hwm-after <kB>".
int main(int argc, char** argv);

/// The registry stand-in inside a benchmark folder.
QString hiveFile(const QString& folder);

}  // namespace children
