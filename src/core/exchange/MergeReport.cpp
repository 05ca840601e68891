#include "MergeReport.h"

#include "core/exchange/CsvFile.h"
#include "core/exchange/ExportTypes.h"
#include "core/exchange/RegisterMerge.h"

namespace mergereport {

bool write(const MergePlan& plan, const QString& file, QString* error, bool replace) {
    using exchange::CsvFile;
    const CsvFile::Columns columns = {
        {QStringLiteral("身份证号码"), CsvFile::Kind::Text}, {QStringLiteral("类别"), CsvFile::Kind::Label},
        {QStringLiteral("页"), CsvFile::Kind::Label},        {QStringLiteral("项目"), CsvFile::Kind::Label},
        {QStringLiteral("本登记册"), CsvFile::Kind::Text},   {QStringLiteral("对方"), CsvFile::Kind::Text},
        {QStringLiteral("采用"), CsvFile::Kind::Label}};
    QList<QStringList> rows;
    for (const MergeConflict& c : plan.conflicts)
        for (const MergeDifference& d : c.differences)
            rows << QStringList{c.id,
                                QStringLiteral("冲突"),
                                d.page,
                                d.item,
                                d.ours,
                                d.theirs,
                                c.takeTheirs ? QStringLiteral("对方") : QStringLiteral("本登记册")};
    for (const MergeProblem& p : plan.problems)
        rows << QStringList{p.id,     QStringLiteral("不能导入"), QString(), QString(), QString(), p.text,
                            QString()};
    try {
        CsvFile::writeTable(file, replace, columns, rows);
        return true;
    } catch (const exchange::ExportError& e) {
        if (error) *error = e.message;
        return false;
    }
}

}  // namespace mergereport
