#pragma once

#include <QObject>
#include <memory>

#include "core/store/Connection.h"

class RegisterLock;

/// The data module `DM`: holds the connection `Database1` ("MyDb" over the data source
/// "Velmora"). Creating it defines the connection; nothing opens until the first statement.
/// While it lives, the program holds its register file shared (RegisterLock), so that no other
/// program replaces the file under it.
class TDM : public QObject {
    Q_OBJECT
public:
    /// `hiveFile` names the registry stand-in the data source is registered in (default hive
    /// when empty); `file` is the database file chosen at start-up, the one the connection opens.
    explicit TDM(QObject* parent = nullptr, const QString& hiveFile = QString(),
                 const QString& file = QString());
    ~TDM() override;

    const connection::Definition& database1() const { return m_database1; }

private:
    connection::Definition m_database1;
    std::unique_ptr<RegisterLock> m_lock;
};
