#include "TFrm_Total.h"

TFrm_Total::TFrm_Total(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Frm_Total"));
    setWindowTitle(QStringLiteral("汇总"));
}
