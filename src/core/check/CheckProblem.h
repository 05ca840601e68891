#pragma once

#include <QList>
#include <QString>

/// One finding of the data check: what kind of problem, which questionnaire (identity number
/// as stored, name and address when its BasicInfo row exists) and a short explanation.
struct CheckProblem {
    /// The kinds, in the order the check lists them.
    enum Kind {
        WrongCheck,      ///< 校验码错误
        ImpossibleDate,  ///< 出生日期不可能
        Fifteen,         ///< 15位旧号码
        SameResident,    ///< 同一居民重复登记
        NotAnId,         ///< 不是身份证号码
        OrphanRows,      ///< 答案行缺少基本信息
        UnknownCode,     ///< 无法识别的选项代码
        KindCount
    };

    Kind kind = NotAnId;
    QString id;
    QString name;
    QString address;
    QString detail;
    /// Same resident: the 18-character form the records of one resident share; empty otherwise.
    QString resident;

    /// The kind's name as the window, the command line and the CSV file show it.
    static QString kindName(Kind kind);

    bool operator==(const CheckProblem&) const = default;
};

/// What one run of the data check found.
struct CheckResult {
    qint64 questionnaires = 0;     ///< BasicInfo rows judged
    QList<CheckProblem> problems;  ///< by kind, then by identity number
    bool cancelled = false;        ///< stopped before the end; `problems` is then incomplete

    int count(CheckProblem::Kind kind) const;
    bool isClean() const { return problems.isEmpty() && !cancelled; }
};
