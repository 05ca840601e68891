#pragma once

#include <QString>

#include "core/questionnaire/Catalogue.h"

/// What a clerk calls a part of the register in a sheet or a message: the page and its title
/// (as the record forms' tabs and page hints show them), never a table or column name.
namespace captions {

/// "页二 专业及特长" for the specialties, "页一 年龄" for the age bracket.
QString ofGroup(catalogue::GroupId group);

/// The same for a table or a BasicInfo column as stored ("Special", "TYpe", "age"; letter case
/// ignored); "页一 基本信息" for BasicInfo itself; empty for any other name.
QString ofStorage(const QString& name);

/// What a failed read says: "读取“页二 专业及特长”的数据时出错" for a statement on a table,
/// "读取数据库时出错" otherwise (the connection, a transaction).
QString readFailed(const QString& statement);

}  // namespace captions
