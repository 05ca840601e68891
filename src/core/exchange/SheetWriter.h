#pragma once

#include <QString>
#include <vector>

#include "core/exchange/ExportTypes.h"

namespace exchange {

/// Where an export's sheets go: one workbook, or one file per sheet. Sheets are written one
/// after another, each row whole. A failure raises ExportError; nothing is at the target
/// until commit() (the files are written under temporary names beside it).
class SheetWriter {
public:
    virtual ~SheetWriter() = default;
    /// Starts a sheet. `rows` is the number of rows that will follow (sav and dta need it).
    virtual void beginSheet(const QString& name, const std::vector<Column>& columns, qint64 rows) = 0;
    /// One row, a cell per column; `identity` names the row in cut reports.
    virtual void writeRow(const std::vector<Cell>& cells, const QString& identity) = 0;
    virtual void endSheet() = 0;
    /// Closes everything and renames the files into place; raises ExportError.
    virtual void commit() = 0;
    /// The final paths written (valid after commit()).
    virtual QStringList files() const = 0;
    /// Texts cut to the format's limit.
    virtual const std::vector<Cut>& cuts() const = 0;
};

}  // namespace exchange
