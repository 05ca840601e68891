// The window "数据源设置": the embedded file or a server, "测试连接", OK saves and the next
// statement uses the choice. Server cases skip without PostgreSQL 15.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "PgCluster.h"
#include "TestDb.h"
#include "core/report/Fonts.h"
#include "core/store/Connection.h"
#include "core/store/DataSource.h"
#include "gui/data/TFrm_DataSource.h"
#include "gui/ui/ScriptedPrompt.h"

class TstDataSourceForm : public QObject {
    Q_OBJECT

    template <class W>
    static W* child(QWidget& f, const char* name) {
        auto* w = f.findChild<W*>(QString::fromLatin1(name));
        if (!w) qFatal("no control %s", name);
        return w;
    }
    static void fill(TFrm_DataSource& f, const QString& dbName) {
        PgCluster* c = PgCluster::shared();
        child<QRadioButton>(f, "Rb_Server")->setChecked(true);
        child<QLineEdit>(f, "Edt_Host")->setText(c->socketDir());
        child<QLineEdit>(f, "Edt_Port")->setText(QString::number(c->port()));
        child<QLineEdit>(f, "Edt_Database")->setText(dbName);
        child<QLineEdit>(f, "Edt_User")->setText("postgres");
        auto* mode = child<QComboBox>(f, "Cmb_SslMode");
        mode->setCurrentIndex(mode->findData("disable"));  // a local socket
    }

private slots:
    void initTestCase() { fonts::install(); }

    void opensOnTheFileByDefault() {
        TestDb db(TestDb::Engine::File);
        ScriptedPrompt prompt;
        TFrm_DataSource f;
        QCOMPARE(f.objectName(), QStringLiteral("Frm_DataSource"));
        QCOMPARE(f.windowTitle(), QStringLiteral("数据源设置"));
        QVERIFY(child<QRadioButton>(f, "Rb_File")->isChecked());
        QVERIFY(!child<QLineEdit>(f, "Edt_Host")->isEnabled());
        QVERIFY(!child<QPushButton>(f, "Btn_Test")->isEnabled());
        QCOMPARE(child<QLabel>(f, "Lbl_File")->text(), db.file());
        QVERIFY(child<QLabel>(f, "Lbl_Password")->text().contains("密码不会被保存"));
        QVERIFY(child<QLabel>(f, "Lbl_Password")->text().contains("~/.pgpass"));
        child<QPushButton>(f, "Btn_OK")->click();
        QCOMPARE(f.result(), int(QDialog::Accepted));
        QVERIFY(prompt.texts().isEmpty());
        QCOMPARE(datasource::server(db.hive()), QString());
    }

    void serverTestedThenSaved() {
        if (!PgCluster::shared()) QSKIP("no PostgreSQL 15");
        TestDb db(TestDb::Engine::File);
        QCOMPARE(connection::database("MyDb").driverName(), QStringLiteral("QSQLITE"));
        const QString name = PgCluster::shared()->createDatabase();
        ScriptedPrompt prompt;
        TFrm_DataSource f;
        fill(f, "nosuchdb");
        child<QPushButton>(f, "Btn_Test")->click();
        QCOMPARE(prompt.texts().size(), 1);
        QVERIFY2(prompt.texts()[0].startsWith("连接失败：") && prompt.texts()[0].contains("nosuchdb"),
                 qPrintable(prompt.texts()[0]));
        prompt.clear();
        child<QPushButton>(f, "Btn_OK")->click();  // refused, nothing saved, still open
        QVERIFY(prompt.texts().value(0).startsWith("连接失败，设置未保存："));
        QCOMPARE(datasource::server(db.hive()), QString());
        QCOMPARE(f.result(), int(QDialog::Rejected));

        fill(f, name);
        prompt.clear();
        child<QPushButton>(f, "Btn_Test")->click();
        QCOMPARE(prompt.texts(), QStringList{"连接成功！"});
        f.show();
        QTest::qWait(50);
        if (qEnvironmentVariableIsSet("QUENVALE_SHOTS"))  // retakes the screenshot of the docs
            f.grab().save(QStringLiteral(QUENVALE_SOURCE_DIR "/docs/screenshots/datasource.png"));
        prompt.clear();
        child<QPushButton>(f, "Btn_OK")->click();
        QCOMPARE(f.result(), int(QDialog::Accepted));
        QVERIFY(datasource::server(db.hive()).contains(name));
        // The next statement goes to the server.
        QCOMPARE(connection::database("MyDb").driverName(), QStringLiteral("QPSQL"));

        // Opened again, the dialog shows the saved server; back to the file.
        TFrm_DataSource again;
        QVERIFY(child<QRadioButton>(again, "Rb_Server")->isChecked());
        QCOMPARE(child<QLineEdit>(again, "Edt_Database")->text(), name);
        child<QRadioButton>(again, "Rb_File")->setChecked(true);
        child<QPushButton>(again, "Btn_OK")->click();
        QCOMPARE(datasource::server(db.hive()), QString());
        QCOMPARE(connection::database("MyDb").driverName(), QStringLiteral("QSQLITE"));
    }
};

QTEST_MAIN(TstDataSourceForm)
#include "tst_datasourceform.moc"
