#pragma once

#include <QList>
#include <QString>
#include <array>

#include "core/questionnaire/Catalogue.h"

/// What one group of a questionnaire says: the ticked state of each box and the other text.
struct GroupAnswer {
    QList<bool> ticked;  ///< one per box of the group, in box order
    QString otherText;   ///< the other text box as typed (empty when the group has none)

    bool operator==(const GroupAnswer&) const = default;
};

/// What a questionnaire says, exactly as the controls say it (texts untrimmed).
struct Answers {
    QString id;
    QString name;
    QString address;
    QString workUnit;
    QString phone;
    std::array<GroupAnswer, catalogue::GroupCount> groups;

    Answers();

    GroupAnswer& operator[](catalogue::GroupId g) { return groups[g]; }
    const GroupAnswer& operator[](catalogue::GroupId g) const { return groups[g]; }

    /// The basic-fact texts by field index (0 name, 1 address, 2 work unit, 3 phone).
    QString& basic(int index);
    const QString& basic(int index) const;

    /// Ticks the box of group `g` with this option code; false when no box has it.
    bool tickCode(catalogue::GroupId g, int code);
    /// Number of ticked boxes of a group.
    int tickCount(catalogue::GroupId g) const;
    bool isOtherTicked(catalogue::GroupId g) const;

    bool operator==(const Answers&) const = default;
};

/// Leading and trailing characters of code 32 or less removed; nothing else.
QString trimmedText(const QString& text);
