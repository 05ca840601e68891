#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "core/store/RegisterOpening.h"

class QCoreApplication;
class TDM;

/// What every verb of quenvale-cli shares: its options on QCommandLineParser with `-h`/`--help`,
/// its file names taken from the raw arguments, the application object, the register opened
/// the one way the desktop program opens it, and one way of ending.
///
/// Exit status: 0 success; 1 failure, with one line on stderr saying why; 2 bad usage, with one
/// line on stderr naming what is wrong and where the verb's help is.
namespace cli {

struct Verb;

enum Exit { Ok = 0, Failure = 1, Usage = 2 };

class VerbFrame {
public:
    /// How a verb uses the register.
    enum class Use {
        Nothing,       ///< opens nothing itself
        Registration,  ///< finds the register and writes the data-source registration only
        Read,          ///< reads it; refused when the file is not the user's own or a link, else
                       ///< a problem the start-up check finds is left to the verb's own failure
        Write,         ///< changes it; refused, with the start-up check's text, when it has a problem
    };

    /// `argv[2]` on are the verb's arguments.
    VerbFrame(int argc, char** argv, const Verb& verb);
    ~VerbFrame();
    VerbFrame(const VerbFrame&) = delete;
    VerbFrame& operator=(const VerbFrame&) = delete;

    /// An option `--name VALUE` (also `--name=VALUE`) when `valueName` is given, else a flag.
    void addOption(const QString& name, const QString& valueName = QString());

    /// Parses the verb's arguments. Returns the exit status when the verb ends here: its help
    /// was asked for (printed on stdout, 0), or the arguments do not fit (2): an unknown option,
    /// an option without its value, a flag given a value, fewer positional arguments than
    /// `minPositional` (`missing` says what to give) or more than `maxPositional`.
    std::optional<int> parse(int minPositional, int maxPositional, const QString& missing = QString());

    bool isSet(const QString& name) const { return m_parser.isSet(name); }
    QString value(const QString& name) const { return m_parser.value(name); }
    QStringList positional() const { return m_parser.positionalArguments(); }

    /// The file an argument names, as Qt and SQLite can open it: `decoded` as the parser gave it,
    /// or, for a name in bytes that are no valid text, taken from the raw arguments (nativepath).
    QString fileArgument(const QString& decoded) const;
    /// True, after one line on stderr, when the name of a file to write was given in bytes that
    /// are not UTF-8: the program could only write it under another name.
    bool refuseUndecodedPath(const QString& path) const;

    /// One line naming what is wrong and where the help is; returns 2.
    int usage(const QString& what) const;
    /// One line saying why the verb failed; returns 1.
    int fail(const QString& why) const;

    /// Makes the application object (a QGuiApplication when `paints`, rendering offscreen
    /// unless a Qt platform is named), opens the register as `use` says, and runs `work`.
    /// Every failure the work raises ends as one line and 1; `what` names the work in those
    /// lines ("数据检查", "合并", ...).
    int run(Use use, const QString& what, const std::function<int()>& work, bool paints = false);

    /// What opening the register found (after run() started).
    const RegisterOpening& opening() const { return m_opening; }
    /// The data module while the work runs (Read and Write only).
    TDM* dataModule() const { return m_dm.get(); }

private:
    const Verb& m_verb;
    int m_argc;
    char** m_argv;
    QStringList m_args;
    QCommandLineParser m_parser;
    QStringList m_valueOptions;
    int m_appArgc = 1;
    std::unique_ptr<QCoreApplication> m_app;
    RegisterOpening m_opening;
    std::unique_ptr<TDM> m_dm;
};

}  // namespace cli
