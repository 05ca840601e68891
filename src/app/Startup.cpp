#include "Startup.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/Fonts.h"
#include "store/DataModule.h"

namespace startup {

void prepareApplication(QApplication& app) {
    app.setApplicationName(QStringLiteral("Quenvale"));
    app.setApplicationDisplayName(QStringLiteral("Quenvale社区管理信息系统"));
    fonts::install();
    auto* qt = new QTranslator(&app);
    if (qt->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(qt);
}

int runDesktop(QApplication& app) {
    prepareApplication(app);
    TDM dm;
    return app.exec();
}

}  // namespace startup
