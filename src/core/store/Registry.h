#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <stdexcept>

/// A small stand-in for the machine-wide registry hive: keys by path (matched without regard
/// to letter case), string and 32-bit integer values, persisted in one INI-style file. Each
/// value is written through to the file as it is written.
class Registry {
public:
    /// Raised when a value cannot be written.
    struct WriteError : std::runtime_error {
        using std::runtime_error::runtime_error;
    };

    /// A hive in `hiveFile`; the default hive lies in the user's configuration folder.
    explicit Registry(QString hiveFile = defaultHiveFile());

    static QString defaultHiveFile();
    /// The file this hive lives in.
    const QString& file() const { return m_file; }

    /// Opens a key, creating it when missing. False when the hive file or its folder cannot
    /// be opened or created.
    bool openKey(const QString& path);
    void closeKey();
    QString currentKey() const { return m_current; }

    void writeString(const QString& name, const QString& value);
    void writeInteger(const QString& name, quint32 value);

    /// Reads a value of any key (QVariant::String or UInt); invalid when missing.
    QVariant readValue(const QString& keyPath, const QString& name) const;

    /// Test hook: the write with this 0-based index (counted from construction) fails.
    void failWriteAt(int index) { m_failAt = index; }

    struct Value {
        QString name;
        QVariant data;  ///< QString or quint32
    };
    struct Key {
        QString path;
        QList<Value> values;
    };
    /// The hive as it stands in the file, keys and values in file order.
    QList<Key> load() const;

private:
    void writeValue(const QString& name, const QVariant& value);
    bool save(const QList<Key>& keys) const;

    QString m_file;
    QString m_current;
    int m_writes = 0;
    int m_failAt = -1;
};
