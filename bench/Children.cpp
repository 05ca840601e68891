#include "Children.h"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QWindow>
#include <cstdio>
#include <vector>

#include "Harness.h"
#include "app/Application.h"
#include "app/Startup.h"
#include "app/TFrm_Main.h"
#include "core/store/DataModule.h"
#include "core/store/Registry.h"
#include "gui/forms/TFrm_New.h"
#include "gui/stats/TFrm_Total.h"

extern char** environ;

namespace children {

QString hiveFile(const QString& folder) { return folder + QStringLiteral("/hive/HKEY_LOCAL_MACHINE.reg"); }

Result run(const QStringList& args) {
    Result result;
    const QByteArray exe = QFile::encodeName(QCoreApplication::applicationFilePath());
    std::vector<QByteArray> storage{exe, QByteArrayLiteral("--child")};
    for (const QString& a : args) storage.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& s : storage) argv.push_back(s.data());
    argv.push_back(nullptr);

    int fds[2];
    if (::pipe(fds) != 0) return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    pid_t pid = 0;
    result.spawnedAtMs = bench::nowMs();
    const int rc = posix_spawn(&pid, exe.constData(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        return result;
    }
    QByteArray out;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fds[0], buffer, sizeof buffer)) > 0) out.append(buffer, got);
    ::close(fds[0]);
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    result.out = QString::fromUtf8(out);
    result.maxRssKb = usage.ru_maxrss;
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

namespace {

long highWaterKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

// Until the window is exposed, then once more for its first paint.
void waitShown(QWidget* w) {
    const double limit = bench::nowMs() + 10000;
    while (!(w->windowHandle() && w->windowHandle()->isExposed()) && bench::nowMs() < limit)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    const QString mode = QString::fromLocal8Bit(argv[2]);
    const QString folder = QString::fromLocal8Bit(argv[3]);
    const int count = argc > 4 ? std::atoi(argv[4]) : 1;

    // As the desktop start-up does it, with the benchmark's folder and registry stand-in.
    Application app(argc, argv);
    startup::prepareApplication(app);
    Registry registry(hiveFile(folder));
    TFrm_Main Frm_Main(nullptr, folder, &registry);
    TDM DM(nullptr, hiveFile(folder), Frm_Main.databaseFile());
    Frm_Main.showMaximized();
    waitShown(&Frm_Main);
    if (mode == QLatin1String("startup")) {
        std::printf("shown %.3f\n", bench::nowMs());
        return 0;
    }
    if (mode == QLatin1String("newform")) {
        for (int i = 0; i < count; ++i) {
            const double t0 = bench::nowMs();
            auto* form = new TFrm_New(&Frm_Main);
            form->show();
            waitShown(form);
            const double t1 = bench::nowMs();
            std::printf("open %.3f\n", t1 - t0);
            delete form;
            QCoreApplication::processEvents();
        }
        return 0;
    }
    if (mode == QLatin1String("stats")) {
        std::printf("hwm-before %ld\n", highWaterKb());
        auto* form = new TFrm_Total(&Frm_Main);  // its creation is the first run
        form->show();
        waitShown(form);
        form->Btn_RefeshClick();
        std::printf("hwm-after %ld\n", highWaterKb());
        delete form;
        return 0;
    }
    return 2;
}

}  // namespace children
