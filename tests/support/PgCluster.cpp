#include "PgCluster.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <memory>

namespace {

bool asRoot() { return ::geteuid() == 0; }

// Makes `path` (and what it holds) belong to the postgres user when we run as root.
void giveToPostgres(const QString& path) {
    if (!asRoot()) return;
    const passwd* pw = ::getpwnam("postgres");
    if (!pw) return;
    QProcess::execute(QStringLiteral("chown"),
                      {QStringLiteral("-R"), QStringLiteral("postgres:postgres"), path});
}

}  // namespace

bool PgCluster::available() {
    return QFileInfo(binDir() + QStringLiteral("/initdb")).isExecutable() &&
           QFileInfo(binDir() + QStringLiteral("/pg_ctl")).isExecutable() &&
           (!asRoot() || ::getpwnam("postgres") != nullptr);
}

int PgCluster::freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return 0;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

bool PgCluster::run(const QString& program, const QStringList& args, QString* output, int timeoutMs) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setWorkingDirectory(m_dir.isEmpty() ? QDir::tempPath() : m_dir);
    const QString exe = program.contains(u'/') ? program : binDir() + u'/' + program;
    if (asRoot())
        p.start(
            QStringLiteral("runuser"),
            QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), exe} + args);
    else
        p.start(exe, args);
    const bool finished = p.waitForFinished(timeoutMs);
    const QString out = QString::fromLocal8Bit(p.readAll());
    if (output) *output = out;
    if (!finished || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        m_why = QStringLiteral("%1 failed: %2").arg(QFileInfo(exe).fileName(), out.trimmed());
        return false;
    }
    return true;
}

PgCluster::PgCluster() : PgCluster(Options{}) {}

PgCluster::PgCluster(const Options& options) : m_tcp(options.tcp) {
    if (!available()) {
        m_why = QStringLiteral("PostgreSQL 15 binaries not found in %1").arg(binDir());
        return;
    }
    // A short path: the socket's name must fit in 107 bytes.
    char tmpl[] = "/tmp/qvpg-XXXXXX";
    if (!::mkdtemp(tmpl)) {
        m_why = QStringLiteral("cannot make a temporary folder");
        return;
    }
    m_dir = QString::fromLocal8Bit(tmpl);
    QFile::setPermissions(m_dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    m_data = m_dir + QStringLiteral("/data");
    giveToPostgres(m_dir);
    QStringList initArgs{QStringLiteral("-D"),           m_data,
                         QStringLiteral("-U"),           QStringLiteral("postgres"),
                         QStringLiteral("--auth=trust"), QStringLiteral("-E"),
                         QStringLiteral("UTF8"),         QStringLiteral("--locale=C"),
                         QStringLiteral("--no-sync")};
    if (!options.password.isEmpty()) {
        QFile pw(m_dir + QStringLiteral("/pw"));
        if (pw.open(QIODevice::WriteOnly)) pw.write(options.password.toUtf8() + '\n');
        pw.close();
        giveToPostgres(pw.fileName());
        initArgs << QStringLiteral("--pwfile=") + pw.fileName();
    }
    if (!run(QStringLiteral("initdb"), initArgs)) return;
    m_port = m_tcp ? freePort() : 20000 + int(::getpid() % 20000);
    QStringList conf{
        QStringLiteral("unix_socket_directories = '%1'").arg(m_dir),
        QStringLiteral("listen_addresses = '%1'").arg(m_tcp ? QStringLiteral("127.0.0.1") : QString()),
        QStringLiteral("port = %1").arg(m_port),
        QStringLiteral("fsync = %1").arg(options.durable ? QStringLiteral("on") : QStringLiteral("off")),
        QStringLiteral("max_connections = 60"),
    };
    if (!options.serverCert.isEmpty()) {
        QFile::copy(options.serverCert, m_data + QStringLiteral("/server.crt"));
        QFile::copy(options.serverKey, m_data + QStringLiteral("/server.key"));
        QFile::setPermissions(m_data + QStringLiteral("/server.key"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        giveToPostgres(m_data);
        conf << QStringLiteral("ssl = on") << QStringLiteral("ssl_cert_file = 'server.crt'")
             << QStringLiteral("ssl_key_file = 'server.key'");
    }
    {
        QFile f(m_data + QStringLiteral("/postgresql.conf"));
        if (!f.open(QIODevice::Append | QIODevice::Text)) {
            m_why = QStringLiteral("cannot write postgresql.conf");
            return;
        }
        f.write(('\n' + conf.join(u'\n') + '\n').toUtf8());
    }
    if (!options.hbaLines.isEmpty()) {
        QFile f(m_data + QStringLiteral("/pg_hba.conf"));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            m_why = QStringLiteral("cannot write pg_hba.conf");
            return;
        }
        f.write((options.hbaLines.join(u'\n') + '\n').toUtf8());
    }
    start();
}

bool PgCluster::start() {
    m_running =
        run(QStringLiteral("pg_ctl"),
            {QStringLiteral("-D"), m_data, QStringLiteral("-l"), m_dir + QStringLiteral("/log"),
             QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("start")});
    if (m_running && !m_watchdog) {
        // Should this process die without its destructors (a crash, a fatal test error), the
        // server is stopped and its folder removed all the same.
        const QString stop = QStringLiteral("%1/pg_ctl -D '%2' -m immediate stop").arg(binDir(), m_data);
        QProcess::startDetached(
            QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"),
             QStringLiteral("while kill -0 %1 2>/dev/null; do sleep 1; done; %2 >/dev/null 2>&1; rm -rf '%3'")
                 .arg(::getpid())
                 .arg(asRoot() ? QStringLiteral("runuser -u postgres -- ") + stop : stop, m_dir)});
        m_watchdog = true;
    }
    if (!m_running) {
        QFile log(m_dir + QStringLiteral("/log"));
        if (log.open(QIODevice::ReadOnly))
            m_why += QStringLiteral("; log: ") + QString::fromLocal8Bit(log.readAll());
    }
    return m_running;
}

bool PgCluster::stop() {
    if (!m_running) return true;
    m_running = !run(QStringLiteral("pg_ctl"),
                     {QStringLiteral("-D"), m_data, QStringLiteral("-m"), QStringLiteral("fast"),
                      QStringLiteral("-w"), QStringLiteral("stop")});
    return !m_running;
}

bool PgCluster::restart() { return stop() && start(); }

PgCluster::~PgCluster() {
    if (m_running)
        run(QStringLiteral("pg_ctl"),
            {QStringLiteral("-D"), m_data, QStringLiteral("-m"), QStringLiteral("immediate"),
             QStringLiteral("-w"), QStringLiteral("stop")});
    if (!m_dir.isEmpty()) QDir(m_dir).removeRecursively();
}

QString PgCluster::conninfo(const QString& database) const {
    return QStringLiteral("host=%1 port=%2 dbname=%3 user=postgres").arg(m_dir).arg(m_port).arg(database);
}

bool PgCluster::psql(const QString& sql, const QString& database, QString* output) {
    return run(QStringLiteral("psql"),
               {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-A"), QStringLiteral("-t"),
                QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), m_dir,
                QStringLiteral("-p"), QString::number(m_port), QStringLiteral("-U"),
                QStringLiteral("postgres"), QStringLiteral("-d"), database, QStringLiteral("-c"), sql},
               output);
}

QString PgCluster::createDatabase() {
    const QString name = QStringLiteral("t%1").arg(++m_next);
    // Through a connection of our own (a psql process per test is slow), closed again at once
    // (a connection left for the exit would outlive Qt's SQL plugins); FILE_COPY: without fsync
    // a copy of the template is quicker than writing it all to the log.
    const QString admin = QStringLiteral("pgcluster-admin-") + QString::number(m_port);
    bool ok;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), admin);
        db.setConnectOptions(conninfo());
        ok = db.open();
        if (ok) {
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("CREATE DATABASE %1 STRATEGY FILE_COPY").arg(name));
            if (!ok) m_why = q.lastError().text();
        } else {
            m_why = db.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(admin);
    return ok ? name : QString();
}

namespace {
std::unique_ptr<PgCluster>& sharedCluster() {
    static std::unique_ptr<PgCluster> c;
    return c;
}
QString& sharedReason() {
    static QString r;
    return r;
}
}  // namespace

PgCluster* PgCluster::shared() {
    auto& c = sharedCluster();
    if (!c) {
        c = std::make_unique<PgCluster>();
        if (!c->isRunning()) sharedReason() = c->why();
    }
    return c->isRunning() ? c.get() : nullptr;
}

QString PgCluster::sharedWhy() { return sharedReason(); }
