#include "RegisterSearch.h"

#include <QHash>

#include "SqlQuery.h"
#include "questionnaire/Catalogue.h"

namespace {

const QString kLabel = QStringLiteral("BasicInfo");

// The five texts of a questionnaire as one text, blank-separated: a word holds no blank, so
// it never matches across two of them.
const QString kTexts = QStringLiteral(
    "(COALESCE(ID,'') || ' ' || COALESCE(name,'') || ' ' || COALESCE(Address,'') || ' ' || "
    "COALESCE(WorkUnit,'') || ' ' || COALESCE(Phone,''))");

const char16_t kFullWidthZero = u'\xFF10';

// How much folding a word needs of the stored texts. Folding costs time on every row, so a word
// of Chinese characters only is compared with the texts as they are.
enum class Fold { None, Case, CaseAndDigits };

Fold foldFor(const QString& word) {
    Fold f = Fold::None;
    for (QChar c : word) {
        if (c.isDigit()) return Fold::CaseAndDigits;
        if (c.isLetter() && c.unicode() < 128) f = Fold::Case;
    }
    return f;
}

// The texts with letters in lower case and, when asked, full-width digits as ASCII digits:
// plain SQL that every engine runs the same way.
QString textsFolded(Fold fold) {
    if (fold == Fold::None) return kTexts;
    QString expr = QStringLiteral("LOWER") + kTexts;
    if (fold == Fold::CaseAndDigits) {
        for (int d = 0; d < 10; ++d) {
            const QString wide(QChar(char16_t(kFullWidthZero + d)));
            const QString narrow(QChar(char16_t(u'0' + d)));
            expr = QStringLiteral("REPLACE(") + expr + QStringLiteral(",'") + wide + QStringLiteral("','") +
                   narrow + QStringLiteral("')");
        }
    }
    return expr;
}

const QString& condition(Fold fold) {
    static const QString conditions[] = {
        textsFolded(Fold::None) + QStringLiteral(" LIKE ? ESCAPE '!'"),
        textsFolded(Fold::Case) + QStringLiteral(" LIKE ? ESCAPE '!'"),
        textsFolded(Fold::CaseAndDigits) + QStringLiteral(" LIKE ? ESCAPE '!'"),
    };
    return conditions[int(fold)];
}

const QString& columnName(RegisterSearch::Column c) {
    static const QString names[] = {
        QStringLiteral("ID"),       QStringLiteral("name"),  QStringLiteral("Address"),
        QStringLiteral("WorkUnit"), QStringLiteral("Phone"), QStringLiteral("age"),
    };
    return names[c >= 0 && c < RegisterSearch::ColumnCount ? int(c) : 0];
}

// The rows statement: one fixed text with kBatch placeholders.
const QString& rowsStatement() {
    static const QString sql = [] {
        QString s =
            QStringLiteral("SELECT ID, name, Address, WorkUnit, Phone, age FROM BasicInfo WHERE ID IN (");
        for (int i = 0; i < RegisterSearch::kBatch; ++i) s += i ? QStringLiteral(",?") : QStringLiteral("?");
        s += u')';
        return s;
    }();
    return sql;
}

}  // namespace

QStringList RegisterSearch::words(const QString& typed) {
    QStringList out;
    for (const QString& w : typed.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        QString folded = w.toLower();
        for (QChar& c : folded)
            if (c.unicode() >= kFullWidthZero && c.unicode() <= kFullWidthZero + 9)
                c = QChar(char16_t(u'0' + (c.unicode() - kFullWidthZero)));
        out << folded;
    }
    return out;
}

QString RegisterSearch::pattern(const QString& word) {
    QString p;
    p.reserve(word.size() + 4);
    p += u'%';
    for (QChar c : word) {
        if (c == u'!' || c == u'%' || c == u'_') p += u'!';
        p += c;
    }
    p += u'%';
    return p;
}

QString RegisterSearch::ageCaption(const QString& code) {
    int n = 0;
    if (!SqlQuery::parseInteger(code, &n)) return QString();
    const catalogue::Group& age = catalogue::group(catalogue::Age);
    const int box = age.boxForCode(n);
    return box < 0 ? QString() : catalogue::qs(age.boxes[std::size_t(box)].caption);
}

QStringList RegisterSearch::find(const QString& typed, Column sortBy, Qt::SortOrder order) {
    const QStringList ws = words(typed);
    // The statement is made of fixed pieces only: one condition per word, one of six columns.
    QString sql = QStringLiteral("SELECT ID FROM BasicInfo");
    QVariantList values;
    for (const QString& w : ws) {
        sql += values.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ");
        sql += condition(foldFor(w));
        values << pattern(w);
    }
    const QString dir = order == Qt::DescendingOrder ? QStringLiteral(" DESC") : QString();
    sql += QStringLiteral(" ORDER BY ");
    sql += columnName(sortBy);
    sql += dir;
    if (sortBy != Id) sql += QStringLiteral(", ID");

    QStringList ids;
    m_query.setSql(sql, values, kLabel);
    m_query.open();
    while (!m_query.eof()) {
        ids << m_query.text(0);
        m_query.next();
    }
    m_query.close();
    return ids;
}

QList<RegisterSearch::Row> RegisterSearch::rows(const QStringList& ids) {
    QVariantList values;
    for (int i = 0; i < kBatch && !ids.isEmpty(); ++i) values << ids.value(i, ids.last());
    QHash<QString, Row> found;
    if (!values.isEmpty()) {
        m_query.setSql(rowsStatement(), values, kLabel);
        m_query.open();
        while (!m_query.eof()) {
            Row r{m_query.text(0), m_query.text(1), m_query.text(2),
                  m_query.text(3), m_query.text(4), m_query.text(5)};
            found.insert(r.id, r);
            m_query.next();
        }
        m_query.close();
    }
    QList<Row> out;
    out.reserve(ids.size());
    for (const QString& id : ids) {
        const auto it = found.constFind(id);
        out << (it != found.constEnd() ? *it : Row{id, {}, {}, {}, {}, {}});
    }
    return out;
}
