#pragma once

#include <QString>
#include <QStringList>

/// A throwaway PostgreSQL 15 cluster for tests: initdb into a fresh temporary folder, the server
/// listening only on a Unix socket inside that folder (and, when asked, on 127.0.0.1 at a free
/// port), stopped and removed when the object goes. Never touches the system's own cluster. When
/// the tests run as root the server runs as the `postgres` user (the folder is then its own).
class PgCluster {
public:
    struct Options {
        bool tcp = false;      ///< also listen on 127.0.0.1 at a free port
        bool durable = false;  ///< fsync on, as a real server runs (benchmarks)
        QString serverCert;    ///< ssl on, with these files (copied into the cluster)
        QString serverKey;
        QStringList hbaLines;  ///< replace pg_hba.conf with these lines
        QString password;      ///< the superuser's password, for clusters that ask for one
    };

    PgCluster();
    explicit PgCluster(const Options& options);
    ~PgCluster();
    PgCluster(const PgCluster&) = delete;
    PgCluster& operator=(const PgCluster&) = delete;

    /// False (with why()) when the binaries are missing or the server would not start.
    bool isRunning() const { return m_running; }
    QString why() const { return m_why; }

    QString socketDir() const { return m_dir; }
    int port() const { return m_port; }
    /// A libpq connection string for `database` over the socket, as the superuser.
    QString conninfo(const QString& database = QStringLiteral("postgres")) const;
    /// Runs one SQL command as the superuser in `database` (psql); false on failure.
    bool psql(const QString& sql, const QString& database = QStringLiteral("postgres"),
              QString* output = nullptr);
    /// Creates a fresh database and returns its name ("t1", "t2", ...).
    QString createDatabase();

    /// Stops (fast) and starts the server again, keeping its data: a server that went away.
    bool restart();
    bool stop();
    bool start();

    /// The cluster shared by every test of this process (started on first use); nullptr when
    /// no PostgreSQL 15 binaries are installed or it would not start (the reason in sharedWhy()).
    static PgCluster* shared();
    static QString sharedWhy();
    static QString binDir() { return QStringLiteral("/usr/lib/postgresql/15/bin"); }
    static bool available();
    /// A free TCP port on 127.0.0.1.
    static int freePort();

private:
    bool run(const QString& program, const QStringList& args, QString* output = nullptr,
             int timeoutMs = 60000);
    QString m_dir;
    QString m_data;
    int m_port = 0;
    bool m_tcp = false;
    bool m_running = false;
    bool m_watchdog = false;
    QString m_why;
    int m_next = 0;
};
