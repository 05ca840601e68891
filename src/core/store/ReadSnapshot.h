#pragma once

#include <QString>

/// Runs a series of reads on one consistent snapshot of a server database: one read-only
/// transaction at repeatable read, each statement behind a savepoint so that one failing
/// statement leaves the others running. Counts gathered while other clerks store then all
/// describe the same moment. On the file it does nothing (the reads run as before).
class ReadSnapshot {
public:
    explicit ReadSnapshot(const QString& connectionName);
    ~ReadSnapshot();
    ReadSnapshot(const ReadSnapshot&) = delete;
    ReadSnapshot& operator=(const ReadSnapshot&) = delete;

    /// True when a snapshot transaction is open.
    bool active() const { return m_active; }
    /// Runs `read` behind a savepoint; any failure of it is undone before the next one.
    template <typename Read>
    void run(Read read) {
        mark();
        read();
        undo();
    }

private:
    void mark();
    void undo();
    QString m_connection;
    bool m_active = false;
};
