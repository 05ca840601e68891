#include "DataModule.h"

#include <QFileInfo>

#include "core/store/DataLocation.h"
#include "core/store/RegisterLock.h"

TDM::TDM(QObject* parent, const QString& hiveFile, const QString& file) : QObject(parent) {
    setObjectName(QStringLiteral("DM"));
    m_database1.name = QStringLiteral("MyDb");
    m_database1.dataSource = QStringLiteral("Velmora");
    m_database1.loginPrompt = false;
    m_database1.params = {QStringLiteral("UserName=admin"), QStringLiteral("Password=qex402615")};
    m_database1.hiveFile = hiveFile;
    m_database1.file = file;
    connection::define(m_database1);
    // Only a file the program may use at all: a refused one gets nothing made beside it.
    if (!file.isEmpty() && QFileInfo(file).isFile() && DataLocation::refusal(file).isEmpty())
        m_lock = std::make_unique<RegisterLock>(file, RegisterLock::Mode::Shared);
}

// The connection closes with the program.
TDM::~TDM() { connection::closeAll(); }
