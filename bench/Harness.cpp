#include "Harness.h"

#include <sqlite3.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <QFile>
#include <QSysInfo>
#include <algorithm>
#include <chrono>
#include <cmath>

namespace bench {

double nowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

double Sample::quantile(double q) const {
    if (ms.empty()) return std::nan("");
    std::vector<double> s = ms;
    std::sort(s.begin(), s.end());
    const double pos = q * double(s.size() - 1);
    const auto lo = std::size_t(std::floor(pos));
    const auto hi = std::size_t(std::ceil(pos));
    return s[lo] + (s[hi] - s[lo]) * (pos - double(lo));
}

std::vector<Sample> sideBySide(const std::vector<Variant>& variants, int reps, int warmup) {
    std::vector<Sample> out(variants.size());
    std::vector<int> rounds(variants.size(), 0);
    const std::size_t n = variants.size();
    for (int r = 0; r < warmup + reps; ++r) {
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t v = (k + std::size_t(r)) % n;  // rotate who goes first
            const double t0 = nowMs();
            variants[v].run(rounds[v]++);
            const double t1 = nowMs();
            if (r >= warmup) out[v].ms.push_back(t1 - t0);
        }
    }
    return out;
}

namespace {

QString fileSystemName(long type) {
    switch (static_cast<unsigned long>(type)) {
        case 0xEF53:
            return QStringLiteral("ext2/3/4");
        case 0x58465342:
            return QStringLiteral("xfs");
        case 0x9123683E:
            return QStringLiteral("btrfs");
        case 0x2FC12FC1:
            return QStringLiteral("zfs");
        case 0xF2F52010:
            return QStringLiteral("f2fs");
        case 0x794C7630:
            return QStringLiteral("overlayfs");
        case 0x6969:
            return QStringLiteral("nfs");
        case 0x01021994:
            return QStringLiteral("tmpfs");
        case 0x858458F6:
            return QStringLiteral("ramfs");
        case 0x65735546:
            return QStringLiteral("fuse");
        case 0x5346544E:
            return QStringLiteral("ntfs");
        case 0x4D44:
            return QStringLiteral("vfat");
        default:
            return QStringLiteral("unknown (0x%1)").arg(qulonglong(type), 0, 16);
    }
}

}  // namespace

Machine describe(const QString& dataFolder) {
    Machine m;
    m.cpus = int(sysconf(_SC_NPROCESSORS_ONLN));
    QFile cpuinfo(QStringLiteral("/proc/cpuinfo"));
    if (cpuinfo.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : cpuinfo.readAll().split('\n')) {
            if (line.startsWith("model name")) {
                m.model = QString::fromUtf8(line.mid(line.indexOf(':') + 1)).trimmed();
                break;
            }
        }
    }
    m.kernel = QSysInfo::kernelType() + u' ' + QSysInfo::kernelVersion();
    struct statfs fs {};
    if (::statfs(QFile::encodeName(dataFolder).constData(), &fs) == 0) {
        m.fileSystem = fileSystemName(long(fs.f_type));
        m.memoryBacked = fs.f_type == 0x01021994 || fs.f_type == 0x858458F6;
    } else {
        m.fileSystem = QStringLiteral("unknown");
    }
    m.sqlite = QString::fromLatin1(sqlite3_libversion());
    m.qt = QString::fromLatin1(qVersion());
#ifdef NDEBUG
    m.buildType = QStringLiteral("optimised (NDEBUG)");
#else
    m.buildType = QStringLiteral("NOT optimised: use a Release build");
#endif
    return m;
}

QString ms(double value) {
    if (std::isnan(value)) return QStringLiteral("–");
    if (value >= 100) return QString::number(value, 'f', 0);
    if (value >= 10) return QString::number(value, 'f', 1);
    if (value >= 1) return QString::number(value, 'f', 2);
    return QString::number(value, 'f', 3);
}

QString ratio(double value) {
    if (std::isnan(value) || std::isinf(value)) return QStringLiteral("–");
    return QString::number(value, 'f', value >= 10 ? 0 : 2) + QStringLiteral("×");
}

}  // namespace bench
