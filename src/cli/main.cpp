// quenvale-cli: the headless companion of the desktop program. It works on the same register
// (the Data folder beside the executables, or the per-user one) without the main window.
#include <sys/stat.h>

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "cli/Console.h"
#include "cli/VerbFrame.h"
#include "cli/Verbs.h"
#include "core/store/DataLocation.h"

namespace {

// A usage line of at most 72 columns: longer ones go on under the verb's first option, broken
// between options (a bracketed group is never broken).
QString usageLines(const QString& lead, const QString& synopsis) {
    QStringList words;
    int depth = 0;
    QString word;
    for (const QChar c : synopsis) {
        if (c == u' ' && depth == 0) {
            words << word;
            word.clear();
            continue;
        }
        depth += c == u'[' ? 1 : c == u']' ? -1 : 0;
        word += c;
    }
    words << word;
    constexpr int kWidth = 72;
    // "用法：" (or the six spaces under it) takes six columns on a terminal.
    QString text = lead + QStringLiteral("quenvale-cli ") + words.takeFirst();
    int column = 6 + int(text.size() - lead.size());
    const QString indent(column + 1, u' ');
    for (const QString& w : words) {
        if (column + 1 + w.size() > kWidth) {
            text += u'\n' + indent + w;
            column = int(indent.size() + w.size());
        } else {
            text += u' ' + w;
            column += 1 + int(w.size());
        }
    }
    return text + u'\n';
}

QString overview() {
    QString text;
    for (const cli::Verb& v : cli::verbs())
        text += usageLines(text.isEmpty() ? QStringLiteral("用法：") : QStringLiteral("      "),
                           QString::fromUtf8(v.synopsis));
    text += QStringLiteral("      quenvale-cli --help | --version\n\n命令：\n");
    for (const cli::Verb& v : cli::verbs())
        text += QStringLiteral("  %1%2\n").arg(QString::fromUtf8(v.name), -14).arg(QString::fromUtf8(v.summary));
    text += QStringLiteral(
        "\n“quenvale-cli 命令 --help”（或 -h）说明一个命令。选项的值可以写作\n"
        "--out FILE，也可以写作 --out=FILE。除了结果，命令不输出别的；在终端上，较长\n"
        "的工作显示进度，按 Ctrl+C 取消。\n"
        "\n"
        "退出状态：0 成功；1 失败，标准错误输出上有一行说明原因；2 用法错误。\n");
    return text;
}

QString verbNames() {
    QStringList names;
    for (const cli::Verb& v : cli::verbs()) names << QString::fromUtf8(v.name);
    return names.join(QStringLiteral("、"));
}

}  // namespace

int main(int argc, char** argv) {
    // Every file and folder a verb makes (the register, backups, exports, the registration) is
    // private to its user from the start, as in the desktop program.
    ::umask(077);
    // The desktop program's name: the same per-user folders whatever this executable is called.
    QCoreApplication::setApplicationName(QLatin1String(DataLocation::kApplicationName));

    const QString first = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (first.isEmpty()) {
        cli::err(QStringLiteral("请给出一个命令（%1）。用法见“quenvale-cli --help”。").arg(verbNames()));
        return cli::Usage;
    }
    if (first == QLatin1String("--version")) {
        std::printf("quenvale-cli %s\n", QUENVALE_VERSION);
        return cli::Ok;
    }
    if (first == QLatin1String("--help") || first == QLatin1String("-h") || first == QLatin1String("help")) {
        std::fputs(overview().toLocal8Bit().constData(), stdout);
        return cli::Ok;
    }
    for (const cli::Verb& v : cli::verbs())
        if (first == QLatin1String(v.name)) return v.run(argc, argv);
    if (first.startsWith(u'-'))
        cli::err(QStringLiteral("不认识的选项 %1。用法见“quenvale-cli --help”。").arg(first));
    else
        cli::err(QStringLiteral("没有“%1”这个命令（命令有 %2）。用法见“quenvale-cli --help”。").arg(first, verbNames()));
    return cli::Usage;
}
