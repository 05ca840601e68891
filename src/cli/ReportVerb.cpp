// quenvale-cli report: the specialty report as PDF, or its preview window.
#include <sys/prctl.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <csignal>

#include "cli/Console.h"
#include "cli/VerbFrame.h"
#include "cli/Verbs.h"
#include "core/exchange/TargetFiles.h"
#include "core/exchange/TargetRule.h"
#include "core/report/TalentReport.h"

namespace cli {

namespace {

const char* const kHelp =
    "用法：quenvale-cli report specialty --pdf FILE [--force]\n"
    "      quenvale-cli report specialty --preview\n"
    "\n"
    "专业及特长人数统计报表。\n"
    "\n"
    "  --pdf FILE   把报表写成 PDF 文件 FILE\n"
    "  --force      FILE 已经存在时替换它（符号链接一律不替换）\n"
    "  --preview    打开报表的预览窗口，可以从窗口中打印\n"
    "\n"
    "--pdf 不需要显示器。--preview 需要显示器（DISPLAY 或 WAYLAND_DISPLAY），由随本程\n"
    "序安装的 quenvale-report-preview 打开窗口，窗口关闭后命令才结束。\n";

const char* const kPreviewProgram = "quenvale-report-preview";

bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// The preview window lives in a program of its own, so that this one needs no widgets: beside
// this program in a build, in ../libexec/quenvale when installed.
QString previewProgram() {
    const QString here = QCoreApplication::applicationDirPath();
    for (const QString& dir : {here, here + QStringLiteral("/../libexec/quenvale")}) {
        const QFileInfo exe(dir + u'/' + QLatin1String(kPreviewProgram));
        if (exe.isFile() && exe.isExecutable()) return exe.absoluteFilePath();
    }
    return {};
}

int preview(const VerbFrame& f) {
    const QString program = previewProgram();
    if (program.isEmpty())
        return f.fail(QStringLiteral("找不到预览程序 %1，它应当与 quenvale-cli 一起安装。可以用 --pdf FILE 写出报表。")
                          .arg(QLatin1String(kPreviewProgram)));
    QProcess window;
    window.setProcessChannelMode(QProcess::ForwardedChannels);
    window.setInputChannelMode(QProcess::ForwardedInputChannel);
    // A command line that is ended takes its window with it.
    window.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    // This program's folder: the preview finds the register from it, exactly as this one does.
    window.start(program, {QCoreApplication::applicationDirPath()});
    if (!window.waitForStarted(-1))
        return f.fail(QStringLiteral("无法启动预览程序 %1。").arg(program));
    window.waitForFinished(-1);
    if (window.exitStatus() != QProcess::NormalExit)
        return f.fail(QStringLiteral("预览窗口意外关闭了。"));
    // The preview has said why it failed, in one line of its own.
    return window.exitCode() == 0 ? Ok : Failure;
}

int run(int argc, char** argv) {
    VerbFrame f(argc, argv, kReport);
    f.addOption(QStringLiteral("pdf"), QStringLiteral("FILE"));
    f.addOption(QStringLiteral("force"));
    f.addOption(QStringLiteral("preview"));
    if (const auto rc = f.parse(1, 1, QStringLiteral("请给出报表的名字 specialty"))) return *rc;
    if (f.positional().first() != QLatin1String("specialty"))
        return f.usage(QStringLiteral("没有“%1”这个报表，报表只有 specialty").arg(f.positional().first()));
    const QString pdf = f.value(QStringLiteral("pdf"));
    const bool replace = f.isSet(QStringLiteral("force"));
    if (f.isSet(QStringLiteral("preview")) == f.isSet(QStringLiteral("pdf")))
        return f.usage(QStringLiteral("请给出 --pdf FILE 或 --preview 两者之一"));
    if (f.isSet(QStringLiteral("preview"))) {
        if (!hasDisplay())
            return f.usage(QStringLiteral("--preview 需要显示器（DISPLAY 或 WAYLAND_DISPLAY），没有显示器时请用 --pdf FILE"));
        return f.run(VerbFrame::Use::Nothing, QStringLiteral("预览报表"), [&] { return preview(f); });
    }
    if (f.refuseUndecodedPath(pdf)) return Failure;
    // Judged before the register is opened.
    if (const QString refusal = exchange::targetRefusal(pdf, QStringLiteral("pdf"), replace); !refusal.isEmpty())
        return f.fail(refusal);
    return f.run(
        VerbFrame::Use::Read, QStringLiteral("报表"),
        [&] {
            // The PDF goes under a temporary name, renamed into place only when the whole report
            // is written.
            exchange::TargetFiles files(pdf, QStringLiteral("pdf"), replace);
            const QString temp = files.add(files.target());
            QString error;
            if (!talentreport::exportPdf(temp, &error)) {
                // The counts that could not be read say so; a file that could not be written is
                // named as the user named it, not by its temporary name.
                if (error.isEmpty() || error.contains(QFileInfo(temp).fileName()))
                    error = QStringLiteral("写入文件“%1”时出错。").arg(files.target());
                return f.fail(error + QStringLiteral("没有写出 PDF 文件。"));
            }
            files.commit();
            out(files.target());
            return int(Ok);
        },
        true);
}

}  // namespace

const Verb kReport = {"report", "report specialty --pdf FILE [--force] | --preview",
                      "专业及特长人数统计报表：写成 PDF，或打开预览窗口", kHelp, &run};

}  // namespace cli
