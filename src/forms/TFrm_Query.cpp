#include "TFrm_Query.h"

TFrm_Query::TFrm_Query(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Frm_Query"));
    setWindowTitle(QStringLiteral("查询信息"));
}
