#include "Startup.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/DailyBackup.h"
#include "app/TFrm_Main.h"
#include "core/exchange/PendingWrites.h"
#include "core/report/Fonts.h"
#include "core/store/DataLocation.h"
#include "core/store/DataModule.h"

namespace startup {

void prepareApplication(QApplication& app) {
    app.setApplicationName(QLatin1String(DataLocation::kApplicationName));
    fonts::install();
    auto* qt = new QTranslator(&app);
    if (qt->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(qt);
}

int runDesktop(QApplication& app) {
    prepareApplication(app);
    TFrm_Main Frm_Main;  // its creation registers the data source
    TDM DM(nullptr, QString(), Frm_Main.databaseFile());
    Frm_Main.showMaximized();
    // What an export killed last time left beside its target (the notes say where).
    exchange::PendingWrites::sweepAll();
    DailyBackup::start(&Frm_Main);  // the day's backup, after the window is up
    return app.exec();
}

}  // namespace startup
