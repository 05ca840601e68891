// The judging of one identity number by the national standard: check character, birth date,
// the older 15-digit form and its 18-digit equivalent, and every shape that is no number at all.
#include <QtTest>

#include "core/questionnaire/IdentityNumber.h"

using V = IdentityNumber::Verdict;
Q_DECLARE_METATYPE(IdentityNumber::Verdict)

namespace {
const QDate kToday(2026, 12, 8);
}

class TstIdentityNumber : public QObject {
    Q_OBJECT
private slots:
    void judge_data() {
        QTest::addColumn<QString>("id");
        QTest::addColumn<V>("verdict");
        QTest::addColumn<QString>("expectedCheck");
        QTest::addColumn<QString>("eighteen");

        // Right numbers: an X, a 0, other digits as check character; a lower-case x reads as X.
        QTest::newRow("X") << "11010519491231002X" << V::Valid << "X"
                           << "11010519491231002X";
        QTest::newRow("x") << "11010519491231002x" << V::Valid << "X"
                           << "11010519491231002X";
        QTest::newRow("check 0") << "440305198002290010" << V::Valid << "0"
                                 << "440305198002290010";
        QTest::newRow("check 3") << "110101199003071233" << V::Valid << "3"
                                 << "110101199003071233";
        QTest::newRow("check 4") << "320102198506150874" << V::Valid << "4"
                                 << "320102198506150874";
        // Birth dates: 29 February in leap years (2000 is one, 1900 is not), the edges of the range.
        QTest::newRow("29 Feb 1980") << "440305198002290010" << V::Valid << "0"
                                     << "440305198002290010";
        QTest::newRow("29 Feb 2000") << "11010120000229123X" << V::Valid << "X"
                                     << "11010120000229123X";
        QTest::newRow("29 Feb 1981") << "440305198102290018" << V::ImpossibleDate << "8"
                                     << "440305198102290018";
        QTest::newRow("29 Feb 1900") << "110101190002291233" << V::ImpossibleDate << "3"
                                     << "110101190002291233";
        QTest::newRow("1 Jan 1900") << "110101190001011236" << V::Valid << "6"
                                    << "110101190001011236";
        QTest::newRow("31 Dec 1899") << "110101189912311231" << V::ImpossibleDate << "1"
                                     << "110101189912311231";
        QTest::newRow("today") << "110101202612081239" << V::Valid << "9"
                               << "110101202612081239";
        QTest::newRow("tomorrow") << "110101202612091234" << V::ImpossibleDate << "4"
                                  << "110101202612091234";
        QTest::newRow("month 13") << "110101199013011230" << V::ImpossibleDate << ""
                                  << "110101199013011230";
        QTest::newRow("day 00") << "110101199001001230" << V::ImpossibleDate << ""
                                << "110101199001001230";
        QTest::newRow("31 April") << "110101199004311230" << V::ImpossibleDate << ""
                                  << "110101199004311230";
        // A wrong date outweighs a wrong check character.
        QTest::newRow("date and check wrong") << "440305198102290019" << V::ImpossibleDate << "8"
                                              << "440305198102290019";
        // 15 digits: the 1900s, 29 February of a leap and a common year, and of 1900.
        QTest::newRow("15 digits") << "320102850615087" << V::Fifteen << "4"
                                   << "320102198506150874";
        QTest::newRow("15, ends in X form") << "110105491231002" << V::Fifteen << "X"
                                            << "11010519491231002X";
        QTest::newRow("15, 29 Feb 1980") << "440305800229001" << V::Fifteen << "0"
                                         << "440305198002290010";
        QTest::newRow("15, 29 Feb 1981") << "440305810229001" << V::ImpossibleDate << ""
                                         << "440305198102290018";
        QTest::newRow("15, 29 Feb 1900") << "110101000229123" << V::ImpossibleDate << ""
                                         << "110101190002291233";
        QTest::newRow("15, month 00") << "110101850015087" << V::ImpossibleDate << ""
                                      << "110101198500150878";
        // Malformed shapes.
        QTest::newRow("empty") << "" << V::NotAnId << ""
                               << "";
        QTest::newRow("17 digits") << "11010519491231002" << V::NotAnId << ""
                                   << "";
        QTest::newRow("19 digits") << "1101051949123100201" << V::NotAnId << ""
                                   << "";
        QTest::newRow("16 digits") << "3201028506150874" << V::NotAnId << ""
                                   << "";
        QTest::newRow("14 digits") << "32010285061508" << V::NotAnId << ""
                                   << "";
        QTest::newRow("X inside") << "1101051949123X0021" << V::NotAnId << ""
                                  << "";
        QTest::newRow("X first") << "X10105194912310021" << V::NotAnId << ""
                                 << "";
        QTest::newRow("15 with X") << "32010285061508X" << V::NotAnId << ""
                                   << "";
        QTest::newRow("letter last") << "11010519491231002A" << V::NotAnId << ""
                                     << "";
        QTest::newRow("letters") << "abcdefghijklmnopqr" << V::NotAnId << ""
                                 << "";
        QTest::newRow("blank inside") << "110105 9491231002X" << V::NotAnId << ""
                                      << "";
        QTest::newRow("blank around") << " 11010519491231002X" << V::NotAnId << ""
                                      << "";
        QTest::newRow("sign") << "+10105194912310021" << V::NotAnId << ""
                              << "";
        QTest::newRow("full-width digits")
            << QStringLiteral("１１０１０５１９４９１２３１００２Ｘ") << V::NotAnId << ""
            << "";
        QTest::newRow("Arabic-Indic digits") << QStringLiteral("١١٠١٠٥١٩٤٩١٢٣١٠٠٢X") << V::NotAnId << ""
                                             << "";
    }

    void judge() {
        QFETCH(QString, id);
        QFETCH(V, verdict);
        QFETCH(QString, expectedCheck);
        QFETCH(QString, eighteen);
        const IdentityNumber r = IdentityNumber::judge(id, kToday, true);
        QCOMPARE(r.verdict, verdict);
        if (!expectedCheck.isEmpty()) QCOMPARE(QString(r.expectedCheck), expectedCheck);
        QCOMPARE(r.eighteen, eighteen);
        // Without the 18-character form asked for, the verdict is the same and nothing is made.
        const IdentityNumber quick = IdentityNumber::judge(id, kToday);
        QCOMPARE(quick.verdict, verdict);
        QVERIFY(quick.eighteen.isEmpty());
    }

    // Every check character but the right one is wrong, and the right one is named.
    void eachWrongCheckCharacter_data() {
        QTest::addColumn<QString>("first17");
        QTest::addColumn<QString>("right");
        QTest::newRow("right is X") << "11010519491231002"
                                    << "X";
        QTest::newRow("right is 0") << "44030519800229001"
                                    << "0";
        QTest::newRow("right is 1") << "11010118991231123"
                                    << "1";  // date out of range: judged by date
        QTest::newRow("right is 9") << "11010120261208123"
                                    << "9";
    }

    void eachWrongCheckCharacter() {
        QFETCH(QString, first17);
        QFETCH(QString, right);
        QCOMPARE(QString(IdentityNumber::checkCharacter(first17)), right);
        const bool dateOk = first17.mid(6, 4).toInt() >= 1900;
        int wrong = 0;
        for (QChar c : QStringLiteral("0123456789X")) {
            const IdentityNumber r = IdentityNumber::judge(first17 + c, kToday);
            QCOMPARE(r.expectedCheck, right[0]);
            if (!dateOk) {
                QCOMPARE(r.verdict, V::ImpossibleDate);
            } else if (c == right[0]) {
                QCOMPARE(r.verdict, V::Valid);
            } else {
                QCOMPARE(r.verdict, V::WrongCheck);
                ++wrong;
            }
        }
        QCOMPARE(wrong, dateOk ? 10 : 0);
    }

    // Every single-digit typing slip in the first 17 digits is caught by the check character.
    void everySingleSlipIsCaught() {
        const QString good = QStringLiteral("320102198506150874");
        for (int i = 0; i < 17; ++i) {
            for (char d = '0'; d <= '9'; ++d) {
                QString typo = good;
                if (typo[i] == QLatin1Char(d)) continue;
                typo[i] = QLatin1Char(d);
                const V v = IdentityNumber::judge(typo, kToday).verdict;
                QVERIFY2(v == V::WrongCheck || v == V::ImpossibleDate, qPrintable(typo));
            }
        }
    }

    void fifteenToEighteen() {
        QCOMPARE(IdentityNumber::toEighteen(u"320102850615087"), QStringLiteral("320102198506150874"));
        // The converted form of a right 15-digit number is itself right.
        const IdentityNumber r =
            IdentityNumber::judge(IdentityNumber::toEighteen(u"110105491231002"), kToday);
        QCOMPARE(r.verdict, V::Valid);
    }
};

QTEST_APPLESS_MAIN(TstIdentityNumber)
#include "tst_identitynumber.moc"
