#include "Console.h"

#include <unistd.h>

#include <QStringList>
#include <cstdio>
#include <string>

namespace cli {

void err(const QString& text) {
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(u'\n', u' ');
    std::fprintf(stderr, "quenvale-cli: %s\n", line.trimmed().toLocal8Bit().constData());
    std::fflush(stderr);
}

void out(const QString& text) {
    std::fprintf(stdout, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

void say(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

bool canAsk() { return ::isatty(STDIN_FILENO) == 1; }

bool askYes(const QString& question) {
    say(question);
    std::string line;
    int c;
    while ((c = std::getchar()) != EOF && c != '\n') line.push_back(char(c));
    if (c == EOF) say(QStringLiteral("\n"));
    const QString answer = QString::fromLocal8Bit(line.data(), qsizetype(line.size())).trimmed().toLower();
    return answer == QStringLiteral("是") || answer == QLatin1String("y") || answer == QLatin1String("yes");
}

}  // namespace cli
