#pragma once

#include <QString>

#include "core/store/DataLocation.h"

class Registry;

/// The register as both front ends find it when they start: where its file lies, whether it can
/// be used, and the data-source registration that names it. The desktop program and every verb
/// of the command line go through prepare(), so they find the same file.
struct RegisterOpening {
    DataLocation location;
    /// The data source names a server: the file on this PC is made but not judged.
    bool server = false;
    /// Why the register cannot be used, for the user (names the path); empty when it can.
    QString problem;
    /// Why the data-source registration could not be written (its value's error); empty when it was.
    QString registrationError;

    /// Finds the data location for an executable in `exeDir`, makes the database file when it
    /// is missing, judges this PC's file (databaseProblem) unless the data source names a
    /// server, and writes the data-source registration into `hive`.
    static RegisterOpening prepare(const QString& exeDir, Registry& hive);

    /// The start-up check of a database file: it can be made, it is ours to use (refusal), it
    /// opens as a database whose structure reads back, it holds the register's tables, and it
    /// can be written. Empty when all hold; otherwise one message for the user naming the path.
    static QString databaseProblem(const QString& file);
};
