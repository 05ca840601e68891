#include "TFrm_New.h"

TFrm_New::TFrm_New(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Frm_New"));
    setWindowTitle(QStringLiteral("新增信息"));
}
