#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

/// The window "数据源设置": the register's engine, the embedded database file or a PostgreSQL
/// server (host, port, database, user, encryption). "测试连接" tries the server; OK tries it
/// again and saves the choice in the data source "Velmora", to take effect for the next form
/// opened. No password is ever asked for or stored: libpq's own authentication is used.
class TFrm_DataSource : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_DataSource(QWidget* parent = nullptr);

    /// The connection string the server fields make.
    QString conninfo() const;

public slots:
    void Btn_TestClick();
    void Btn_OKClick();
    void Btn_CancelClick() { reject(); }

private:
    void showEngine();
    bool tryServer(QString* reason);

    QString m_hive;
    QRadioButton* Rb_File = nullptr;
    QRadioButton* Rb_Server = nullptr;
    QLabel* Lbl_File = nullptr;
    QLineEdit* Edt_Host = nullptr;
    QLineEdit* Edt_Port = nullptr;
    QLineEdit* Edt_Database = nullptr;
    QLineEdit* Edt_User = nullptr;
    QComboBox* Cmb_SslMode = nullptr;
    QLineEdit* Edt_RootCert = nullptr;
    QPushButton* Btn_Test = nullptr;
    QPushButton* Btn_OK = nullptr;
    QPushButton* Btn_Cancel = nullptr;
};
