#pragma once

#include <QString>
#include <QStringList>

/// The hidden temporary files a writer fills beside its target before renaming them into place:
/// ".<name>.quenvale-XXXXXX", mode 0600. A writer holds an advisory lock (flock) on each of its
/// temporaries for as long as it runs; the kernel drops the lock when the writer dies, however
/// it dies. What a killed writer left is therefore told apart from what a running one is
/// filling, by the lock and not by a guess about its age.
namespace exchange::temporaries {

/// A temporary file, created and locked.
struct Held {
    QString path;
    int fd = -1;  ///< open for as long as the lock is held
};

/// True for a file name of this pattern.
bool isTemporaryName(const QString& fileName);

/// Creates and locks a temporary for `finalPath` in its folder. Raises ExportError when the
/// folder cannot be written.
Held create(const QString& finalPath);

/// Flushes the temporary's data to the disk; false when that failed.
bool sync(const Held& held);

/// Drops the lock (after the temporary was renamed or removed).
void release(Held& held);

/// Removes from `folder` the temporaries that no running writer holds: files of the pattern,
/// plain files that belong to this user and whose lock can be taken. (Where the file system
/// has no locks, only those older than a day.) Returns the removed paths.
QStringList sweep(const QString& folder);

}  // namespace exchange::temporaries
