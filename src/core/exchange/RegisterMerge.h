#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <memory>

#include "core/backup/SqliteFile.h"
#include "core/exchange/RegisterImage.h"
#include "core/questionnaire/Answers.h"

/// One page's difference between our questionnaire and theirs.
struct MergeDifference {
    QString page;    ///< the page's caption
    QString item;    ///< the field or question on the page
    QString ours;    ///< what ours says (option captions, texts)
    QString theirs;  ///< what theirs says

    bool operator==(const MergeDifference&) const = default;
};

/// The same resident with different answers.
struct MergeConflict {
    QString id;      ///< the number in the other register (trimmed)
    QString oursId;  ///< the number in ours (trimmed): the same resident, perhaps spelt otherwise
    QString oursName;
    QString theirsName;
    QList<MergeDifference> differences;  ///< page by page, in page order
    bool takeTheirs = false;             ///< the choice: ours is kept unless set
};

/// Something of the other register that is not imported.
struct MergeProblem {
    QString id;
    QString text;
};

/// What a merge would do, worked out before anything is written.
struct MergePlan {
    QString source;
    int theirs = 0;     ///< questionnaires in the other register
    int added = 0;      ///< new identity numbers, added whole
    int identical = 0;  ///< same number, same answers: skipped
    QList<MergeConflict> conflicts;
    QList<MergeProblem> problems;  ///< not importable: rows without BasicInfo, rows matching no option,
                                   ///< unreadable questionnaires
    /// Identity numbers (as stored in the other register) to add.
    QSet<QByteArray> additions;
    /// Their numbers (as stored) that a conflict compares with ours, and ours as stored.
    QHash<QByteArray, QString> conflictKeys;

    /// Conflicts whose choice is theirs.
    int takenFromTheirs() const;
};

/// Merges another register's database file into ours (the connection "MyDb"), questionnaire by
/// questionnaire, compared as the lookup reads them back and stored through SurveyStore.
class RegisterMerge {
public:
    /// `source` is the other register's MyDB.db. A consistent copy of it is read (the file
    /// itself is never written).
    explicit RegisterMerge(QString source);
    ~RegisterMerge();

    /// Reads both registers and works out the plan. Throws sqlitefile::FileError (the other file
    /// is not a register, with the reason) or Cancelled.
    MergePlan plan(const ProgressFn& progress = {});

    /// Writes the plan in one transaction: additions, and conflicts whose choice is theirs. A
    /// backup of ours is made first (and after) when `backups` is set. Returns the number of
    /// questionnaires written. A failure or a cancel changes nothing (FileError naming the
    /// questionnaire that could not be written, or Cancelled).
    int apply(const MergePlan& plan, const ProgressFn& progress = {}, bool backups = true);

    /// Writes the conflicts (page by page) and the problems as CSV (UTF-8) to `file`.
    static bool writeReport(const MergePlan& plan, const QString& file, QString* error = nullptr);

    /// Page-by-page differences between two questionnaires (empty when they read back the same).
    static QList<MergeDifference> differences(const Answers& ours, const Answers& theirs);

private:
    void openSource();
    void closeSource();
    void readTheirs(RegisterImage image);
    QString m_source;
    QString m_copy;                         // the consistent copy that is read
    std::unique_ptr<RegisterImage> m_theirs;  // what it holds, read once for the plan and the writing
};
