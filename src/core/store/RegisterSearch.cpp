#include "RegisterSearch.h"

#include <QHash>
#include <algorithm>
#include <utility>
#include <vector>

#include "core/questionnaire/Catalogue.h"
#include "core/questionnaire/IdentityNumber.h"
#include "core/store/Connection.h"
#include "core/store/SqlQuery.h"

namespace {

const QString kLabel = QStringLiteral("BasicInfo");

const char16_t kFullWidthZero = u'\xFF10';

const QString kTextColumns[] = {QStringLiteral("ID"), QStringLiteral("name"), QStringLiteral("Address"),
                                QStringLiteral("WorkUnit"), QStringLiteral("Phone")};

// A word as it must be compared: with digits (which may be stored in either width), with
// Latin letters (either case), or neither (Chinese characters and signs, compared as they are).
enum class Fold { None, Case, CaseAndDigits };

Fold foldFor(const QString& word) {
    Fold f = Fold::None;
    for (QChar c : word) {
        if (c.isDigit()) return Fold::CaseAndDigits;
        if (c.isLetter() && c.unicode() < 128) f = Fold::Case;
    }
    return f;
}

// SQLite's GLOB pattern matching `word` anywhere: each digit as a class of both widths, each
// Latin letter as a class of both cases, the GLOB wildcards as one-character classes.
QString globPattern(const QString& word) {
    QString p = QStringLiteral("*");
    for (QChar c : word) {
        if (c >= u'0' && c <= u'9') {
            p += u'[';
            p += c;
            p += QChar(char16_t(kFullWidthZero + (c.unicode() - u'0')));
            p += u']';
        } else if (c.unicode() < 128 && c.isLetter()) {
            p += u'[';
            p += c.toLower();
            p += c.toUpper();
            p += u']';
        } else if (c == u'*' || c == u'?' || c == u'[' || c == u']') {
            p += u'[';
            p += c;
            p += u']';
        } else {
            p += c;
        }
    }
    p += u'*';
    return p;
}

struct Matcher {
    QString before, after;  ///< around a column name: before + column + after is the condition
    QString value;          ///< bound to its placeholder
};

// How one column is tested for one word: the only part that differs between engines. A word of
// Chinese characters is a plain LIKE everywhere. Folding the stored texts costs an expression
// on every row; SQLite folds in the pattern instead, with GLOB's character classes (its LIKE
// already ignores the case of Latin letters); other engines fold the column with TRANSLATE.
Matcher matcherFor(const QString& driver, const QString& word) {
    const Matcher plain{QString(), QStringLiteral(" LIKE ? ESCAPE '!'"), RegisterSearch::pattern(word)};
    const Fold fold = foldFor(word);
    if (fold == Fold::None) return plain;
    if (driver == QLatin1String("QSQLITE"))
        return fold == Fold::Case ? plain : Matcher{QString(), QStringLiteral(" GLOB ?"), globPattern(word)};
    return {QStringLiteral("LOWER(TRANSLATE("),
            QStringLiteral(", '０１２３４５６７８９', '0123456789')) LIKE ? ESCAPE '!'"),
            RegisterSearch::pattern(word)};
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

// The other form of a whole identity number typed as a word, as it would stand in a stored
// number: 15 digits for an 18-digit number of the 1900s, the first 17 characters of the
// 18-digit form for 15 digits (any check character). Empty for any other word.
QString otherForm(const QString& word) {
    auto digits = [](QStringView s) {
        return std::all_of(s.begin(), s.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    };
    if (word.size() == 15 && digits(word)) return IdentityNumber::toEighteen(word).left(17);
    if (word.size() == 18 && digits(QStringView(word).left(17)) && word.mid(6, 2) == QLatin1String("19"))
        return word.left(6) + word.mid(8, 9);
    return QString();
}

}  // namespace

QStringList RegisterSearch::words(const QString& typed) {
    QStringList out;
    QString word;
    // Blanks of every kind part words, the ideographic space of Chinese input included.
    for (QChar c : typed + u' ') {
        if (c.isSpace()) {
            if (!word.isEmpty()) out << std::exchange(word, QString());
            continue;
        }
        if (c.unicode() >= kFullWidthZero && c.unicode() <= kFullWidthZero + 9)
            c = QChar(char16_t(u'0' + (c.unicode() - kFullWidthZero)));
        word += c;
    }
    for (QString& w : out) w = w.toLower();
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
    QStringList ids;
    if (ws.isEmpty() && sortBy == Id) {
        // The whole register in key order: the key's index alone, already sorted.
        m_query.setSql(QStringLiteral("SELECT ID FROM BasicInfo ORDER BY ID"), {}, kLabel);
        m_query.open();
        for (; !m_query.eof(); m_query.next()) ids << m_query.text(0);
        m_query.close();
        if (order == Qt::DescendingOrder) std::reverse(ids.begin(), ids.end());
        return ids;
    }

    // The statement is made of fixed pieces only: one condition per word over the five texts.
    // No ORDER BY: walking the key's index and fetching each row from it is many times slower
    // than reading the table through, so the matches are sorted here (by character codes, the
    // same on every engine).
    const QString driver = connection::database(m_query.connectionName()).driverName();
    QString sql = QStringLiteral("SELECT ID, ");
    sql += columnName(sortBy);
    sql += QStringLiteral(" FROM BasicInfo");
    QVariantList values;
    for (const QString& w : ws) {
        const Matcher m = matcherFor(driver, w);
        sql += values.isEmpty() ? QStringLiteral(" WHERE (") : QStringLiteral(" AND (");
        for (int c = 0; c < int(std::size(kTextColumns)); ++c) {
            if (c) sql += QStringLiteral(" OR ");
            sql += m.before;
            sql += kTextColumns[c];
            sql += m.after;
            values << m.value;
        }
        // A whole identity number also finds the same resident under its other form.
        if (const QString other = otherForm(w); !other.isEmpty()) {
            const Matcher o = matcherFor(driver, other);
            sql += QStringLiteral(" OR ");
            sql += o.before;
            sql += kTextColumns[0];
            sql += o.after;
            values << o.value;
        }
        sql += u')';
    }

    struct Match {
        QString key, id;
    };
    std::vector<Match> matches;
    m_query.setSql(sql, values, kLabel);
    m_query.open();
    for (; !m_query.eof(); m_query.next()) matches.push_back({m_query.text(1), m_query.text(0)});
    m_query.close();
    std::sort(matches.begin(), matches.end(), [](const Match& a, const Match& b) {
        if (const int k = QString::compare(a.key, b.key); k != 0) return k < 0;
        return a.id < b.id;
    });
    if (order == Qt::DescendingOrder) std::reverse(matches.begin(), matches.end());
    ids.reserve(qsizetype(matches.size()));
    for (Match& m : matches) ids << std::move(m.id);
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
