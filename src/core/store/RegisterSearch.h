#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <Qt>

class SqlQuery;

/// Finds questionnaires by what a clerk hears on the telephone: every word typed must occur,
/// each in any of the five texts (identity number, name, address, work unit, phone), without
/// regard to the case of Latin letters or to the width of digits. `%` and `_` are plain
/// characters. A word that is a whole identity number also finds the same resident stored under
/// the number's other form (15 or 18 digits). An empty text finds the whole register.
///
/// A search gives the identity numbers of the matches, in the order asked for (a small list,
/// held whole, which also gives the number of matches); the texts of the rows are read later,
/// in small batches, for the rows that are actually shown. No result stays open between calls,
/// so the search never holds a lock on the database while the window merely shows a list.
class RegisterSearch {
public:
    /// The columns of a result row, in the order the list shows them.
    enum Column { Id, Name, Address, WorkUnit, Phone, Age, ColumnCount };

    struct Row {
        QString id, name, address, workUnit, phone;
        QString age;  ///< the stored age code ("1" to "4")
    };

    /// Rows read by one call of rows(); fewer identity numbers are padded to this count so
    /// that one prepared statement serves every batch.
    static constexpr int kBatch = 64;

    explicit RegisterSearch(SqlQuery& query) : m_query(query) {}

    /// The identity numbers of the matching questionnaires, ordered by `sortBy` and then by
    /// identity number. Raises DbError when the statement fails.
    QStringList find(const QString& typed, Column sortBy = Id, Qt::SortOrder order = Qt::AscendingOrder);

    /// The rows of these questionnaires (at most kBatch), in the order given; a questionnaire
    /// that is no longer stored comes back with its identity number only.
    QList<Row> rows(const QStringList& ids);

    /// The words of a search text, folded as the texts are compared: split at blanks
    /// (full-width ones too), Latin letters in lower case, full-width digits as ASCII digits.
    static QStringList words(const QString& typed);
    /// The LIKE pattern matching `word` anywhere, with `!`, `%` and `_` escaped by `!`.
    static QString pattern(const QString& word);
    /// The caption of a stored age code ("35岁以下" ...), empty for any other value.
    static QString ageCaption(const QString& code);

private:
    SqlQuery& m_query;
};
