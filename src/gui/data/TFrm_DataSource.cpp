#include "TFrm_DataSource.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/store/Connection.h"
#include "core/store/DataSource.h"
#include "core/store/Registry.h"
#include "gui/ui/BusyCursor.h"
#include "gui/ui/FixedDialog.h"
#include "gui/ui/Prompt.h"

namespace {
const QString kCaption = QStringLiteral("提示");

QLineEdit* field(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    return e;
}

// A value in a keyword=value connection string.
QString quoted(const QString& v) {
    QString out = v;
    out.replace(u'\\', QStringLiteral("\\\\"));
    out.replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + out + u'\'';
}
}  // namespace

TFrm_DataSource::TFrm_DataSource(QWidget* parent) : QDialog(parent) {
    setUpFixedDialog(this, QStringLiteral("Frm_DataSource"), QStringLiteral("数据源设置"), QSize(420, 400));
    m_hive = connection::definition(QStringLiteral("MyDb")).hiveFile;

    auto* top = new QVBoxLayout(this);
    Rb_File = new QRadioButton(QStringLiteral("本机数据库文件（默认，无需设置）"), this);
    Rb_File->setObjectName(QStringLiteral("Rb_File"));
    Lbl_File = new QLabel(this);
    Lbl_File->setObjectName(QStringLiteral("Lbl_File"));
    Lbl_File->setWordWrap(true);
    Lbl_File->setText(connection::definition(QStringLiteral("MyDb")).file);
    Lbl_File->setIndent(20);
    Rb_Server = new QRadioButton(QStringLiteral("PostgreSQL 服务器（多台电脑共用一个登记册）"), this);
    Rb_Server->setObjectName(QStringLiteral("Rb_Server"));
    top->addWidget(Rb_File);
    top->addWidget(Lbl_File);
    top->addWidget(Rb_Server);

    auto* box = new QGroupBox(QStringLiteral("服务器"), this);
    box->setObjectName(QStringLiteral("GroupBox1"));
    auto* form = new QFormLayout(box);
    Edt_Host = field(box, "Edt_Host");
    Edt_Port = field(box, "Edt_Port");
    Edt_Port->setValidator(new QIntValidator(1, 65535, Edt_Port));
    Edt_Port->setPlaceholderText(QStringLiteral("5432"));
    Edt_Database = field(box, "Edt_Database");
    Edt_User = field(box, "Edt_User");
    Cmb_SslMode = new QComboBox(box);
    Cmb_SslMode->setObjectName(QStringLiteral("Cmb_SslMode"));
    Cmb_SslMode->addItem(QStringLiteral("验证服务器证书（verify-full，推荐）"),
                         QStringLiteral("verify-full"));
    Cmb_SslMode->addItem(QStringLiteral("加密但不验证（require）"), QStringLiteral("require"));
    Cmb_SslMode->addItem(QStringLiteral("能加密则加密（prefer）"), QStringLiteral("prefer"));
    Cmb_SslMode->addItem(QStringLiteral("不加密（仅限本机或可信网络）"), QStringLiteral("disable"));
    Edt_RootCert = field(box, "Edt_RootCert");
    Edt_RootCert->setPlaceholderText(QStringLiteral("~/.postgresql/root.crt"));
    form->addRow(QStringLiteral("主机:"), Edt_Host);
    form->addRow(QStringLiteral("端口:"), Edt_Port);
    form->addRow(QStringLiteral("数据库:"), Edt_Database);
    form->addRow(QStringLiteral("用户:"), Edt_User);
    form->addRow(QStringLiteral("加密:"), Cmb_SslMode);
    form->addRow(QStringLiteral("CA 证书:"), Edt_RootCert);
    top->addWidget(box);

    auto* note =
        new QLabel(QStringLiteral("密码不会被保存。请使用 PostgreSQL 的密码文件 ~/.pgpass、服务文件，"
                                  "或由服务器以 peer / trust 方式认证。"),
                   this);
    note->setObjectName(QStringLiteral("Lbl_Password"));
    note->setWordWrap(true);
    top->addWidget(note);
    top->addStretch();

    auto* buttons = new QHBoxLayout;
    Btn_Test = new QPushButton(QStringLiteral("测试连接"), this);
    Btn_Test->setObjectName(QStringLiteral("Btn_Test"));
    Btn_OK = new QPushButton(QStringLiteral("确定"), this);
    Btn_OK->setObjectName(QStringLiteral("Btn_OK"));
    Btn_Cancel = new QPushButton(QStringLiteral("取消"), this);
    Btn_Cancel->setObjectName(QStringLiteral("Btn_Cancel"));
    for (QPushButton* b : {Btn_Test, Btn_OK, Btn_Cancel}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    buttons->addWidget(Btn_Test);
    buttons->addStretch();
    buttons->addWidget(Btn_OK);
    buttons->addWidget(Btn_Cancel);
    top->addLayout(buttons);

    connect(Btn_Test, &QPushButton::clicked, this, &TFrm_DataSource::Btn_TestClick);
    connect(Btn_OK, &QPushButton::clicked, this, &TFrm_DataSource::Btn_OKClick);
    connect(Btn_Cancel, &QPushButton::clicked, this, &TFrm_DataSource::Btn_CancelClick);
    connect(Rb_Server, &QRadioButton::toggled, box, &QWidget::setEnabled);
    connect(Rb_Server, &QRadioButton::toggled, Btn_Test, &QWidget::setEnabled);

    // The choice as saved now.
    const QMap<QString, QString> saved = datasource::fields(datasource::server(m_hive));
    Edt_Host->setText(saved.value(QStringLiteral("host")));
    Edt_Port->setText(saved.value(QStringLiteral("port")));
    Edt_Database->setText(saved.value(QStringLiteral("dbname")));
    Edt_User->setText(saved.value(QStringLiteral("user")));
    Edt_RootCert->setText(saved.value(QStringLiteral("sslrootcert")));
    const int mode =
        Cmb_SslMode->findData(saved.value(QStringLiteral("sslmode"), QStringLiteral("verify-full")));
    Cmb_SslMode->setCurrentIndex(mode < 0 ? 0 : mode);
    const bool server = !saved.isEmpty();
    Rb_Server->setChecked(true);  // runs the toggled handlers once
    Rb_File->setChecked(!server);
    box->setEnabled(server);
    Btn_Test->setEnabled(server);
}

QString TFrm_DataSource::conninfo() const {
    QStringList pairs;
    auto add = [&](const char* key, const QString& value) {
        if (!value.trimmed().isEmpty()) pairs << QLatin1String(key) + u'=' + quoted(value.trimmed());
    };
    add("host", Edt_Host->text());
    add("port", Edt_Port->text());
    add("dbname", Edt_Database->text());
    add("user", Edt_User->text());
    add("sslmode", Cmb_SslMode->currentData().toString());
    add("sslrootcert", Edt_RootCert->text());
    return pairs.join(u' ');
}

bool TFrm_DataSource::tryServer(QString* reason) {
    if (Edt_Host->text().trimmed().isEmpty() || Edt_Database->text().trimmed().isEmpty()) {
        *reason = QStringLiteral("请填写主机和数据库。");
        return false;
    }
    BusyCursor hourglass;
    return datasource::test(conninfo(), reason);
}

void TFrm_DataSource::Btn_TestClick() {
    QString reason;
    if (tryServer(&reason))
        inform(this, QStringLiteral("连接成功！"), kCaption);
    else
        inform(this, QStringLiteral("连接失败：%1").arg(reason), kCaption);
}

void TFrm_DataSource::Btn_OKClick() {
    QString value;
    if (Rb_Server->isChecked()) {
        QString reason;
        if (!tryServer(&reason)) {
            inform(this, QStringLiteral("连接失败，设置未保存：%1").arg(reason), kCaption);
            return;
        }
        value = datasource::normalise(conninfo(), &reason);
    }
    try {
        datasource::setServer(value, m_hive);
    } catch (const Registry::WriteError&) {
        inform(this, QStringLiteral("数据源设置保存失败！"), kCaption);
        return;
    }
    // The next form opened connects to the new choice.
    connection::reset(QStringLiteral("MyDb"));
    accept();
}
