#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <optional>
#include <vector>

#include "core/questionnaire/Catalogue.h"

class SqlQuery;

/// Counting the answers: the fourteen statements of the statistics (twelve answer tables
/// grouped by code, and the two willingness counts) and the page-one groups counted from
/// BasicInfo. Counts are per box of the catalogue, so one code stored in two spellings ("1"
/// and "01") adds up in the same box.
namespace answercounts {

/// One counting statement. Grouped statements give (code, count) rows for the group's boxes;
/// a single count gives one row whose count belongs to the box of `code`.
struct Statement {
    const char* sql;
    catalogue::GroupId group;
    bool grouped;
    int code;  ///< single counts only
};

/// The fourteen statements, in the statistics form's order.
const std::vector<Statement>& statements();

/// Count per box index (catalogue box order) for one statement. Codes that match no box are
/// passed over. Raises DbError when the statement fails; what was counted so far is in `into`.
void run(SqlQuery& query, const Statement& statement, QMap<int, qint64>& into);

/// Values a count passes over: the value as stored (a null string for NULL) and its rows.
struct Uncounted {
    QString value;
    qint64 rows = 0;
};

/// As run(), but a value that is no whole number does not end the count: every row that run()
/// would count is counted, and the values that count nowhere are listed in `uncounted` (for a
/// single count, nothing is listed). Raises DbError when the statement fails.
void tally(SqlQuery& query, const Statement& statement, QMap<int, qint64>& into, QList<Uncounted>& uncounted);

/// The counts of several statements on an SQLite file, each statement on a read-only
/// connection of its own, spread over the processor's cores (on a register of 100,000
/// questionnaires each statement walks about 300,000 index entries). An entry is empty where the
/// statement was not counted there: another engine than the file, a connection that cannot be
/// opened, a failing statement, a code that is no whole number. The caller runs those on its own
/// connection, where they succeed or fail as they always do, so the outcome is the same.
std::vector<std::optional<QMap<int, qint64>>> countOnCores(const QString& connectionName,
                                                           const std::vector<Statement>& statements);

/// Count per box index for a page-one single-choice group (age, level, political, duty,
/// Position) from BasicInfo: values read as whole numbers; for duty and Position a value that
/// is no whole number is the other option, as the record forms read it back. The values that
/// count nowhere are listed in `uncounted` when given. Raises DbError.
QMap<int, qint64> countBasicGroup(SqlQuery& query, catalogue::GroupId group,
                                  QList<Uncounted>* uncounted = nullptr);

}  // namespace answercounts
