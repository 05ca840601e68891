#include "TFrm_Edit.h"

TFrm_Edit::TFrm_Edit(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Frm_Edit"));
    setWindowTitle(QStringLiteral("修改记录"));
}
