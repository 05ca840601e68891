#include "TFrm_About.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>

TFrm_About::TFrm_About(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Frm_About"));
    setWindowTitle(QStringLiteral("关于"));
    setFixedSize(389, 209);
    move(247, 172);  // its design position

    Btn_Ok = new QPushButton(QStringLiteral("确定(&A)"), this);
    Btn_Ok->setObjectName(QStringLiteral("Btn_Ok"));
    Btn_Ok->setGeometry(160, 172, 75, 25);
    Btn_Ok->setAutoDefault(false);
    Btn_Ok->setDefault(false);
    connect(Btn_Ok, &QPushButton::clicked, this, &TFrm_About::Btn_OkClick);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(0, 0, 389, 160);
    Memo1->setReadOnly(true);
    // The lines are laid out as written; neither wrapped nor scrolled.
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette pal = Memo1->palette();
    pal.setColor(QPalette::Text, QColor(0, 0, 128));
    Memo1->setPalette(pal);
    Memo1->setPlainText(
        QStringLiteral("  本软件主要用于社区、街道办事处。主要目的是深化社区建设，了解\n"
                       "社区居民的真实意愿，更好地为社区居民服务。"));

    setTabOrder(Btn_Ok, Memo1);
    Btn_Ok->setFocus();
}

void TFrm_About::Btn_OkClick() { accept(); }

void TFrm_About::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}
