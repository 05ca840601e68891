// quenvale-report-preview: the specialty report's preview window for
// `quenvale-cli report specialty --preview`, so that the command line itself needs no widgets.
// Its one argument is the folder of the quenvale-cli that started it: the register is found
// from there, exactly as that program finds it. Messages go to stderr, as the command line's do.
#include <sys/stat.h>

#include <QFile>
#include <cstdio>

#include "app/Application.h"
#include "app/Startup.h"
#include "core/store/DataModule.h"
#include "core/store/RegisterOpening.h"
#include "core/store/Registry.h"
#include "gui/stats/TFrm_Report.h"
#include "gui/ui/Prompt.h"

namespace {

void line(const QString& text) {
    std::fprintf(stderr, "quenvale-cli: %s\n", QString(text).replace(u'\n', u' ').toLocal8Bit().constData());
    std::fflush(stderr);
}

class ConsolePrompt final : public Prompt {
public:
    void showInform(QWidget*, const QString& text, const QString&) override { line(text); }
    bool showConfirm(QWidget*, const QString& text, const QString&) override {
        line(text);
        return false;
    }
    void showFail(QWidget*, const QString& text) override {
        line(text);
        failed = true;
    }
    bool failed = false;
};

}  // namespace

int main(int argc, char** argv) {
    ::umask(077);
    if (argc != 2) {
        std::fputs("quenvale-report-preview: 由 quenvale-cli report specialty --preview 启动，参数是 quenvale-cli "
                   "所在的文件夹。\n",
                   stderr);
        return 2;
    }
    const QString cliFolder = QFile::decodeName(argv[1]);
    int qtArgc = 1;  // the folder is no option of Qt's
    // What Qt says while it sets its platform up is no concern of the command line's user.
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    Application app(qtArgc, argv);
    qInstallMessageHandler(previous);
    startup::prepareApplication(app);
    ConsolePrompt prompt;
    Prompt::install(&prompt);
    Registry hive;
    const RegisterOpening opening = RegisterOpening::prepare(cliFolder, hive);
    {
        const TDM dm(nullptr, QString(), opening.location.file);
        talentreport::preview(nullptr);
    }
    Prompt::install(nullptr);
    return prompt.failed ? 1 : 0;
}
