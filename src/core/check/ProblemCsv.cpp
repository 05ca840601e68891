#include "ProblemCsv.h"

#include "core/exchange/CsvFile.h"
#include "core/exchange/ExportTypes.h"

namespace problemcsv {

namespace {

using exchange::CsvFile;

const CsvFile::Columns& columns() {
    static const CsvFile::Columns c = {{QStringLiteral("类别"), CsvFile::Kind::Label},
                                       {QStringLiteral("身份证号码"), CsvFile::Kind::Text},
                                       {QStringLiteral("姓名"), CsvFile::Kind::Text},
                                       {QStringLiteral("住址"), CsvFile::Kind::Text},
                                       {QStringLiteral("说明"), CsvFile::Kind::Text}};
    return c;
}

QList<QStringList> rows(const CheckResult& result) {
    QList<QStringList> out;
    for (const CheckProblem& p : result.problems)
        out << QStringList{CheckProblem::kindName(p.kind), p.id, p.name, p.address, p.detail};
    return out;
}

}  // namespace

QByteArray render(const CheckResult& result) {
    const auto flavour = CsvFile::Flavour::Spreadsheet;
    QByteArray out("\xEF\xBB\xBF");
    auto line = [&](const QStringList& fields, bool heading) {
        for (int i = 0; i < fields.size(); ++i) {
            if (i) out += ',';
            out += CsvFile::encode(fields[i], heading ? CsvFile::Kind::Label : columns()[size_t(i)].second,
                                   flavour);
        }
        out += "\r\n";
    };
    QStringList heads;
    for (const auto& c : columns()) heads << c.first;
    line(heads, true);
    for (const QStringList& r : rows(result)) line(r, false);
    return out;
}

bool write(const CheckResult& result, const QString& path, QString* error, bool replace) {
    try {
        CsvFile::writeTable(path, replace, columns(), rows(result));
        return true;
    } catch (const exchange::ExportError& e) {
        if (error) *error = e.message;
        return false;
    }
}

}  // namespace problemcsv
