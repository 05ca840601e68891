#include "ProgressRunner.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <exception>
#include <memory>

namespace progressrunner {

namespace {

constexpr int kScale = 1000;  // the bar counts thousandths of the work

std::unique_ptr<QProgressDialog> dialogFor(QWidget* parent, const Window& w) {
    auto p = std::make_unique<QProgressDialog>(w.text, QStringLiteral("取消"), 0, kScale, parent);
    p->setObjectName(w.objectName);
    p->setWindowTitle(w.title);
    p->setWindowModality(Qt::WindowModal);
    p->setMinimumDuration(300);  // short work ends before the window would show
    p->setAutoReset(false);
    p->setAutoClose(false);
    p->setValue(0);
    return p;
}

int scaled(qint64 done, qint64 total) {
    if (total <= 0) return 0;
    return int(std::clamp<qint64>(done, 0, total) * kScale / total);
}

}  // namespace

void onThisThread(QWidget* parent, const Window& window, const std::function<void(const ProgressFn&)>& work) {
    const std::unique_ptr<QProgressDialog> dialog = dialogFor(parent, window);
    work([&](qint64 done, qint64 total) {
        dialog->setValue(scaled(done, total));
        QCoreApplication::processEvents();
        return !dialog->wasCanceled();
    });
    dialog->close();
}

void inWorker(QWidget* parent, const Window& window, const std::function<void(const ProgressFn&)>& work) {
    const std::unique_ptr<QProgressDialog> dialog = dialogFor(parent, window);
    std::atomic<bool> cancelled{false};
    std::atomic<qint64> done{0}, total{0};
    std::exception_ptr failure;
    QThread* thread = QThread::create([&] {
        try {
            work([&](qint64 d, qint64 t) {
                total = t;
                done = d;
                return !cancelled.load();
            });
        } catch (...) {
            failure = std::current_exception();
        }
    });
    QEventLoop loop;
    QObject::connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
    QObject::connect(dialog.get(), &QProgressDialog::canceled, &loop, [&] { cancelled = true; });
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, dialog.get(), [&] { dialog->setValue(scaled(done, total)); });
    timer.start(100);
    thread->start();
    loop.exec();
    thread->wait();
    delete thread;
    dialog->close();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace progressrunner
