#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "core/questionnaire/Catalogue.h"

/// The fixed statements of the register. Every value goes to a placeholder.
/// Tables are numbered 0 (BasicInfo) to 12 (Channel), in storage order.
namespace statements {

constexpr int kTableCount = 13;

const QString& tableName(int table);
/// Table number of an answer-table group (1..12).
int tableOf(catalogue::GroupId group);
catalogue::GroupId groupOf(int table);

const QString& insertBasic();
/// The answer-row insert: three values for the other row, two columns otherwise.
const QString& insertAnswer(int table, bool other);
const QString& select(int table);
const QString& remove(int table);
/// One statement for each answer table, made from one pattern in which "{T}" stands for the
/// table's name: index 0 is Special, 11 Channel. The names come from the fixed table list, never
/// from a value, so every statement made here is still a fixed text.
std::vector<QByteArray> perAnswerTable(const char* pattern);

/// Whether any answer table holds a row of an identity number (the number bound once per table,
/// twelve values): one statement instead of twelve deletes that find nothing.
const QString& leftovers();

}  // namespace statements
