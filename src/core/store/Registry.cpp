#include "Registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>

#include "core/store/DataLocation.h"

namespace {

// Values are written as in a registry export: "name"="text" or "name"=dword:0000001a.
QString escape(const QString& s) {
    QString out;
    for (QChar c : s) {
        if (c == u'\\' || c == u'"') out += u'\\';
        if (c == u'\n') {
            out += QStringLiteral("\\n");
            continue;
        }
        out += c;
    }
    return out;
}

QString unescape(QStringView s) {
    QString out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == u'\\' && i + 1 < s.size()) {
            ++i;
            out += s[i] == u'n' ? QChar(u'\n') : s[i];
        } else {
            out += s[i];
        }
    }
    return out;
}

const QString kRoot = QStringLiteral("HKEY_LOCAL_MACHINE");

}  // namespace

Registry::Registry(QString hiveFile) : m_file(std::move(hiveFile)) {}

QString Registry::defaultHiveFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' +
           QLatin1String(DataLocation::kApplicationName) + QStringLiteral("/HKEY_LOCAL_MACHINE.reg");
}

QList<Registry::Key> Registry::load() const {
    QList<Key> keys;
    QFile f(m_file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return keys;
    QTextStream in(&f);
    in.setEncoding(QStringConverter::Utf8);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            QString path = line.mid(1, line.size() - 2);
            if (path.startsWith(kRoot)) path = path.mid(kRoot.size());
            keys.append({path, {}});
        } else if (line.startsWith(u'"') && !keys.isEmpty()) {
            // "name"=value; the name itself may hold escaped quotes.
            qsizetype i = 1;
            while (i < line.size() && line[i] != u'"') i += line[i] == u'\\' ? 2 : 1;
            const QString name = unescape(QStringView(line).mid(1, i - 1));
            const QStringView rest = QStringView(line).mid(i + 2);
            QVariant data;
            if (rest.startsWith(u"dword:"))
                data = QVariant::fromValue(rest.mid(6).toUInt(nullptr, 16));
            else
                data = unescape(rest.mid(1, rest.size() - 2));
            keys.last().values.append({name, data});
        }
    }
    return keys;
}

bool Registry::save(const QList<Key>& keys) const {
    QSaveFile f(m_file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
    QTextStream out(&f);
    out.setEncoding(QStringConverter::Utf8);
    out << "Windows Registry Editor Version 5.00\n";
    for (const Key& k : keys) {
        out << "\n[" << kRoot << k.path << "]\n";
        for (const Value& v : k.values) {
            out << '"' << escape(v.name) << "\"=";
            if (v.data.typeId() == QMetaType::UInt)
                out << "dword:" << QStringLiteral("%1").arg(v.data.toUInt(), 8, 16, QLatin1Char('0'));
            else
                out << '"' << escape(v.data.toString()) << '"';
            out << '\n';
        }
    }
    out.flush();
    return f.commit();
}

bool Registry::openKey(const QString& path) {
    m_current.clear();
    const QFileInfo info(m_file);
    if (!QDir().mkpath(info.absolutePath())) return false;
    QList<Key> keys = load();
    if (info.exists() && !QFileInfo(m_file).isFile()) return false;
    for (const Key& k : keys)
        if (k.path.compare(path, Qt::CaseInsensitive) == 0) {
            m_current = k.path;
            return true;
        }
    keys.append({path, {}});
    if (!save(keys)) return false;
    m_current = path;
    return true;
}

void Registry::closeKey() { m_current.clear(); }

void Registry::writeString(const QString& name, const QString& value) { writeValue(name, value); }

void Registry::writeInteger(const QString& name, quint32 value) {
    writeValue(name, QVariant::fromValue(value));
}

void Registry::writeValue(const QString& name, const QVariant& value) {
    const int index = m_writes++;
    if (m_current.isEmpty()) throw WriteError("no registry key is open");
    if (index == m_failAt) throw WriteError(QStringLiteral("无法写入注册表值 %1").arg(name).toStdString());
    QList<Key> keys = load();
    for (Key& k : keys) {
        if (k.path.compare(m_current, Qt::CaseInsensitive) != 0) continue;
        bool replaced = false;
        for (Value& v : k.values)
            if (v.name.compare(name, Qt::CaseInsensitive) == 0) {
                // The file already holds this value: nothing to write through.
                if (v.data.typeId() == value.typeId() && v.data == value) return;
                v.data = value;
                replaced = true;
            }
        if (!replaced) k.values.append({name, value});
        if (!save(keys)) throw WriteError(QStringLiteral("无法写入注册表值 %1").arg(name).toStdString());
        return;
    }
    throw WriteError(QStringLiteral("无法写入注册表值 %1").arg(name).toStdString());
}

QVariant Registry::readValue(const QString& keyPath, const QString& name) const {
    for (const Key& k : load()) {
        if (k.path.compare(keyPath, Qt::CaseInsensitive) != 0) continue;
        for (const Value& v : k.values)
            if (v.name.compare(name, Qt::CaseInsensitive) == 0) return v.data;
    }
    return {};
}
