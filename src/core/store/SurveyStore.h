#pragma once

#include <QString>
#include <functional>
#include <stdexcept>

#include "core/questionnaire/Answers.h"

class SqlQuery;

/// A storage run that failed; `table` is the table whose statement failed (0 BasicInfo ..
/// 12 Channel). Everything the run wrote was rolled back.
struct StoreFailure : std::runtime_error {
    explicit StoreFailure(int t);
    int table;
};

/// What a lookup by identity number found.
struct LookupResult {
    enum Status { NotFound, Failed, Complete };
    Status status = NotFound;
    /// Statement that failed (0 BasicInfo .. 12 Channel) when status is Failed.
    int failedTable = -1;
    /// What was read, in the lookup's order, up to a failure.
    Answers answers;
    /// True once the BasicInfo row was found (the controls are then to be filled).
    bool found = false;
};

/// Stores, reads, deletes and replaces questionnaires through one query object. Each
/// writing run is one transaction: all of it or nothing.
class SurveyStore {
public:
    static constexpr int kMaxIdLength = 18;

    explicit SurveyStore(SqlQuery& query) : m_query(query) {}

    /// The BasicInfo row, then one row per ticked box; leftover answer rows of the same number
    /// are removed first. Throws StoreFailure (table 0 also for an identity number that is
    /// empty or longer than 18 characters, or already stored, also as the same number with
    /// the other case of a last x).
    void store(const Answers& answers);
    /// The thirteen deletes, then the store run, in one transaction. Throws StoreFailure.
    void replace(const Answers& answers);
    /// What a guarded replace found when it came to write.
    enum class Guard { Replaced, ChangedMeanwhile, DeletedMeanwhile };
    /// Like replace(answers), but first locks the questionnaire's BasicInfo row and reads it
    /// back in the same transaction: only when it still equals `loaded` (what the lookup read)
    /// is anything written. Otherwise nothing is written, `current` gets what is stored now,
    /// and the outcome says why. Another clerk's change is never overwritten unawares. Throws
    /// StoreFailure.
    Guard replace(const Answers& answers, const Answers& loaded, Answers* current = nullptr);
    /// Deletes from all thirteen tables. Throws StoreFailure.
    void remove(const QString& id);
    /// Reads BasicInfo, then the twelve answer tables in order; stops at the first failure.
    LookupResult read(const QString& id);
    /// Reads the questionnaire a clerk typed the number of: under the trimmed text as typed,
    /// else under the same number with the other case of a last x (a number stored as
    /// "…x" by another program is still found). The answers carry the number as stored.
    LookupResult readTyped(const QString& typed);
    /// The spelling under which the questionnaire a clerk typed is stored, tried in the order
    /// of readTyped(); when none is stored, the trimmed text with a last x as X. Raises DbError.
    QString storedNumber(const QString& typed);

    /// Many stores and replaces as ONE transaction (a merge of another register): `next` fills
    /// `answers`, sets `replaces` (the number, exactly as stored, of the questionnaire that goes
    /// first; null for a new one) and returns true, or returns false when there is no more. All
    /// of it or nothing: a failed statement throws StoreFailure; any other exception from `next`
    /// (a cancel) rolls back and passes on.
    void storeMany(const std::function<bool(Answers& answers, QString& replaces)>& next);

private:
    /// The BasicInfo row, then the answer rows; a new questionnaire (not `replacing`) first
    /// removes answer rows that carry its number without a BasicInfo row.
    void insertRows(const Answers& answers, bool replacing);
    void deleteRows(const QString& id);
    /// Whether BasicInfo holds exactly this number (the lookup's own statement).
    bool isStored(const QString& id);
    template <typename Run>
    void inTransaction(Run run, int lastTable);

    SqlQuery& m_query;
    int m_table = 0;  // the table of the statement being run
};
