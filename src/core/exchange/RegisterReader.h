#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

#include "core/questionnaire/Answers.h"

class SqlQuery;

/// One questionnaire of a register as the lookup would read it back.
struct ReadQuestionnaire {
    QString id;
    QByteArray key;         ///< the identity number as stored (UTF-8), the reading order
    bool hasBasic = false;  ///< a BasicInfo row exists
    Answers answers;        ///< decoded and normalised (texts trimmed, other texts only when ticked)
    QString failure;        ///< why it cannot be read back (empty when it can)
    QStringList unmatched;  ///< answer rows that match no option
    int answerRows = 0;     ///< answer rows of this identity number
};

/// Reads every questionnaire of a register in identity-number order, all thirteen tables
/// side by side in one pass each, decoded with the lookup's own rules (encoding::decode*).
class RegisterReader {
public:
    explicit RegisterReader(const QString& connectionName);
    ~RegisterReader();

    /// Number of BasicInfo rows (for progress).
    qint64 questionnaireCount();
    /// The next identity number found in any table; false at the end. Throws DbError.
    bool next(ReadQuestionnaire& out);

    /// Trims texts and drops other texts of options not ticked: what storing then reading back gives.
    static void normalise(Answers& answers);

private:
    struct Cursor;
    void advance(Cursor& c);
    QString m_connection;
    std::vector<std::unique_ptr<Cursor>> m_cursors;
    bool m_started = false;
};
