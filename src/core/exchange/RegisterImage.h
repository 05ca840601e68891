#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

#include "core/backup/SqliteFile.h"
#include "core/questionnaire/Answers.h"

/// Every questionnaire of a register held in memory in a compact form: what the lookup would
/// read back (decoded with its own rules, texts trimmed, other texts only when ticked), packed
/// into bytes, so that two questionnaires read back the same exactly when their bytes are equal.
///
/// On an SQLite file each table is read once in its own order, the tables side by side on the
/// processor's cores, and never through an index; on anything else (or a file holding values
/// that the program's queries would print otherwise) through RegisterReader, in key order.
class RegisterImage {
public:
    struct Entry {
        QByteArray key;          ///< the identity number as stored (UTF-8); entries are in key order
        bool hasBasic = false;   ///< a BasicInfo row exists
        int answerRows = 0;      ///< answer rows of this identity number
        QString failure;         ///< why it cannot be read back (empty when it can)
        QStringList unmatched;   ///< answer rows that match no option, table by table
        QByteArray answers;      ///< pack() of the normalised answers (empty without BasicInfo)
    };

    /// Reads the registers behind these named connections side by side. `progress` is called on
    /// the caller's thread with parts of `total` and may cancel (Cancelled). Throws
    /// DbError when a register cannot be read.
    static std::vector<RegisterImage> read(const QStringList& connections,
                                           const ProgressFn& progress = {}, qint64 total = 0);

    const std::vector<Entry>& entries() const { return m_entries; }
    /// The questionnaire of an entry, its identity number trimmed as the lookup gives it.
    Answers answers(const Entry& entry) const;
    /// True when the register was read through its indexes (in key order) rather than table by table.
    bool readThroughIndexes() const { return m_throughIndexes; }

    static QByteArray pack(const Answers& answers);
    static Answers unpack(const QByteArray& packed, const QString& id);

private:
    std::vector<Entry> m_entries;
    bool m_throughIndexes = false;
};
