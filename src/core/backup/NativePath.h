#pragma once

#include <QByteArray>
#include <QString>

/// File names as the system gives them. A name that is not valid text in the system's encoding
/// (made on another machine, or by another program) does not survive being held as a QString;
/// such a file is reached through a stand-in path that names the very same file, and messages
/// name it as the user gave it.
namespace nativepath {

/// A path Qt and SQLite can open for the file named by `raw` (the bytes of a command-line
/// argument): `raw` itself when it decodes and encodes back unchanged, otherwise, for an
/// existing file, a stand-in that names the same file for the rest of the process. A name that
/// neither decodes nor exists is returned decoded (opening it then fails as for any missing file).
QString fromNative(const QByteArray& raw);

/// `path` for a message: the name the user gave instead of a stand-in (bytes that are no text
/// shown as "\uFFFD"), with native separators.
QString display(const QString& path);

}  // namespace nativepath
