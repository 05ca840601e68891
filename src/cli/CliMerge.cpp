// quenvale-cli merge: another register's questionnaires into ours.
#include <QCoreApplication>
#include <QFileInfo>

#include "cli/CliSupport.h"
#include "cli/CliVerbs.h"
#include "core/backup/Snapshots.h"
#include "core/exchange/Captions.h"
#include "core/exchange/MergeReport.h"
#include "core/exchange/RegisterMerge.h"
#include "core/exchange/TargetRule.h"
#include "core/store/DataModule.h"
#include "core/store/SurveyStore.h"

namespace cli {

const char* const kMergeHelp =
    "Usage: quenvale-cli merge FILE [--prefer ours|theirs] [--dry-run] [--report CONFLICTS.csv [--force]]\n"
    "\n"
    "Merges another register's MyDB.db into this one, questionnaire by questionnaire:\n"
    "a new identity number is added whole; the same number with the same answers is skipped;\n"
    "the same number with different answers is a conflict (ours is kept unless --prefer\n"
    "theirs). Answer rows without their BasicInfo row, and rows that match no option, are not\n"
    "imported. Only the questionnaires are taken: nothing else of FILE (no trigger, view or\n"
    "other table). Everything is written in one transaction, after a copy of this register\n"
    "(Data/Backup/MyDB-YYYYMMDD-HHMMSS-before-merge.db, kept for 30 days).\n"
    "\n"
    "  --prefer ours|theirs   which questionnaire a conflict keeps (default: ours)\n"
    "  --dry-run              only report what would happen\n"
    "  --report FILE          write the conflicts, page by page, and what is not importable as a\n"
    "                         CSV for spreadsheets (identity numbers text, no formulas)\n"
    "  --force                replace the report FILE if it exists (never a symbolic link)\n"
    "\n"
    "Prints: added, identical, conflicts, not importable, written.\n";

int runMerge(int& argc, char** argv, const QStringList& args) {
    const Args a = parse(args, {QStringLiteral("--prefer"), QStringLiteral("--report")},
                         {QStringLiteral("--dry-run"), QStringLiteral("--force")});
    const QString prefer = a.value(QStringLiteral("--prefer"), QStringLiteral("ours"));
    if (!a.error.isEmpty() || a.positional.size() != 1 ||
        (prefer != QLatin1String("ours") && prefer != QLatin1String("theirs"))) {
        err(!a.error.isEmpty()         ? a.error
            : a.positional.size() != 1 ? QStringLiteral("give one register FILE")
                                       : QStringLiteral("--prefer takes ours or theirs"));
        return Usage;
    }
    const QString report = a.value(QStringLiteral("--report"));
    const bool replace = a.has(QStringLiteral("--force"));
    if (refuseUndecodedPath(report, argc, argv)) return Failure;
    if (!report.isEmpty()) {
        const QString refusal = exchange::targetRefusal(report, QStringLiteral("csv"), replace);
        if (!refusal.isEmpty()) {
            err(refusal);
            return Failure;
        }
    }
    QCoreApplication app(argc, argv);
    const auto dm = openRegister();
    if (!backup::embeddedEngine()) {
        err(QStringLiteral("登记册保存在数据库服务器上，合并只用于本机的数据库文件。本程序不做任何操作。"));
        return Failure;
    }
    try {
        RegisterMerge merge(fileArgument(argc, argv, a.positional.first()));
        Progress p(QStringLiteral("reading"));
        auto line = [&p](qint64 done, qint64 total) {
            p.update(done, total);
            return true;
        };
        MergePlan plan = merge.plan(line);
        p.finish();
        if (prefer == QLatin1String("theirs"))
            for (MergeConflict& c : plan.conflicts) c.takeTheirs = true;
        QString error;
        if (!report.isEmpty() && !mergereport::write(plan, report, &error, replace)) {
            err(QStringLiteral("没有写出合并报告，登记册没有改动：%1").arg(error));
            return Failure;
        }
        int written = 0;
        if (!a.has(QStringLiteral("--dry-run"))) {
            Progress w(QStringLiteral("writing"));
            written = merge.apply(plan, line);
            w.finish();
        }
        out(QStringLiteral("added\t%1\nidentical\t%2\nconflicts\t%3\nnot importable\t%4\nwritten\t%5")
                .arg(plan.added)
                .arg(plan.identical)
                .arg(plan.conflicts.size())
                .arg(plan.problems.size())
                .arg(written));
        return Ok;
    } catch (const sqlitefile::FileError& e) {
        err(e.message);
    } catch (const StoreFailure& e) {
        // The page as the clerk knows it, not the table's name.
        const QString table = QString::fromUtf8(e.what());
        const QString page = captions::ofStorage(table);
        err(QStringLiteral("合并失败（%1），当前的登记册没有改动。").arg(page.isEmpty() ? table : page));
    } catch (const std::exception& e) {
        err(QString::fromUtf8(e.what()));
    }
    return Failure;
}

}  // namespace cli
