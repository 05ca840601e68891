#pragma once

#include <QDialog>
#include <QFont>

/// Sets up one of the register's windows: its object name and caption, a fixed client area,
/// a fixed dialog frame without minimise, maximise or help buttons, and the forms' font
/// (宋体, 12 pixels, that is 9 points at 96 dpi).
inline void setUpFixedDialog(QDialog* dialog, const QString& objectName, const QString& caption,
                             QSize client) {
    dialog->setObjectName(objectName);
    dialog->setWindowTitle(caption);
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    dialog->setFixedSize(client);
    QFont song(QStringLiteral("宋体"));
    song.setPixelSize(12);
    dialog->setFont(song);
}
