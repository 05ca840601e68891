#pragma once

#include <QSqlDatabase>
#include <QString>

/// The register's tables on a PostgreSQL server. The same thirteen tables and columns as the
/// file, every column TEXT, names unquoted (so every spelling in the statements folds to the
/// same name), BasicInfo.ID the primary key, an index on ID (and Code) in every answer table.
namespace serverschema {

/// Makes sure the connected database holds the register. A database without any of the
/// thirteen tables gets all of them, in one transaction (two clerks connecting first at the
/// same time create them once). A complete schema is used as it is. A database that holds some
/// but not all tables, or a table without one of its columns, is left unchanged: false, with
/// `error` naming what is missing (a Chinese text for the user).
bool ensure(QSqlDatabase& db, QString* error);

/// What is missing from the connected database: empty when complete; `none` is set when not one
/// of the thirteen tables exists. `error` set (and false returned) when the catalogue cannot be read.
bool missing(QSqlDatabase& db, QStringList* missingParts, bool* none, QString* error);

}  // namespace serverschema
