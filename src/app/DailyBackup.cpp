#include "DailyBackup.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QThread>

#include "app/TFrm_Main.h"
#include "core/backup/Snapshots.h"
#include "gui/ui/StatusPanels.h"

Q_LOGGING_CATEGORY(lcDaily, "quenvale.backup.daily")

DailyBackup* DailyBackup::start(TFrm_Main* main) {
    if (!backup::embeddedEngine()) return nullptr;  // a server keeps its own backups
    return new DailyBackup(main, backup::databaseFile());
}

DailyBackup::DailyBackup(TFrm_Main* main, QString file)
    : QObject(main), m_main(main), m_file(std::move(file)) {
    connect(this, &DailyBackup::done, this, [this](bool ok, const QString& text) {
        m_finished = true;
        if (!text.isEmpty()) m_main->statusPanels()->setPanelText(1, text);
        if (!ok) qCWarning(lcDaily).noquote() << text;
    });
    m_thread = QThread::create([this] {
        try {
            backup::Snapshots snapshots(m_file);
            snapshots.removeLeftovers();
            if (!snapshots.dailyDue()) {
                emit done(true, QString());
                return;
            }
            const QString made = snapshots.backupNow([this](qint64, qint64) { return !m_stop.load(); });
            emit done(true, QStringLiteral("今天的数据已自动备份：%1").arg(QFileInfo(made).fileName()));
        } catch (const sqlitefile::FileError& e) {
            qCWarning(lcDaily).noquote() << e.detail;
            emit done(false, QStringLiteral("自动备份失败：%1下次启动时再试。").arg(e.message));
        } catch (const Cancelled&) {
            emit done(true, QString());
        }
    });
    m_thread->start(QThread::LowPriority);
}

DailyBackup::~DailyBackup() {
    // The program is closing: stop between two steps; nothing half-written stays behind.
    m_stop = true;
    m_thread->wait();
    delete m_thread;
}
