#pragma once

#include <QString>
#include <QStringList>

/// The one rule for the files the register writes where a person asks (exports, the statistics
/// workbook, the data check's list, the merge report, a backup copy, the PDF report).
namespace exchange {

/// The extensions of the formats the register writes: xlsx, csv, sav, dta, pdf, db.
const QStringList& writtenExtensions();

/// Why a writer of `extension` files may not write `path`, in Chinese; empty when it may.
/// Refused are: no name; a symbolic link at the path (even when replacing: the file would
/// land wherever the link points); a folder or anything but a plain file; an existing file
/// unless `replace`; a missing folder; a name whose extension is that of another format the
/// register writes (a CSV file named .xlsx). A name without an extension, or with one the
/// register does not write, is taken as it is.
QString targetRefusal(const QString& path, const QString& extension, bool replace);

}  // namespace exchange
