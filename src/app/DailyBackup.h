#pragma once

#include <QObject>
#include <QString>
#include <atomic>

class QThread;
class TFrm_Main;

/// The day's automatic backup: at the first start of the day, after the main window is shown,
/// a copy of the register is made in a worker thread (the window stays responsive). A failure
/// is reported once in the status bar's panel 1 and in the log; the next start tries again.
class DailyBackup : public QObject {
    Q_OBJECT
public:
    /// Starts the day's backup for the main window's register when it is due (call after show()).
    static DailyBackup* start(TFrm_Main* main);
    ~DailyBackup() override;

    /// True once the work has ended (tests).
    bool finished() const { return m_finished; }

signals:
    void done(bool ok, const QString& text);

private:
    DailyBackup(TFrm_Main* main, QString file);
    TFrm_Main* m_main;
    QString m_file;
    QThread* m_thread = nullptr;
    std::atomic<bool> m_stop{false};
    bool m_finished = false;
};
