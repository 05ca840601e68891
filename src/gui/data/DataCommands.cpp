#include "DataCommands.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLoggingCategory>

#include "core/backup/Restore.h"
#include "core/backup/Snapshots.h"
#include "core/exchange/RegisterMerge.h"
#include "core/exchange/TargetRule.h"
#include "core/store/SurveyStore.h"
#include "gui/data/TFrm_Merge.h"
#include "gui/ui/FormRunner.h"
#include "gui/ui/ProgressRunner.h"
#include "gui/ui/Prompt.h"

Q_LOGGING_CATEGORY(lcData, "quenvale.backup")

namespace datacommands {

namespace {

const QString kBackupCaption = QStringLiteral("备份数据库");
const QString kRestoreCaption = QStringLiteral("从备份恢复");
const QString kMergeCaption = QStringLiteral("合并其他登记册");

FileChooser& chooser() {
    static FileChooser c;
    return c;
}

QString choose(QWidget* parent, int kind, const QString& suggested) {
    if (chooser()) return chooser()(kind, suggested);
    const QString filter = QStringLiteral("数据库文件 (*.db);;所有文件 (*)");
    switch (kind) {
        case 0:
            return QFileDialog::getSaveFileName(parent, kBackupCaption, suggested, filter);
        case 1:
            return QFileDialog::getOpenFileName(parent, kRestoreCaption, suggested, filter);
        default:
            return QFileDialog::getOpenFileName(parent, kMergeCaption, suggested, filter);
    }
}

bool embeddedOrSay(QWidget* parent, const QString& caption) {
    if (backup::embeddedEngine()) return true;
    inform(parent, backup::serverMessage(), caption);
    return false;
}

// File work in a worker thread; the register's own work on this thread.
void inWorker(QWidget* parent, const QString& label, const std::function<void(const ProgressFn&)>& work) {
    progressrunner::inWorker(parent, {label}, work);
}
void inSteps(QWidget* parent, const QString& label, const std::function<void(const ProgressFn&)>& work) {
    progressrunner::onThisThread(parent, {label}, work);
}

void report(QWidget* parent, const sqlitefile::FileError& e, const QString& caption) {
    qCWarning(lcData) << caption << e.detail;
    inform(parent, e.message, caption);
}

}  // namespace

void setFileChooser(FileChooser c) { chooser() = std::move(c); }

void backupNow(QWidget* parent) {
    if (!embeddedOrSay(parent, kBackupCaption)) return;
    backup::Snapshots snapshots(backup::databaseFile());
    if (const QString refused = snapshots.folderRefusal(); !refused.isEmpty()) {
        inform(parent, refused, kBackupCaption);
        return;
    }
    sqlitefile::makePrivateFolder(snapshots.folder());
    const QString path = choose(parent, 0, snapshots.defaultTarget());
    if (path.isEmpty()) return;
    // The file dialog has asked about an existing file; a link or a wrong extension it does not catch.
    const QString refusal = exchange::targetRefusal(path, QStringLiteral("db"), true);
    if (!refusal.isEmpty()) {
        inform(parent, refusal, kBackupCaption);
        return;
    }
    try {
        QString made;
        // The file dialog has already asked before an existing file is replaced.
        inWorker(parent, QStringLiteral("正在备份数据库..."),
                 [&](const ProgressFn& p) { made = snapshots.backupNow(p, path, true); });
        inform(parent, QStringLiteral("数据库已备份到\n%1").arg(QDir::toNativeSeparators(made)),
               kBackupCaption);
    } catch (const sqlitefile::FileError& e) {
        report(parent, e, kBackupCaption);
    } catch (const Cancelled&) {
        inform(parent, QStringLiteral("备份已取消，没有留下备份文件。"), kBackupCaption);
    }
}

void restore(QWidget* parent) {
    if (!embeddedOrSay(parent, kRestoreCaption)) return;
    backup::Snapshots snapshots(backup::databaseFile());
    const QString file = choose(parent, 1, snapshots.folder());
    if (file.isEmpty()) return;
    const backup::Inspection check = backup::inspect(file);
    if (!check.ok) {
        inform(parent, check.message + backup::kNotRestored, kRestoreCaption);
        return;
    }
    if (!confirm(parent, check.summary(file), kRestoreCaption)) return;
    try {
        backup::PreparedRestore prepared;
        inWorker(parent, QStringLiteral("正在恢复数据库..."), [&](const ProgressFn& p) {
            prepared = backup::prepareRestore(file, snapshots, p);
        });
        backup::commitRestore(prepared);
        QString text = QStringLiteral("已从备份恢复 %1 份问卷。\n恢复前的登记册已备份到\n%2")
                           .arg(check.questionnaires)
                           .arg(QDir::toNativeSeparators(prepared.kept));
        if (const QString other = check.leftBehind(); !other.isEmpty()) text += u'\n' + other;
        if (prepared.rowsLeftOut > 0) text += u'\n' + backup::rowsLeftOutMessage(prepared.rowsLeftOut);
        inform(parent, text, kRestoreCaption);
    } catch (const sqlitefile::FileError& e) {
        report(parent, e, kRestoreCaption);
    } catch (const Cancelled&) {
        inform(parent, QStringLiteral("恢复已取消，") + backup::kNotRestored, kRestoreCaption);
    }
}

void merge(QWidget* parent) {
    if (!embeddedOrSay(parent, kMergeCaption)) return;
    const QString file = choose(parent, 2, QFileInfo(backup::databaseFile()).absolutePath());
    if (file.isEmpty()) return;
    const QString unchanged = QStringLiteral("当前的登记册没有改动。");
    try {
        RegisterMerge merge(file);
        MergePlan plan;
        inSteps(parent, QStringLiteral("正在比较两份登记册..."),
                [&](const ProgressFn& p) { plan = merge.plan(p); });
        bool accepted = false;
        formrunner::run(parent, [&](QWidget* p) -> QDialog* {
            auto* form = new TFrm_Merge(p, &plan);
            QObject::connect(form, &QDialog::accepted, [&] { accepted = true; });
            return form;
        });
        if (!accepted) return;
        int written = 0;
        inSteps(parent, QStringLiteral("正在合并..."),
                [&](const ProgressFn& p) { written = merge.apply(plan, p); });
        inform(parent,
               QStringLiteral("合并完成：新增 %1 份问卷，%2 份冲突采用对方的问卷，共写入 %3 份。")
                   .arg(plan.added)
                   .arg(plan.takenFromTheirs())
                   .arg(written),
               kMergeCaption);
    } catch (const sqlitefile::FileError& e) {
        report(parent, e, kMergeCaption);
    } catch (const Cancelled&) {
        inform(parent, QStringLiteral("合并已取消，") + unchanged, kMergeCaption);
    } catch (const StoreFailure& e) {
        qCWarning(lcData) << "merge failed at" << e.what();
        inform(parent, QStringLiteral("合并失败，") + unchanged, kMergeCaption);
    }
}

}  // namespace datacommands
