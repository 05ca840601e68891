#pragma once

#include <QString>
#include <functional>

class QWidget;

/// The data menu's backup, restore and merge commands of the desktop program. They call the
/// same code as quenvale-cli; the windows only add file dialogs, progress and confirmations.
namespace datacommands {

/// "备份数据库(&B)...": a file dialog (default name in Data/Backup), then a checked copy.
void backupNow(QWidget* parent);
/// "从备份恢复(&R)...": pick a file, check it, show what it holds, confirm, restore.
void restore(QWidget* parent);
/// "合并其他登记册(&M)...": pick another register, show the plan (Frm_Merge), write it.
void merge(QWidget* parent);

/// Which file dialog asks: 0 save a backup, 1 open a backup, 2 open another register.
/// Tests replace the dialogs with a function that returns the path (empty: cancelled).
using FileChooser = std::function<QString(int kind, const QString& suggested)>;
void setFileChooser(FileChooser chooser);

}  // namespace datacommands
