#pragma once

class QApplication;

namespace startup {
/// Fonts, Qt's Chinese translation, the main window (which registers the data source), the
/// data module, then the event loop until the main window closes.
int runDesktop(QApplication& app);
/// Fonts and translation only (shared by the desktop program and tests).
void prepareApplication(QApplication& app);
}  // namespace startup
