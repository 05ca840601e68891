#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <memory>

#include "gui/ui/Prompt.h"

class TDM;

/// What every verb of quenvale-cli shares: messages on stderr, the register opened as the
/// desktop program opens it, and a progress line on a terminal.
///
/// Exit status: 0 success, 1 failure (one clear line on stderr), 2 bad usage.
namespace cli {

enum Exit { Ok = 0, Failure = 1, Usage = 2 };

/// "quenvale-cli: TEXT" on stderr.
void err(const QString& text);
/// TEXT and a line break on stdout.
void out(const QString& text);

/// True when a display (or an explicit Qt platform) is available.
bool hasDisplay();

/// The register as the desktop program finds it: the data location, the file (made when
/// missing), the data-source registration, then the data module that defines "MyDb".
/// Keep the returned module for as long as the verb uses the database.
std::unique_ptr<TDM> openRegister();

/// Messages go to stderr instead of message boxes; confirmations are refused unless `yes`.
class ConsolePrompt final : public Prompt {
public:
    explicit ConsolePrompt(bool yes = false) : m_yes(yes) {}
    void showInform(QWidget*, const QString& text, const QString&) override { err(text); }
    bool showConfirm(QWidget*, const QString& text, const QString&) override {
        err(text);
        return m_yes;
    }
    void showFail(QWidget*, const QString& text) override {
        err(text);
        failed = true;
    }
    bool failed = false;

private:
    bool m_yes;
};

/// A progress line on stderr, redrawn in place, only when stderr is a terminal.
class Progress {
public:
    explicit Progress(QString what);
    ~Progress();
    /// `done` of `total` (total 0: unknown).
    void update(qint64 done, qint64 total);
    /// Ends the line.
    void finish();

private:
    QString m_what;
    bool m_tty;
    bool m_open = false;
    qint64 m_lastMs = 0;
};

/// Parsed options of one verb: `--name value` pairs, bare flags and positional arguments.
struct Args {
    QStringList positional;
    QMap<QString, QString> options;  ///< "--out" -> value
    QStringList flags;               ///< "--yes", "--dry-run", ...
    QString error;                   ///< set when the arguments do not fit

    bool has(const QString& flag) const { return flags.contains(flag); }
    QString value(const QString& option, const QString& fallback = QString()) const {
        return options.value(option, fallback);
    }
};

/// The file a command-line argument names, as Qt and SQLite can open it: `decoded` is the
/// argument as the verb got it; a name that is no valid text in the system's encoding is taken
/// from the raw `argv` instead (nativepath).
QString fileArgument(int argc, char** argv, const QString& decoded);

/// True, after one line on stderr, when the arguments did not fit the verb or left more than
/// `positional` bare arguments over.
bool reportBadUsage(const Args& a, int positional = 0);

/// True, after one line on stderr, when the file name `path` (an option's value as the verb
/// got it) was given in bytes that are not UTF-8: the program could only write under another
/// name. `argc`/`argv` are the process's own arguments.
bool refuseUndecodedPath(const QString& path, int argc, char** argv);

/// Splits `args` (the verb's own arguments, after the verb) by what the verb takes.
Args parse(const QStringList& args, const QStringList& valueOptions, const QStringList& flagOptions);

}  // namespace cli
