#pragma once

#include <QString>

class Registry;

/// Registers the data source "Velmora" in the registry stand-in, as the program does at every
/// start: three keys, their values in fixed order. A key that cannot be opened is skipped; a
/// value that cannot be written ends the registration with Registry::WriteError.
namespace registration {

constexpr const char* kDataSource = "Velmora";
constexpr const char* kDriverName = "QSQLITE";
QString sourcesKey();     ///< "\SoftWare\ODBC\ODBC.ini\ODBC Data Sources"
QString dataSourceKey();  ///< "\SoftWare\ODBC\ODBC.ini\Velmora"
QString engineKey();      ///< "\SoftWare\ODBC\ODBC.ini\Velmora\Engines\Jet"

void registerDataSource(Registry& registry, const QString& dbq);

}  // namespace registration
