// No SQL text in the program is built from a value: every statement is a fixed text whose
// values go to bound placeholders.
#include <QDirIterator>
#include <QRegularExpression>
#include <QtTest>

class TstSqlSources : public QObject {
    Q_OBJECT
private slots:
    void statementsAreFixedTexts() {
        // Table definitions are made from the fixed list of table names, never from user data.
        const QStringList allowed = {"src/core/store/Schema.cpp", "src/core/store/ServerSchema.cpp"};
        const QRegularExpression sqlLiteral(
            R"re("((?:[^"\\]|\\.)*\b(?:select|insert\s+into|delete\s+from|update\s+\w+\s+set|create\s+(?:table|index|trigger)|drop\s+table|pragma)\b(?:[^"\\]|\\.)*)")re",
            QRegularExpression::CaseInsensitiveOption);
        int statements = 0;
        QStringList offenders;
        QDirIterator it(QStringLiteral(QUENVALE_SOURCE_DIR "/src"), {"*.cpp", "*.h"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString rel = QDir(QStringLiteral(QUENVALE_SOURCE_DIR)).relativeFilePath(path);
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(f.readAll());
            auto m = sqlLiteral.globalMatch(text);
            while (m.hasNext()) {
                const auto match = m.next();
                ++statements;
                const QString literal = match.captured(1);
                // What follows the literal up to the end of the expression.
                const QString after =
                    text.mid(match.capturedEnd(), 80).section(u';', 0, 0).section(u',', 0, 0);
                const bool spliced = literal.contains(QRegularExpression(R"(%\d|%s|%S|'\s*\+|\+\s*')")) ||
                                     after.contains(QLatin1String(".arg(")) ||
                                     after.trimmed().startsWith(u'+');
                if (spliced && !allowed.contains(rel)) offenders << rel + ": " + literal;
            }
        }
        QVERIFY2(offenders.isEmpty(), qPrintable(offenders.join('\n')));
        QVERIFY(statements > 40);
        qInfo("%d statement texts checked, none built from a value", statements);
    }
};

QTEST_GUILESS_MAIN(TstSqlSources)
#include "tst_sqlsources.moc"
