#pragma once

#include <QObject>

#include "Connection.h"

/// The data module `DM`: holds the connection `Database1` ("MyDb" over the data source
/// "Velmora"). Creating it defines the connection; nothing opens until the first statement.
class TDM : public QObject {
    Q_OBJECT
public:
    /// `hiveFile` names the registry stand-in to resolve through (default hive when empty).
    explicit TDM(QObject* parent = nullptr, const QString& hiveFile = QString());
    ~TDM() override;

    const connection::Definition& database1() const { return m_database1; }

private:
    connection::Definition m_database1;
};
