#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "core/questionnaire/Answers.h"

/// Answers ↔ rows: how a questionnaire is written into BasicInfo and the answer tables, and
/// how stored values are read back into ticks and texts.
namespace encoding {

struct AnswerRow {
    catalogue::GroupId table;
    QString code;  ///< "01".."20", one digit for Time1, "99" for the other option
    QString name;  ///< the trimmed other text (code "99" rows only)
    bool isOther() const { return code == QLatin1String("99"); }
};

struct Rows {
    QStringList basic;      ///< BasicInfo's eleven values in column order
    QList<AnswerRow> rows;  ///< in table order, box order, the other row last
};

Rows encode(const Answers& answers);

/// Reads a value of the current BasicInfo row by column name.
using ColumnReader = std::function<QString(const char* column)>;

/// Raised when a value that must read as a whole number does not.
struct DecodeError {
    QString column;
};

/// Applies a BasicInfo row to `into` in the lookup's order (texts, then age, level,
/// political, duty, Position, Flag). On a value that must be a whole number and is not,
/// throws DecodeError; what was applied before stays in `into`.
void decodeBasic(const ColumnReader& read, Answers& into);

/// Applies one answer row; throws DecodeError when `code` is not a whole number.
void decodeAnswerRow(catalogue::GroupId table, const QString& code, const QString& name, Answers& into);

/// The code text for box `index` of an answer-table group.
QString codeText(catalogue::GroupId table, int index);

}  // namespace encoding
