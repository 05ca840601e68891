#pragma once

#include <QString>

/// Where the database file lives: Data/MyDB.db beside the executable, or, when that folder
/// cannot be written (an installed copy), the same name in the per-user data folder.
struct DataLocation {
    QString file;           ///< absolute path of the database file
    QString dbq;            ///< the path as the data-source registration names it
    bool besideExecutable;  ///< false when the per-user folder is used

    /// Decides the location for an executable in `exeDir`, creating the Data folder (0700) when
    /// missing. `userDataDir` defaults to the per-user application data folder.
    static DataLocation resolve(const QString& exeDir, const QString& userDataDir = QString());

    static constexpr const char* kFileName = "MyDB.db";
};
