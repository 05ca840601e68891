#pragma once

#include "core/store/Progress.h"

#include <QDate>
#include <QString>
#include <functional>

#include "core/check/CheckProblem.h"

/// The data check of the register: every stored questionnaire's identity number judged by the
/// national standard, residents entered twice (a 15-digit number beside the 18-digit number it
/// converts to, or two 18-digit numbers that differ only by the case of a final x), answer rows
/// without their BasicInfo row, and stored codes that match no option of their group (what the
/// lookup skips, or fails on).
///
/// It only reads, with a fixed set of set-based statements (never one per questionnaire) on the
/// given connection; a failed statement raises DbError.
class RegisterCheck {
public:
    explicit RegisterCheck(QString connectionName = QStringLiteral("MyDb"));

    /// Runs the whole check; birth dates after `today` cannot be. `progress` is told after each
    /// statement (steps of stepCount()); when it asks to stop, the check ends there and its
    /// result says it was cancelled (what was found so far is kept).
    CheckResult run(QDate today = QDate::currentDate(), const ProgressFn& progress = {}) const;

    /// The number of steps `run` reports.
    static int stepCount();

private:
    QString m_connection;
};
