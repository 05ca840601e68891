#include "SurveyStore.h"

#include "core/questionnaire/IdentityNumber.h"
#include "core/store/DbError.h"
#include "core/store/Encoding.h"
#include "core/store/SqlQuery.h"
#include "core/store/Statements.h"

using namespace catalogue;

StoreFailure::StoreFailure(int t) : std::runtime_error(statements::tableName(t).toStdString()), table(t) {}

template <typename Run>
void SurveyStore::inTransaction(Run run, int lastTable) {
    m_table = 0;
    try {
        m_query.begin();  // a failed begin counts as the first statement's failure
        run();
        m_table = lastTable;  // a failed commit counts as the last table's
        m_query.commit();
    } catch (const DbError&) {
        m_query.rollback();
        throw StoreFailure(m_table);
    }
}

void SurveyStore::insertRows(const Answers& answers, bool replacing) {
    const encoding::Rows rows = encoding::encode(answers);
    const QString id = rows.basic.first();
    m_table = 0;
    // An identity number is the key of a questionnaire: never empty, at most 18 characters,
    // whichever way it reached the store.
    if (id.isEmpty() || id.size() > kMaxIdLength)
        throw DbError(statements::tableName(0),
                      QStringLiteral("identity number of %1 characters").arg(id.size()));
    QVariantList basic;
    for (const QString& v : rows.basic) basic << v;
    if (!replacing) {
        // "…X" and "…x" are one resident: a new questionnaire never stands beside the other
        // spelling of its number (the key would let it).
        const QStringList spellings = IdentityNumber::spellings(id);
        if (spellings.size() > 1 && isStored(spellings[1]))
            throw DbError(statements::tableName(0), QStringLiteral("stored with the other case of x"));
    }
    m_query.setSql(statements::insertBasic(), basic, statements::tableName(0));
    m_query.execSql();
    if (!replacing) {
        // The number is new to BasicInfo, so any answer rows that carry it are leftovers (of an
        // old half-delete, or made by hand): they must not become part of this questionnaire.
        // Looked for first in one statement (on a server, one round trip instead of twelve).
        m_table = 1;
        m_query.setSql(statements::leftovers(), QVariantList(statements::kTableCount - 1, id),
                       statements::tableName(1));
        m_query.open();
        const bool found = !m_query.eof();
        m_query.close();
        for (int t = 1; found && t < statements::kTableCount; ++t) {
            m_table = t;
            m_query.setSql(statements::remove(t), {id}, statements::tableName(t));
            m_query.execSql();
        }
    }
    for (const auto& row : rows.rows) {
        m_table = statements::tableOf(row.table);
        const bool other = row.isOther();
        QVariantList values{id, row.code};
        if (other) values << row.name;
        m_query.setSql(statements::insertAnswer(m_table, other), values, statements::tableName(m_table));
        m_query.execSql();
    }
}

bool SurveyStore::isStored(const QString& id) {
    m_query.setSql(statements::select(0), {id}, statements::tableName(0));
    m_query.open();
    const bool found = !m_query.eof();
    m_query.close();
    return found;
}

QString SurveyStore::storedNumber(const QString& typed) {
    const QStringList spellings = IdentityNumber::spellings(typed);
    if (spellings.size() < 2) return spellings.value(0);
    for (const QString& s : spellings)
        if (isStored(s)) return s;
    QString canonical = spellings[0];
    canonical.back() = u'X';
    return canonical;
}

LookupResult SurveyStore::readTyped(const QString& typed) {
    const QStringList spellings = IdentityNumber::spellings(typed);
    LookupResult result = read(spellings.value(0));
    if (result.status == LookupResult::NotFound && spellings.size() > 1) result = read(spellings[1]);
    return result;
}

void SurveyStore::deleteRows(const QString& id) {
    for (int t = 0; t < statements::kTableCount; ++t) {
        m_table = t;
        m_query.setSql(statements::remove(t), {id}, statements::tableName(t));
        m_query.execSql();
    }
}

void SurveyStore::store(const Answers& answers) {
    inTransaction([&] { insertRows(answers, false); }, statements::kTableCount - 1);
}

void SurveyStore::replace(const Answers& answers) {
    inTransaction(
        [&] {
            deleteRows(trimmedText(answers.id));
            insertRows(answers, true);
        },
        statements::kTableCount - 1);
}

SurveyStore::Guard SurveyStore::replace(const Answers& answers, const Answers& loaded, Answers* current) {
    Guard outcome = Guard::Replaced;
    inTransaction(
        [&] {
            const QString id = trimmedText(answers.id);
            // A write first: it takes the row's lock on a server and the write lock on the
            // file, so no other clerk can change the questionnaire between the read and the save.
            m_table = 0;
            m_query.setSql(QStringLiteral("Update BasicInfo set ID=ID where id=?"), {id},
                           statements::tableName(0));
            m_query.execSql();
            const LookupResult now = read(id);
            if (now.status == LookupResult::Failed) {
                m_table = now.failedTable;
                throw DbError(statements::tableName(m_table), QStringLiteral("read back before replacing"));
            }
            if (now.status == LookupResult::NotFound)
                outcome = Guard::DeletedMeanwhile;
            else if (!(now.answers == loaded))
                outcome = Guard::ChangedMeanwhile;
            if (current) *current = now.answers;
            if (outcome != Guard::Replaced) return;
            deleteRows(id);
            insertRows(answers, true);
        },
        statements::kTableCount - 1);
    return outcome;
}

void SurveyStore::remove(const QString& id) {
    inTransaction([&] { deleteRows(trimmedText(id)); }, statements::kTableCount - 1);
}

void SurveyStore::storeMany(const std::function<bool(Answers&, QString&)>& next) {
    try {
        inTransaction(
            [&] {
                Answers answers;
                QString replaces;
                while (next(answers, replaces)) {
                    if (!replaces.isNull()) deleteRows(replaces);
                    insertRows(answers, !replaces.isNull());
                    replaces = QString();
                }
            },
            statements::kTableCount - 1);
    } catch (const StoreFailure&) {
        throw;
    } catch (...) {
        m_query.rollback();
        throw;
    }
}

LookupResult SurveyStore::read(const QString& rawId) {
    LookupResult result;
    const QString id = trimmedText(rawId);
    result.answers.id = id;
    int table = 0;
    try {
        m_query.setSql(statements::select(0), {id}, statements::tableName(0));
        m_query.open();
        if (m_query.eof()) {
            result.status = LookupResult::NotFound;
            return result;
        }
        result.found = true;
        encoding::decodeBasic([&](const char* column) { return m_query.text(QLatin1String(column)); },
                              result.answers);
        for (table = 1; table < statements::kTableCount; ++table) {
            const GroupId g = statements::groupOf(table);
            m_query.setSql(statements::select(table), {id}, statements::tableName(table));
            m_query.open();
            for (m_query.first(); !m_query.eof(); m_query.next())
                encoding::decodeAnswerRow(g, m_query.text(QStringLiteral("Code")),
                                          m_query.text(QStringLiteral("Name")), result.answers);
        }
        result.status = LookupResult::Complete;
    } catch (const DbError&) {
        result.status = LookupResult::Failed;
        result.failedTable = table;
    } catch (const encoding::DecodeError&) {
        result.status = LookupResult::Failed;
        result.failedTable = table;
    }
    return result;
}
