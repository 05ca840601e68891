#pragma once

#include <QString>

namespace report {

/// The rows a report prints, walked forward once per layout. A source computes its calculated
/// fields when it arrives on a row and answers each field with its display text.
class RowSource {
public:
    virtual ~RowSource() = default;
    /// Moves to the first row (eof() when there is none).
    virtual void first() = 0;
    virtual void next() = 0;
    virtual bool eof() const = 0;
    /// The text a data field shows for `field` on the current row.
    virtual QString displayText(const QString& field) const = 0;
};

}  // namespace report
