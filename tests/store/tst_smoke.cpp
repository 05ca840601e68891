#include <QtTest>

#include "TestDb.h"
#include "store/SqlQuery.h"
#include "store/SurveyStore.h"

class TstSmoke : public QObject {
    Q_OBJECT
private slots:
    void storeAndRead() {
        TestDb db;
        SqlQuery q(QStringLiteral("MyDb"));
        SurveyStore store(q);
        store.store(completeAnswers());
        const LookupResult r = store.read(QStringLiteral("110101199001011234"));
        QCOMPARE(r.status, LookupResult::Complete);
        Answers expected = completeAnswers();
        QCOMPARE(r.answers, expected);
    }
};

QTEST_GUILESS_MAIN(TstSmoke)
#include "tst_smoke.moc"
