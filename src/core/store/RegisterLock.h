#pragma once

#include <QString>

/// An advisory lock on a register file, held between programs: every program that works on a
/// register holds it shared for as long as it does (the data module TDM takes it), and a
/// restore, which puts a new file in the place of the one every open connection reads, needs
/// it alone. It is flock(2) on a file beside the register (".MyDB.db.lock"), never on the
/// database file itself (SQLite's own locks live there), so the kernel lets go of it when a
/// program ends in any way, killed included.
///
/// Within one process the holds on one register share one lock: a restore run by a program
/// that holds its register shared gets it alone as long as no other program holds it.
class RegisterLock {
public:
    enum class Mode {
        Shared,  ///< waits a few seconds for a restore in progress; not held when it cannot be had
        Alone,   ///< tried once, never waited for
    };

    RegisterLock(const QString& databaseFile, Mode mode);
    ~RegisterLock();
    RegisterLock(const RegisterLock&) = delete;
    RegisterLock& operator=(const RegisterLock&) = delete;

    /// True when the lock is held as asked. A lock that cannot exist (the folder cannot be
    /// written) counts as held: no other program can hold it either.
    bool held() const { return m_held; }

    /// The lock file of a register.
    static QString lockFile(const QString& databaseFile);

private:
    QString m_key;
    Mode m_mode;
    bool m_held = false;
    bool m_counted = false;  // this object counts in the process's holds
};
