#include "ProblemCsv.h"

#include <QSaveFile>

namespace problemcsv {

namespace {

QByteArray field(const QString& text) {
    QByteArray f = text.toUtf8();
    if (f.contains(',') || f.contains('"') || f.contains('\r') || f.contains('\n')) {
        f.replace("\"", "\"\"");
        f = '"' + f + '"';
    }
    return f;
}

}  // namespace

QByteArray render(const CheckResult& result) {
    QByteArray out("\xEF\xBB\xBF");
    auto line = [&out](const QStringList& fields) {
        for (int i = 0; i < fields.size(); ++i) {
            if (i) out += ',';
            out += field(fields[i]);
        }
        out += "\r\n";
    };
    line({QStringLiteral("类别"), QStringLiteral("身份证号码"), QStringLiteral("姓名"),
          QStringLiteral("住址"), QStringLiteral("说明")});
    for (const CheckProblem& p : result.problems)
        line({CheckProblem::kindName(p.kind), p.id, p.name, p.address, p.detail});
    return out;
}

bool write(const CheckResult& result, const QString& path, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error) *error = file.errorString();
        return false;
    }
    file.write(render(result));
    if (!file.commit()) {
        if (error) *error = file.errorString();
        return false;
    }
    return true;
}

}  // namespace problemcsv
