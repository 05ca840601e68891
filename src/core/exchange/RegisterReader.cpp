#include "RegisterReader.h"

#include "core/store/DbError.h"
#include "core/store/Encoding.h"
#include "core/store/SqlQuery.h"
#include "core/store/Statements.h"

using namespace catalogue;

namespace {

// Each table in identity-number order (the ID indexes serve them).
QString ordered(int table) {
    static const std::vector<QByteArray> answers = statements::perAnswerTable("select ID, Code, Name from {T} order by ID");
    return table == 0 ? QStringLiteral("select * from BasicInfo order by ID")
                      : QString::fromLatin1(answers[std::size_t(table - 1)]);
}

}  // namespace

struct RegisterReader::Cursor {
    int table;
    std::unique_ptr<SqlQuery> query;
    QByteArray key;
    QString id;
    bool atEnd = false;
};

RegisterReader::RegisterReader(const QString& connectionName) : m_connection(connectionName) {}

RegisterReader::~RegisterReader() {
    m_cursors.clear();
    if (!m_started) return;
    // The connection may be the program's own: reads through a memory map end the program
    // (SIGBUS) if the file is ever cut short under it, where a read error would only be reported.
    try {
        SqlQuery pragma(m_connection);
        pragma.setSql(QStringLiteral("PRAGMA mmap_size=0"), {}, statements::tableName(0));
        pragma.open();
    } catch (...) {
    }
}

qint64 RegisterReader::questionnaireCount() {
    SqlQuery q(m_connection);
    q.setSql(QStringLiteral("select count(*) from BasicInfo"), {}, statements::tableName(0));
    q.open();
    return q.eof() ? 0 : q.integer(0);
}

void RegisterReader::advance(Cursor& c) {
    if (c.atEnd) return;
    if (c.query->eof()) {
        c.atEnd = true;
        return;
    }
    c.id = c.query->text(0);
    c.key = c.id.toUtf8();
}

void RegisterReader::normalise(Answers& a) {
    a.id = trimmedText(a.id);
    for (int i = 0; i < 4; ++i) a.basic(i) = trimmedText(a.basic(i));
    for (const Group& g : groups()) {
        GroupAnswer& ga = a[g.id];
        ga.otherText = g.hasOther() && ga.ticked.last() ? trimmedText(ga.otherText) : QString();
    }
}

bool RegisterReader::next(ReadQuestionnaire& out) {
    if (!m_started) {
        m_started = true;
        // The tables are read in key order through their indexes, page by page out of order:
        // reading the file through memory mapping saves a system call per page.
        SqlQuery pragma(m_connection);
        pragma.setSql(QStringLiteral("PRAGMA mmap_size=4294967296"), {}, statements::tableName(0));
        pragma.open();
        for (int t = 0; t < statements::kTableCount; ++t) {
            auto c = std::make_unique<Cursor>();
            c->table = t;
            c->query = std::make_unique<SqlQuery>(m_connection);
            c->query->setSql(ordered(t), {}, statements::tableName(t));
            c->query->open();
            advance(*c);
            m_cursors.push_back(std::move(c));
        }
    }
    const Cursor* lowest = nullptr;
    for (const auto& c : m_cursors)
        if (!c->atEnd && (!lowest || c->key < lowest->key)) lowest = c.get();
    if (!lowest) return false;

    out = ReadQuestionnaire();
    out.key = lowest->key;
    out.id = lowest->id;
    out.answers.id = out.id;
    Cursor& basic = *m_cursors[0];
    if (!basic.atEnd && basic.key == out.key) {
        out.hasBasic = true;
        try {
            encoding::decodeBasic(
                [&](const char* column) { return basic.query->text(QLatin1String(column)); }, out.answers);
        } catch (const encoding::DecodeError& e) {
            out.failure = QStringLiteral("BasicInfo 的 %1 不是数字").arg(e.column);
        }
        // Any further row of the same number (a file without the key) is left behind.
        do {
            basic.query->next();
            advance(basic);
        } while (!basic.atEnd && basic.key == out.key);
    }
    for (int t = 1; t < statements::kTableCount; ++t) {
        Cursor& c = *m_cursors[t];
        const GroupId g = statements::groupOf(t);
        while (!c.atEnd && c.key == out.key) {
            ++out.answerRows;
            const QString code = c.query->text(1);
            int n = 0;
            if (!SqlQuery::parseInteger(code, &n) || group(g).boxForCode(n) < 0)
                out.unmatched
                    << QStringLiteral("%1 表的代码“%2”不对应任何选项").arg(statements::tableName(t), code);
            else
                encoding::decodeAnswerRow(g, code, c.query->text(2), out.answers);
            c.query->next();
            advance(c);
        }
    }
    if (out.hasBasic && out.failure.isEmpty()) {
        const QString id = trimmedText(out.id);
        if (id.isEmpty() || id.size() > 18) out.failure = QStringLiteral("身份证号码为空或超过 18 位");
    }
    normalise(out.answers);
    return true;
}
