#include "RegisterImage.h"

#include <sqlite3.h>

#include <QHash>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

#include "core/exchange/RegisterReader.h"
#include "core/store/CoreReads.h"
#include "core/store/DbError.h"
#include "core/store/Encoding.h"
#include "core/store/Schema.h"
#include "core/store/SqlQuery.h"
#include "core/store/Statements.h"

using namespace catalogue;

namespace {

constexpr int kAnswerTables = statements::kTableCount - 1;

// Box masks take 4 bytes for groups of up to 32 boxes, 8 for larger ones.
int maskBytes(const Group& g) { return g.boxes.size() <= 32 ? 4 : 8; }

void putText(QByteArray& b, const QString& s) {
    const quint32 n = quint32(s.size());
    b.append(reinterpret_cast<const char*>(&n), sizeof n);
    b.append(reinterpret_cast<const char*>(s.utf16()), qsizetype(n) * 2);
}

QString takeText(const char*& p) {
    quint32 n = 0;
    std::memcpy(&n, p, sizeof n);
    p += sizeof n;
    QString s(qsizetype(n), Qt::Uninitialized);
    std::memcpy(s.data(), p, std::size_t(n) * 2);
    p += std::size_t(n) * 2;
    return s;
}

struct Statement {
    sqlite3_stmt* st = nullptr;
    Statement(sqlite3* db, const QByteArray& sql) {
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) != SQLITE_OK) {
            sqlite3_finalize(st);
            st = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(st); }
};

// A column's value as the program's queries read it: NULL as empty, numbers and blobs as their
// text. False for a floating-point value, which they would print otherwise.
bool columnText(sqlite3_stmt* st, int column, QByteArrayView* out) {
    const int type = sqlite3_column_type(st, column);
    if (type == SQLITE_FLOAT) return false;
    if (type == SQLITE_NULL) {
        *out = {};
        return true;
    }
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
    *out = QByteArrayView(p, sqlite3_column_bytes(st, column));
    return true;
}

bool isAscii(QByteArrayView v) {
    for (const char c : v)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// The key the lookup's reading gives a stored identity number: its text as UTF-8.
QByteArray keyOf(QByteArrayView raw) {
    return isAscii(raw) ? raw.toByteArray() : QString::fromUtf8(raw).toUtf8();
}

// What one register's BasicInfo holds, in the order of its rows; a number's first row counts.
struct BasicPart {
    QHash<QByteArray, int> index;  // key → number of the questionnaire
    std::vector<QByteArray> keys;
    std::vector<QByteArray> packed;  // the row decoded on its own
    std::vector<QString> failure;
};

// What one answer table holds: a box mask per questionnaire, the other texts, the rest aside.
struct TablePart {
    std::vector<quint64> masks;
    std::vector<int> rows;
    QHash<int, QString> others;
    QHash<QByteArray, int> orphanRows;                       // numbers without BasicInfo
    std::vector<std::pair<QByteArray, QString>> unmatched;  // in the table's order
};

struct Register {
    QString connection;
    std::string file;
    BasicPart basic;
    TablePart tables[kAnswerTables];
    bool viaTables = true;
    std::vector<RegisterImage::Entry> entries;
};

int columnIndex(const std::vector<QByteArray>& names, const char* column) {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == column) return int(i);
    for (std::size_t i = 0; i < names.size(); ++i)
        if (qstricmp(names[i].constData(), column) == 0) return int(i);
    return -1;
}

bool readBasic(sqlite3* db, BasicPart& out, const std::atomic<bool>& cancel) {
    out = BasicPart();  // a task that failed on a worker may run again here
    Statement s(db, "select * from BasicInfo");
    if (!s.st) return false;
    std::vector<QByteArray> names;
    for (int i = 0; i < sqlite3_column_count(s.st); ++i) names.emplace_back(sqlite3_column_name(s.st, i));
    const int idColumn = columnIndex(names, "ID");
    if (idColumn < 0) return false;
    bool readable = true;
    for (qint64 row = 0; readable; ++row) {
        const int rc = sqlite3_step(s.st);
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW || ((row & 4095) == 0 && cancel)) return false;
        QByteArrayView id;
        if (!columnText(s.st, idColumn, &id)) return false;
        QByteArray key = keyOf(id);
        if (out.index.contains(key)) continue;
        Answers a;
        QString failure;
        try {
            encoding::decodeBasic(
                [&](const char* column) {
                    QByteArrayView v;
                    const int c = columnIndex(names, column);
                    if (c < 0 || !columnText(s.st, c, &v)) readable = false;
                    return QString::fromUtf8(v);
                },
                a);
        } catch (const encoding::DecodeError& e) {
            failure = QStringLiteral("BasicInfo 的 %1 不是数字").arg(e.column);
        }
        out.index.insert(key, int(out.keys.size()));
        out.keys.push_back(std::move(key));
        out.packed.push_back(RegisterImage::pack(a));
        out.failure.push_back(failure);
    }
    return readable;
}

// Each answer table in its own order (no index is read).
const std::vector<QByteArray>& tableOrder() {
    static const std::vector<QByteArray> all = statements::perAnswerTable("select ID, Code, Name from {T}");
    return all;
}

bool readTable(sqlite3* db, int table, const BasicPart& basic, TablePart& out, const std::atomic<bool>& cancel) {
    const QString& name = statements::tableName(table);
    Statement s(db, tableOrder()[std::size_t(table - 1)].constData());
    if (!s.st) return false;
    const Group& g = group(statements::groupOf(table));
    out = TablePart();  // a task that failed on a worker may run again here
    out.masks.assign(basic.keys.size(), 0);
    out.rows.assign(basic.keys.size(), 0);
    struct Code {
        int box;
        bool other;
    };
    QHash<QByteArray, Code> codes;  // a table holds few distinct codes
    for (qint64 row = 0;; ++row) {
        const int rc = sqlite3_step(s.st);
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW || ((row & 4095) == 0 && cancel)) return false;
        QByteArrayView id, code, text;
        if (!columnText(s.st, 0, &id) || !columnText(s.st, 1, &code) || !columnText(s.st, 2, &text))
            return false;
        const QByteArray key = isAscii(id) ? QByteArray::fromRawData(id.data(), id.size()) : keyOf(id);
        const int q = basic.index.value(key, -1);
        auto known = codes.constFind(QByteArray::fromRawData(code.data(), code.size()));
        if (known == codes.constEnd()) {
            int n = 0;
            const bool whole = SqlQuery::parseInteger(QString::fromUtf8(code), &n);
            known = codes.insert(code.toByteArray(), Code{whole ? g.boxForCode(n) : -1, whole && n == kOtherCode});
        }
        if (q < 0)
            ++out.orphanRows[QByteArray(key.constData(), key.size())];
        else
            ++out.rows[std::size_t(q)];
        if (known->box < 0) {
            out.unmatched.emplace_back(QByteArray(key.constData(), key.size()),
                                       QStringLiteral("%1 表的代码“%2”不对应任何选项")
                                           .arg(name, QString::fromUtf8(code)));
            continue;
        }
        if (q < 0) continue;
        out.masks[std::size_t(q)] |= quint64(1) << known->box;
        if (known->other) out.others.insert(q, QString::fromUtf8(text));
    }
    return true;
}

// Puts the parts together in key order, as RegisterReader would give them.
void join(Register& r) {
    std::vector<std::pair<QByteArray, int>> order;  // key, questionnaire or -1
    order.reserve(r.basic.keys.size());
    for (std::size_t q = 0; q < r.basic.keys.size(); ++q) order.emplace_back(r.basic.keys[q], int(q));
    QHash<QByteArray, int> orphans;
    QHash<QByteArray, QStringList> unmatched;
    for (const TablePart& t : r.tables) {
        for (auto it = t.orphanRows.cbegin(); it != t.orphanRows.cend(); ++it) orphans[it.key()] += it.value();
        for (const auto& [key, text] : t.unmatched) unmatched[key] << text;
    }
    for (auto it = orphans.cbegin(); it != orphans.cend(); ++it) order.emplace_back(it.key(), -1);
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

    std::vector<RegisterImage::Entry>& entries = r.entries;
    entries.reserve(order.size());
    for (const auto& [key, q] : order) {
        RegisterImage::Entry e;
        e.key = key;
        e.unmatched = unmatched.value(key);
        if (q < 0) {
            e.answerRows = orphans.value(key);
            entries.push_back(std::move(e));
            continue;
        }
        e.hasBasic = true;
        e.failure = r.basic.failure[std::size_t(q)];
        Answers a = RegisterImage::unpack(r.basic.packed[std::size_t(q)], QString::fromUtf8(key));
        r.basic.packed[std::size_t(q)] = QByteArray();  // memory back as the entries grow
        for (int t = 0; t < kAnswerTables; ++t) {
            const TablePart& part = r.tables[t];
            e.answerRows += part.rows[std::size_t(q)];
            const quint64 mask = part.masks[std::size_t(q)];
            if (!mask) continue;
            GroupAnswer& ga = a[statements::groupOf(t + 1)];
            for (qsizetype i = 0; i < ga.ticked.size(); ++i)
                if (mask & (quint64(1) << i)) ga.ticked[i] = true;
            const auto other = part.others.constFind(q);
            if (other != part.others.cend()) ga.otherText = other.value();
        }
        if (e.failure.isEmpty()) {
            const QString id = trimmedText(QString::fromUtf8(key));
            if (id.isEmpty() || id.size() > 18) e.failure = QStringLiteral("身份证号码为空或超过 18 位");
        }
        RegisterReader::normalise(a);
        e.answers = RegisterImage::pack(a);
        entries.push_back(std::move(e));
    }
    r.basic = BasicPart();
    for (TablePart& t : r.tables) t = TablePart();
}

// Runs `count` tasks for each register on the cores, the caller's thread reporting progress;
// tasks the workers could not do run here, on a connection of the caller's own.
void runOnCores(std::vector<Register>& regs, std::size_t count,
                const std::function<bool(Register&, sqlite3*, std::size_t)>& task,
                const std::function<void()>& poll) {
    std::vector<std::unique_ptr<CoreReads>> pools;
    for (Register& r : regs)
        if (r.viaTables)
            pools.push_back(std::make_unique<CoreReads>(
                r.connection, count, [&r, &task](sqlite3* db, std::size_t i) { return task(r, db, i); }));
        else
            pools.push_back(nullptr);
    for (bool running = true; running;) {
        running = false;
        for (const auto& p : pools) running = running || (p && !p->finished());
        if (running) {
            poll();
            QThread::msleep(50);
        }
    }
    for (std::size_t k = 0; k < regs.size(); ++k) {
        if (!pools[k]) continue;
        const std::vector<char> done = pools[k]->wait();
        Register& r = regs[k];
        sqlite3* db = nullptr;
        for (std::size_t i = 0; i < count && r.viaTables; ++i) {
            if (done[i]) continue;
            if (!db && sqlite3_open_v2(r.file.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOFOLLOW,
                                       nullptr) == SQLITE_OK)
                sqlite3_busy_timeout(db, schema::kBusyTimeoutMs);
            r.viaTables = db && task(r, db, i);
            poll();
        }
        sqlite3_close(db);
    }
}

}  // namespace

QByteArray RegisterImage::pack(const Answers& a) {
    QByteArray b;
    b.reserve(256);
    for (int i = 0; i < 4; ++i) putText(b, a.basic(i));
    for (const Group& g : groups()) {
        const GroupAnswer& ga = a[g.id];
        quint64 bits = 0;
        for (qsizetype i = 0; i < ga.ticked.size(); ++i)
            if (ga.ticked[i]) bits |= quint64(1) << i;
        b.append(reinterpret_cast<const char*>(&bits), maskBytes(g));
        if (g.hasOther()) putText(b, ga.otherText);
    }
    return b;
}

Answers RegisterImage::unpack(const QByteArray& packed, const QString& id) {
    Answers a;
    a.id = trimmedText(id);
    if (packed.isEmpty()) return a;
    const char* p = packed.constData();
    for (int i = 0; i < 4; ++i) a.basic(i) = takeText(p);
    for (const Group& g : groups()) {
        GroupAnswer& ga = a[g.id];
        quint64 bits = 0;
        std::memcpy(&bits, p, std::size_t(maskBytes(g)));
        p += maskBytes(g);
        for (qsizetype i = 0; i < ga.ticked.size(); ++i) ga.ticked[i] = (bits >> i) & 1;
        if (g.hasOther()) ga.otherText = takeText(p);
    }
    return a;
}

Answers RegisterImage::answers(const Entry& entry) const {
    return unpack(entry.answers, QString::fromUtf8(entry.key));
}

std::vector<RegisterImage> RegisterImage::read(const QStringList& connections,
                                               const ProgressFn& progress, qint64 total) {
    for (const Group& g : groups()) Q_ASSERT(g.boxes.size() <= 64);
    std::vector<Register> regs(std::size_t(connections.size()));
    for (qsizetype k = 0; k < connections.size(); ++k) {
        Register& r = regs[std::size_t(k)];
        r.connection = connections[k];
        r.file = CoreReads::sqliteFile(r.connection);  // throws DbError when it cannot be opened
        r.viaTables = !r.file.empty();
    }
    // Progress in steps of the tables read; a cancel stops the workers at their next rows.
    std::atomic<bool> cancel{false};
    std::atomic<int> steps{0};
    const int allSteps = int(regs.size()) * statements::kTableCount;
    auto poll = [&] {
        if (!progress || cancel) return;
        const qint64 done = total * steps / std::max(allSteps, 1);
        if (!progress(done, total)) cancel = true;
    };
    runOnCores(regs, 1, [&](Register& r, sqlite3* db, std::size_t) {
        const bool ok = readBasic(db, r.basic, cancel);
        ++steps;
        return ok || cancel;
    }, poll);
    if (!cancel)
        runOnCores(regs, kAnswerTables, [&](Register& r, sqlite3* db, std::size_t i) {
            const bool ok = readTable(db, int(i) + 1, r.basic, r.tables[i], cancel);
            ++steps;
            return ok || cancel;
        }, poll);
    if (cancel) throw Cancelled{};

    std::vector<RegisterImage> out;
    std::vector<std::thread> joins;
    for (Register& r : regs)
        if (r.viaTables) joins.emplace_back([&r] { join(r); });
    for (std::thread& t : joins) t.join();
    for (Register& r : regs) {
        RegisterImage image;
        image.m_entries = std::move(r.entries);
        if (!r.viaTables) {
            // Another engine, or values the table-by-table reading does not take: the reader's way.
            image.m_entries.clear();
            image.m_throughIndexes = true;
            RegisterReader reader(r.connection);
            ReadQuestionnaire q;
            for (qint64 seen = 1; reader.next(q); ++seen) {
                if (progress && (seen % 256) == 0 && !progress(std::min<qint64>(seen, total), total)) throw Cancelled{};
                Entry e;
                e.key = q.key;
                e.hasBasic = q.hasBasic;
                e.answerRows = q.answerRows;
                e.failure = q.failure;
                e.unmatched = q.unmatched;
                if (q.hasBasic) e.answers = pack(q.answers);
                image.m_entries.push_back(std::move(e));
            }
        }
        out.push_back(std::move(image));
    }
    if (progress) progress(total, total);
    return out;
}
