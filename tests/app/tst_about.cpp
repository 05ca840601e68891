#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextLayout>
#include <QtTest>

#include "app/Startup.h"
#include "gui/forms/TFrm_About.h"

class TstAbout : public QObject {
    Q_OBJECT

    template <class T>
    static T* child(QWidget& w, const char* name) {
        auto* c = w.findChild<T*>(QLatin1String(name));
        if (!c) qFatal("no %s", name);
        return c;
    }

private slots:
    void initTestCase() { startup::prepareApplication(*qApp); }

    void layout() {
        TFrm_About about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QCOMPARE(about.objectName(), QStringLiteral("Frm_About"));
        QCOMPARE(about.windowTitle(), QStringLiteral("关于"));
        QCOMPARE(about.size(), QSize(389, 209));
        QCOMPARE(about.minimumSize(), about.maximumSize());

        auto* memo = child<QPlainTextEdit>(about, "Memo1");
        QCOMPARE(memo->geometry(), QRect(0, 0, 389, 160));
        QVERIFY(memo->isReadOnly());
        QCOMPARE(memo->toPlainText().split(u'\n'),
                 (QStringList{"  本软件主要用于社区、街道办事处。主要目的是深化社区建设，了解",
                              "社区居民的真实意愿，更好地为社区居民服务。"}));
        QCOMPARE(memo->palette().color(QPalette::Text), QColor(Qt::darkBlue));
        QCOMPARE(memo->font().family(), QStringLiteral("宋体"));
        QCOMPARE(memo->font().pointSize(), 9);
        // Two lines as written: the first is not wrapped onto a third.
        QCOMPARE(memo->document()->blockCount(), 2);
        QCOMPARE(memo->document()->firstBlock().layout()->lineCount(), 1);

        auto* ok = child<QPushButton>(about, "Btn_Ok");
        QCOMPARE(ok->text(), QStringLiteral("确定(&A)"));
        QCOMPARE(ok->geometry(), QRect(160, 172, 75, 25));
        QVERIFY(!ok->isDefault());
        QVERIFY(!ok->autoDefault());
        QCOMPARE(QApplication::focusWidget(), ok);
    }

    void keys_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Esc on the button") << "Btn_Ok" << int(Qt::Key_Escape) << false;
        QTest::newRow("Esc in the text") << "Memo1" << int(Qt::Key_Escape) << false;
        QTest::newRow("Enter on the button") << "Btn_Ok" << int(Qt::Key_Return) << false;
        QTest::newRow("keypad Enter in the text") << "Memo1" << int(Qt::Key_Enter) << false;
        QTest::newRow("Space on the button") << "Btn_Ok" << int(Qt::Key_Space) << true;
    }
    void keys() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(bool, closes);
        TFrm_About about;
        about.show();
        QApplication::setActiveWindow(&about);
        QVERIFY(QTest::qWaitForWindowActive(&about));
        auto* target = about.findChild<QWidget*>(focus);
        target->setFocus();
        QCOMPARE(QApplication::focusWidget(), target);
        QTest::keyClick(target, Qt::Key(key & ~Qt::KeyboardModifierMask),
                        Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
        QCOMPARE(!about.isVisible(), closes);
        if (closes) QCOMPARE(about.result(), int(QDialog::Accepted));
    }

    void buttonCloses() {
        TFrm_About about;
        about.show();
        QTest::mouseClick(child<QPushButton>(about, "Btn_Ok"), Qt::LeftButton);
        QVERIFY(!about.isVisible());
        QCOMPARE(about.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(TstAbout)
#include "tst_about.moc"
