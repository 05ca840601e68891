#include "Verbs.h"

namespace cli {

const QList<Verb>& verbs() {
    static const QList<Verb> all = {kReport, kCheck,   kExport,  kExportStats, kBackup,
                                    kBackups, kRestore, kMerge, kDataSource};
    return all;
}

}  // namespace cli
