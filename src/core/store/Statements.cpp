#include "Statements.h"

#include <array>

using namespace catalogue;

namespace statements {

namespace {

// clang-format off
struct TableStatements {
    const char* name;
    const char* insertOther;
    const char* insertCode;
    const char* select;
    const char* remove;
};

const std::array<TableStatements, kTableCount> kTables = {{
    {"BasicInfo", nullptr, nullptr,
     "select * from BasicInfo where id=?", "Delete from BasicInfo where id=?"},
    {"Special",   "Insert into Special values(?,?,?)",   "Insert into Special (ID,Code) values(?,?)",
     "Select * from special where id=?",   "Delete from Special where id=?"},
    {"Love",      "Insert into Love values(?,?,?)",      "Insert into Love (ID,Code) values(?,?)",
     "Select * from Love where id=?",      "Delete from Love where id=?"},
    {"Team",      "Insert into Team values(?,?,?)",      "Insert into Team (ID,Code) values(?,?)",
     "Select * from Team where id=?",      "Delete from Team where id=?"},
    {"Service",   "Insert into Service values(?,?,?)",   "Insert into Service (ID,Code) values(?,?)",
     "Select * from Service where id=?",   "Delete from Service where id=?"},
    {"Train",     "Insert into Train values(?,?,?)",     "Insert into  Train(ID,Code) values(?,?)",
     "Select * from Train where id=?",     "Delete from Train where id=?"},
    {"Reason",    "Insert into Reason values(?,?,?)",    "Insert into  Reason(ID,Code) values(?,?)",
     "Select * from Reason where id=?",    "Delete from Reason where id=?"},
    {"Who",       "Insert into Who values(?,?,?)",       "Insert into  Who(ID,Code) values(?,?)",
     "Select * from Who where id=?",       "Delete from Who where id=?"},
    {"Type",      "Insert into Type values(?,?,?)",      "Insert into  Type(ID,Code) values(?,?)",
     "Select * from TYpe where id=?",      "Delete from TYpe where id=?"},
    {"Time1",     nullptr,                               "Insert into Time1(ID,Code) values(?,?)",
     "Select * from Time1 where id=?",     "Delete from Time1 where id=?"},
    {"ReinForce", "Insert into ReinForce values(?,?,?)", "Insert into  ReinForce(ID,Code) values(?,?)",
     "Select * from ReinForce where id=?", "Delete from ReinForce where id=?"},
    {"Depend",    "Insert into Depend values(?,?,?)",    "Insert into  Depend(ID,Code) values(?,?)",
     "Select * from Depend where id=?",    "Delete from Depend where id=?"},
    {"Channel",   "Insert into Channel values(?,?,?)",   "Insert into  Channel(ID,Code) values(?,?)",
     "Select * from Channel where id=?",   "Delete from Channel where id=?"},
}};
// clang-format on

}  // namespace

int tableOf(GroupId g) {
    const auto& order = answerTables();
    for (int i = 0; i < int(order.size()); ++i)
        if (order[i] == g) return i + 1;
    return 0;
}

GroupId groupOf(int table) { return answerTables().at(table - 1); }

namespace {

// The statement texts as QStrings, made once: storing a questionnaire sets up to 144 of them.
struct Texts {
    QString insertBasic = QStringLiteral("Insert into BasicInfo values (?,?,?,?,?,?,?,?,?,?,?)");
    std::array<QString, kTableCount> name, insertOther, insertCode, select, remove;
    QString leftovers = QStringLiteral(
        "select 1 from Special where ID=? union all select 1 from Love where ID=? union all "
        "select 1 from Team where ID=? union all select 1 from Service where ID=? union all "
        "select 1 from Train where ID=? union all select 1 from Reason where ID=? union all "
        "select 1 from Who where ID=? union all select 1 from Type where ID=? union all "
        "select 1 from Time1 where ID=? union all select 1 from ReinForce where ID=? union all "
        "select 1 from Depend where ID=? union all select 1 from Channel where ID=? limit 1");
    Texts() {
        for (int t = 0; t < kTableCount; ++t) {
            const TableStatements& s = kTables[t];
            name[t] = QLatin1String(s.name);
            if (s.insertOther) insertOther[t] = QLatin1String(s.insertOther);
            if (s.insertCode) insertCode[t] = QLatin1String(s.insertCode);
            select[t] = QLatin1String(s.select);
            remove[t] = QLatin1String(s.remove);
        }
    }
};

const Texts& texts() {
    static const Texts t;
    return t;
}

}  // namespace

const QString& tableName(int table) { return texts().name.at(table); }

const QString& insertBasic() { return texts().insertBasic; }

const QString& insertAnswer(int table, bool other) {
    return other ? texts().insertOther.at(table) : texts().insertCode.at(table);
}

const QString& select(int table) { return texts().select.at(table); }

const QString& leftovers() { return texts().leftovers; }
const QString& remove(int table) { return texts().remove.at(table); }

std::vector<QByteArray> perAnswerTable(const char* pattern) {
    std::vector<QByteArray> out;
    out.reserve(kTableCount - 1);
    for (int t = 1; t < kTableCount; ++t) out.push_back(QByteArray(pattern).replace("{T}", tableName(t).toLatin1()));
    return out;
}

}  // namespace statements
