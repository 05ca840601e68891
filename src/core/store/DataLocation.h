#pragma once

#include <QString>

/// Where the database file lives: Data/MyDB.db beside the executable or, when that folder
/// cannot be written or the program is an installed copy, the same name in the per-user data
/// folder. The file is private to its user: a folder or file that belongs to another user, or a
/// file that is a symbolic link, is refused, never silently replaced by another one.
struct DataLocation {
    QString file;           ///< absolute path of the database file
    QString dbq;            ///< the path as the data-source registration names it
    bool besideExecutable;  ///< false when the per-user folder is used
    /// Why the database cannot be used here, for the user (names the path); empty when it can.
    QString problem;

    /// Decides the location for an executable in `exeDir`, creating the Data folder (0700) when
    /// missing and tightening the modes of a folder, file and journal files the user owns.
    /// Also makes every file the process creates from now on private to its user (umask 077).
    /// `userDataDir` defaults to userDataFolder().
    static DataLocation resolve(const QString& exeDir, const QString& userDataDir = QString());

    /// True for an installed copy: the executable's folder is named "bin" and a folder
    /// "../share/quenvale" stands beside it. An installed copy always keeps its data per user.
    static bool isInstalledLayout(const QString& exeDir);

    /// Why the database file at `file` must not be used (a symbolic link, or a file or folder
    /// owned by another user), for the user; empty when it may be used.
    static QString refusal(const QString& file);

    /// The per-user data folder of this program (XDG_DATA_HOME/Quenvale, normally
    /// ~/.local/share/Quenvale): the same for the desktop program and every verb of the command
    /// line, whatever the running executable is called.
    static QString userDataFolder();

    static constexpr const char* kFileName = "MyDB.db";
    /// The program's name as the per-user folders and the window system know it.
    static constexpr const char* kApplicationName = "Quenvale";
};
