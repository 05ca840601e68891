#include "VerbFrame.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>

#include "cli/Console.h"
#include "cli/Verbs.h"
#include "core/backup/NativePath.h"
#include "core/backup/SqliteFile.h"
#include "core/exchange/Captions.h"
#include "core/exchange/ExportTypes.h"
#include "core/report/Fonts.h"
#include "core/store/DataLocation.h"
#include "core/store/DataModule.h"
#include "core/store/DbError.h"
#include "core/store/Progress.h"
#include "core/store/Registry.h"
#include "core/store/SurveyStore.h"

namespace cli {

namespace {

// The bytes an argument may give a file name in: the argument itself, and for `--name=VALUE`
// what follows the first "=".
QList<QByteArray> nameCandidates(const char* arg) {
    const QByteArray raw(arg);
    QList<QByteArray> all{raw};
    const qsizetype eq = raw.indexOf('=');
    if (raw.startsWith('-') && eq > 0) all << raw.mid(eq + 1);
    return all;
}

}  // namespace

VerbFrame::VerbFrame(int argc, char** argv, const Verb& verb) : m_verb(verb), m_argc(argc), m_argv(argv) {
    for (int i = 2; i < argc; ++i) m_args << QString::fromLocal8Bit(argv[i]);
    // "-force" is taken as "--force", not as the letters f, o, r, c and e.
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
}

VerbFrame::~VerbFrame() {
    // The connection goes before the application object that its driver belongs to.
    m_dm.reset();
}

void VerbFrame::addOption(const QString& name, const QString& valueName) {
    m_parser.addOption(QCommandLineOption(name, QString(), valueName));
    if (!valueName.isEmpty()) m_valueOptions << name;
}

std::optional<int> VerbFrame::parse(int minPositional, int maxPositional, const QString& missing) {
    for (const QString& a : m_args) {
        if (a == QLatin1String("--")) break;
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            std::fputs(m_verb.help, stdout);
            std::fflush(stdout);
            return Ok;
        }
    }
    if (!m_parser.parse(QStringList{QStringLiteral("quenvale-cli")} + m_args)) {
        // An option as the user typed it (with its dashes, without a value).
        auto asTyped = [this](const QString& name) {
            for (const QString& a : m_args) {
                const QString option = a.section(u'=', 0, 0);
                if (option.startsWith(u'-') && QString(option).remove(QRegularExpression(QStringLiteral("^-+"))) == name)
                    return option;
            }
            return QStringLiteral("--") + name;
        };
        if (!m_parser.unknownOptionNames().isEmpty())
            return usage(QStringLiteral("不认识的选项 %1").arg(asTyped(m_parser.unknownOptionNames().first())));
        // Qt's other two refusals name the option in quotes: a value missing after an option
        // that takes one, or a value given to a flag.
        const QRegularExpressionMatch quoted =
            QRegularExpression(QStringLiteral("'-*([^'=]*)")).match(m_parser.errorText());
        const QString name = quoted.hasMatch() ? quoted.captured(1) : QString();
        if (m_valueOptions.contains(name))
            return usage(QStringLiteral("选项 %1 后面缺少它的值").arg(asTyped(name)));
        if (!name.isEmpty()) return usage(QStringLiteral("选项 %1 不带值").arg(asTyped(name)));
        return usage(QStringLiteral("参数有误"));
    }
    const QStringList given = m_parser.positionalArguments();
    if (given.size() > maxPositional) return usage(QStringLiteral("多余的参数“%1”").arg(given.at(maxPositional)));
    if (given.size() < minPositional) return usage(missing);
    return std::nullopt;
}

QString VerbFrame::fileArgument(const QString& decoded) const {
    for (int i = 2; i < m_argc; ++i)
        for (const QByteArray& raw : nameCandidates(m_argv[i]))
            if (QString::fromLocal8Bit(raw) == decoded) return nativepath::fromNative(raw);
    return decoded;
}

bool VerbFrame::refuseUndecodedPath(const QString& path) const {
    if (path.isEmpty()) return false;
    for (int i = 2; i < m_argc; ++i) {
        for (const QByteArray& raw : nameCandidates(m_argv[i])) {
            // Qt reads file names as UTF-8: other bytes come back as U+FFFD, i.e. as another name.
            if (QString::fromLocal8Bit(raw) == path && QFile::encodeName(path) != raw) {
                fail(QStringLiteral("文件名“%1”含有不是 UTF-8 的字节，本程序无法按这个名字写入文件，请换一个文件名。"
                                    "没有写入任何文件。")
                         .arg(path));
                return true;
            }
        }
    }
    return false;
}

int VerbFrame::usage(const QString& what) const {
    err(QStringLiteral("%1。用法见“quenvale-cli %2 --help”。").arg(what, QString::fromUtf8(m_verb.name)));
    return Usage;
}

int VerbFrame::fail(const QString& why) const {
    err(why);
    return Failure;
}

int VerbFrame::run(Use use, const QString& what, const std::function<int()>& work, bool paints) {
    if (paints) {
        // A PDF needs fonts and a paint device, never a screen: an unreachable display must
        // not stop it.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        // Only the program's name: the verb's arguments are no options of Qt's. What Qt says
        // while it sets its platform up (a missing runtime folder under cron) is no concern of
        // the verb's, whose stderr is its one line.
        const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        m_app = std::make_unique<QGuiApplication>(m_appArgc, m_argv);
        qInstallMessageHandler(previous);
        fonts::install();
    } else {
        m_app = std::make_unique<QCoreApplication>(m_appArgc, m_argv);
    }
    try {
        if (use != Use::Nothing) {
            Registry hive;
            m_opening = RegisterOpening::prepare(QCoreApplication::applicationDirPath(), hive);
            // A file or folder that is not the user's own, or a link, is used by no verb; a file
            // that cannot be used is changed by none. A verb that only reads goes on with a file
            // it may read (one that is read-only, say) and says its own failure otherwise.
            const bool refused = !m_opening.location.problem.isEmpty() ||
                                 !DataLocation::refusal(m_opening.location.file).isEmpty();
            if (!m_opening.problem.isEmpty() && (use == Use::Write || (use == Use::Read && refused)))
                return fail(m_opening.problem);
            if (use != Use::Registration) {
                if (!m_opening.registrationError.isEmpty())
                    err(QStringLiteral("数据源登记没有写入：%1。").arg(m_opening.registrationError));
                m_dm = std::make_unique<TDM>(nullptr, QString(), m_opening.location.file);
            }
        }
        return work();
    } catch (const sqlitefile::FileError& e) {
        return fail(e.message);
    } catch (const exchange::ExportError& e) {
        return fail(e.message);
    } catch (const DbError& e) {
        // A register the start-up check found unusable says why better than the statement.
        if (!m_opening.problem.isEmpty()) return fail(m_opening.problem);
        return fail(QStringLiteral("%1没有完成：%2。").arg(what, captions::readFailed(e.statement())));
    } catch (const StoreFailure& e) {
        // The page as the clerk knows it, not the table's name.
        const QString table = QString::fromUtf8(e.what());
        const QString page = captions::ofStorage(table);
        return fail(QStringLiteral("%1失败（%2），当前的登记册没有改动。").arg(what, page.isEmpty() ? table : page));
    } catch (const Cancelled&) {
        return fail(QStringLiteral("%1已取消：登记册没有改动，也没有留下写了一半的文件。").arg(what));
    } catch (const Registry::WriteError&) {
        return fail(QStringLiteral("无法保存数据源设置：文件 %1 无法写入。").arg(Registry::defaultHiveFile()));
    } catch (const std::exception& e) {
        return fail(QStringLiteral("%1没有完成：%2。").arg(what, QString::fromUtf8(e.what())));
    }
}

}  // namespace cli
