#include "CliSupport.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <cstdio>

#include "core/backup/NativePath.h"
#include "core/store/DataLocation.h"
#include "core/store/DataModule.h"
#include "core/store/DataSourceRegistration.h"
#include "core/store/Registry.h"
#include "core/store/Schema.h"

namespace cli {

void err(const QString& text) {
    std::fprintf(stderr, "quenvale-cli: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

void out(const QString& text) {
    std::fprintf(stdout, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

std::unique_ptr<TDM> openRegister() {
    const DataLocation loc = DataLocation::resolve(QCoreApplication::applicationDirPath());
    QString error;
    if (!schema::ensureDatabaseFile(loc.file, &error))
        err(QStringLiteral("cannot create %1: %2").arg(loc.file, error));
    Registry hive;
    try {
        registration::registerDataSource(hive, loc.dbq);
    } catch (const Registry::WriteError& e) {
        err(QString::fromUtf8(e.what()));
    }
    return std::make_unique<TDM>(nullptr, QString(), loc.file);
}

namespace {
qint64 monotonicMs() {
    static QElapsedTimer t;
    if (!t.isValid()) t.start();
    return t.elapsed();
}
}  // namespace

Progress::Progress(QString what) : m_what(std::move(what)), m_tty(::isatty(STDERR_FILENO) == 1) {}

Progress::~Progress() { finish(); }

void Progress::update(qint64 done, qint64 total) {
    if (!m_tty) return;
    const qint64 now = monotonicMs();
    if (m_open && now - m_lastMs < 100 && done != total) return;  // at most ten redraws a second
    m_lastMs = now;
    QString line = total > 0 ? QStringLiteral("%1: %2 / %3 (%4%)")
                                   .arg(m_what)
                                   .arg(done)
                                   .arg(total)
                                   .arg(total ? done * 100 / total : 0)
                             : QStringLiteral("%1: %2").arg(m_what).arg(done);
    std::fprintf(stderr, "\r%s\033[K", line.toLocal8Bit().constData());
    std::fflush(stderr);
    m_open = true;
}

void Progress::finish() {
    if (!m_open) return;
    std::fputc('\n', stderr);
    std::fflush(stderr);
    m_open = false;
}

QString fileArgument(int argc, char** argv, const QString& decoded) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray raw(argv[i]);
        if (QString::fromLocal8Bit(raw) == decoded) return nativepath::fromNative(raw);
    }
    return decoded;
}

bool reportBadUsage(const Args& a, int positional) {
    if (!a.error.isEmpty()) {
        err(a.error);
        return true;
    }
    if (a.positional.size() > positional) {
        err(QStringLiteral("unexpected argument: %1").arg(a.positional.at(positional)));
        return true;
    }
    return false;
}

bool refuseUndecodedPath(const QString& path, int argc, char** argv) {
    if (path.isEmpty()) return false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray raw(argv[i]);
        // Qt reads file names as UTF-8: other bytes come back as U+FFFD, i.e. as another name.
        if (QString::fromLocal8Bit(raw) == path && QFile::encodeName(path) != raw) {
            err(QStringLiteral(
                    "文件名“%1”含有不是 UTF-8 的字节，本程序无法按这个名字写入文件，请换一个文件名。"
                    "没有写入任何文件。")
                    .arg(path));
            return true;
        }
    }
    return false;
}

Args parse(const QStringList& args, const QStringList& valueOptions, const QStringList& flagOptions) {
    Args a;
    for (int i = 0; i < args.size(); ++i) {
        const QString& s = args[i];
        if (valueOptions.contains(s)) {
            if (i + 1 >= args.size()) {
                a.error = QStringLiteral("%1 needs a value").arg(s);
                return a;
            }
            a.options[s] = args[++i];
        } else if (flagOptions.contains(s)) {
            a.flags << s;
        } else if (s.startsWith(QLatin1String("--")) && s.size() > 2) {
            a.error = QStringLiteral("unknown option: %1").arg(s);
            return a;
        } else {
            a.positional << s;
        }
    }
    return a;
}

}  // namespace cli
