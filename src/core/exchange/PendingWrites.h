#pragma once

#include <QString>
#include <QStringList>

namespace exchange {

/// A note of the folder a writer is filling with temporaries, kept for as long as the writer
/// runs, so that what a killed writer left can be found again at the program's next start
/// (the program does not otherwise know where the last exports went). One small locked file
/// per running writer in the user's state folder ($XDG_STATE_HOME/quenvale/pending-writes,
/// by default ~/.local/state/quenvale/pending-writes); a note whose lock is free belongs to a
/// writer that is gone. Notes are a help, never a condition: without them the temporaries
/// are still removed at the next write into the same folder.
class PendingWrites {
public:
    /// Notes `folder` (best effort: nothing happens when the state folder cannot be written).
    explicit PendingWrites(const QString& folder);
    /// Removes the note.
    ~PendingWrites();
    PendingWrites(const PendingWrites&) = delete;
    PendingWrites& operator=(const PendingWrites&) = delete;

    /// Sweeps the folder of every note whose writer is gone (temporaries::sweep) and removes
    /// the note. Returns the temporaries removed.
    static QStringList sweepAll();
    /// Where the notes are kept.
    static QString notesFolder();

private:
    QString m_note;
    int m_fd = -1;
};

}  // namespace exchange
