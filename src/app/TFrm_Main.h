#pragma once

#include <QMainWindow>
#include <QMap>
#include <functional>

#include "gui/ui/FormRunner.h"

class QAction;
class QMenu;
class QToolBar;
class Registry;
class StatusPanels;

/// The main window `Frm_Main`: menu, tool bar and status bar over an empty workspace. Each
/// command runs its form modally, a fresh instance for every use. Creating the window
/// registers the data source.
class TFrm_Main : public QMainWindow {
    Q_OBJECT
public:
    /// The forms the commands run.
    enum class Command { New, Query, Edit, Total, About };

    /// `appDir` is the folder whose Data folder holds the database (the executable's folder
    /// when empty); `registry` the hive the registration is written to (the default hive when
    /// null; not owned).
    explicit TFrm_Main(QWidget* parent = nullptr, const QString& appDir = QString(),
                       Registry* registry = nullptr);
    ~TFrm_Main() override;

    /// Replaces the form a command runs (tests use this to run stand-in forms).
    void setFormFactory(Command command, formrunner::Factory factory);
    /// Replaces what the specialty-report item runs.
    void setReportPreview(std::function<void(QWidget*)> preview);
    /// Replaces what an item of the data menu runs, by the item's object name (tests).
    void setDataCommand(const QString& item, std::function<void()> command);

    /// The data menu "数据(&D)": every command beyond the old program.
    QMenu* dataMenu() const { return N_Data; }

    StatusPanels* statusPanels() const { return SB; }
    /// The database file chosen at start-up (beside the program, or in the per-user folder).
    const QString& databaseFile() const { return m_databaseFile; }

public slots:
    void N_CloseClick();
    void N_NewClick();
    void N_EditClick();
    void N_QueryClick();
    void N_TotalClick();
    void A1Click();
    void N15Click();
    /// Writes the application's current hint into status panel 0.
    void ApplicationEvents1Hint(const QString& hint);

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void FormCreate(const QString& appDir, Registry* registry);
    void buildMenu();
    void buildToolBar();
    void buildDataMenu();
    /// What each item of the data menu runs, by object name; an item without a command is not shown.
    void installDataCommands();
    void runForm(Command command);

    QMenu* N1 = nullptr;
    QMenu* H1 = nullptr;
    QMenu* N_Data = nullptr;
    QToolBar* ToolBar1 = nullptr;
    StatusPanels* SB = nullptr;
    QMap<Command, formrunner::Factory> m_factories;
    std::function<void(QWidget*)> m_reportPreview;
    QMap<QString, std::function<void()>> m_dataCommands;
    QString m_databaseFile;
};
