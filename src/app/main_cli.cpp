#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.contains(QStringLiteral("--version"))) {
        std::printf("quenvale-cli %s\n", QUENVALE_VERSION);
        return 0;
    }
    std::printf("Usage: quenvale-cli --help | --version\n");
    return args.contains(QStringLiteral("--help")) ? 0 : 2;
}
