#include "RegisterMerge.h"

#include "core/exchange/MergeReport.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QSqlDatabase>
#include <QUuid>

#include "core/backup/RegisterCopy.h"
#include "core/backup/Restore.h"
#include "core/backup/Snapshots.h"
#include "core/exchange/RegisterReader.h"
#include "core/questionnaire/IdentityNumber.h"
#include "core/store/Connection.h"
#include "core/store/SqlQuery.h"
#include "core/store/Statements.h"
#include "core/store/SurveyStore.h"

using namespace catalogue;

namespace {

const QString kOurs = QStringLiteral("MyDb");
const QString kTheirs = QStringLiteral("MergeSource");

QString describe(const Group& g, const GroupAnswer& a) {
    QStringList ticked;
    for (int i = 0; i < int(g.boxes.size()); ++i) {
        if (!a.ticked.value(i)) continue;
        QString caption = qs(g.boxes[i].caption);
        if (g.hasOther() && i == int(g.boxes.size()) - 1 && !a.otherText.isEmpty())
            caption += QStringLiteral("：") + a.otherText;
        ticked << caption;
    }
    return ticked.isEmpty() ? QStringLiteral("（未选）") : ticked.join(QStringLiteral("、"));
}

QString orBlank(const QString& s) { return s.isEmpty() ? QStringLiteral("（空）") : s; }

// A field's label without the colon it has on the form.
QString item(const char* label) {
    QString s = qs(label).trimmed();
    while (s.endsWith(u'：') || s.endsWith(u':')) s.chop(1);
    return s;
}

}  // namespace

int MergePlan::takenFromTheirs() const {
    int n = 0;
    for (const MergeConflict& c : conflicts) n += c.takeTheirs;
    return n;
}

RegisterMerge::RegisterMerge(QString source) : m_source(std::move(source)) {}

RegisterMerge::~RegisterMerge() { closeSource(); }

void RegisterMerge::openSource() {
    if (!m_copy.isEmpty()) return;
    const QString notMerged = QStringLiteral("未合并，当前的登记册没有改动。");
    // The tables first (cheap); the pages and trees are checked as the rows are copied.
    const backup::Inspection check = backup::inspect(m_source, false);
    if (!check.ok)
        throw sqlitefile::FileError(check.message + notMerged,
                                    QStringLiteral("merge source refused: %1").arg(m_source));
    // A copy beside our register: consistent even if the other program is writing, and read
    // twice (plan, then write) with the same contents.
    const QString ours = backup::databaseFile();
    const QString folder =
        ours.isEmpty() ? QFileInfo(m_source).absolutePath() : QFileInfo(ours).absolutePath();
    const QString copy = folder + QStringLiteral("/.merge-") + QUuid::createUuid().toString(QUuid::Id128) +
                         QStringLiteral(".db");
    try {
        // Their rows only, in a register of our own making: nothing else of the file comes along.
        registercopy::build(m_source, copy, {}, sqlitefile::Use::Scratch, registercopy::Check::Structure);
    } catch (const sqlitefile::FileError& e) {
        throw sqlitefile::FileError(e.message + notMerged, e.detail);
    }
    m_copy = copy;
    connection::Definition def;
    def.name = kTheirs;
    def.dataSource = kTheirs;
    def.file = m_copy;
    def.addIndexes = false;
    connection::define(def);
}

void RegisterMerge::closeSource() {
    if (m_copy.isEmpty()) return;
    if (QSqlDatabase::contains(kTheirs)) {
        {
            QSqlDatabase db = QSqlDatabase::database(kTheirs, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(kTheirs);
    }
    QFile::remove(m_copy);
    QFile::remove(m_copy + QStringLiteral("-journal"));
    m_copy.clear();
    m_theirs.reset();
}

void RegisterMerge::readTheirs(RegisterImage image) {
    // A copy read through its indexes needs them checked against the rows first.
    QString detail;
    if (image.readThroughIndexes() && !sqlitefile::integrityOk(m_copy, &detail))
        throw sqlitefile::FileError(backup::damagedMessage() + QStringLiteral("未合并，当前的登记册没有改动。"),
                                    QStringLiteral("integrity_check: %1").arg(detail));
    m_theirs = std::make_unique<RegisterImage>(std::move(image));
}

QList<MergeDifference> RegisterMerge::differences(const Answers& ours, const Answers& theirs) {
    QList<MergeDifference> out;
    for (int p = 0; p < int(pages().size()); ++p) {
        const QString page = qs(pages()[p].caption);
        if (p == 0) {
            for (int i = 0; i < int(basicFields().size()); ++i)
                if (ours.basic(i) != theirs.basic(i))
                    out << MergeDifference{page, item(basicFields()[i].label), orBlank(ours.basic(i)),
                                           orBlank(theirs.basic(i))};
        }
        for (const Group* g : groupsOnPage(p))
            if (!(ours[g->id] == theirs[g->id]))
                out << MergeDifference{page, item(g->label), describe(*g, ours[g->id]),
                                       describe(*g, theirs[g->id])};
    }
    return out;
}

MergePlan RegisterMerge::plan(const ProgressFn& progress) {
    openSource();
    MergePlan plan;
    plan.source = m_source;
    plan.theirs = int(RegisterReader(kTheirs).questionnaireCount());
    // Both registers read side by side, each table in its own order.
    std::vector<RegisterImage> images = RegisterImage::read({kTheirs, kOurs}, progress, plan.theirs);
    readTheirs(std::move(images[0]));
    const RegisterImage& ours = images[1];

    // Ours by resident: "…X", "…x", " …X " and a 15-digit number with its 18-digit form are
    // one resident. Where ours holds a resident twice, the record under the resident's own
    // key (or the first) answers for it.
    QHash<QString, const RegisterImage::Entry*> oursByResident;
    QHash<QByteArray, const RegisterImage::Entry*> oursByNumber;  // a number stored on both sides
    for (const RegisterImage::Entry& o : ours.entries()) {
        if (!o.hasBasic) continue;
        oursByNumber.insert(o.key, &o);
        const QString id = QString::fromUtf8(o.key);
        const QString key = IdentityNumber::residentKey(id);
        const auto it = oursByResident.constFind(key);
        if (it == oursByResident.cend() || trimmedText(id) == key) oursByResident.insert(key, &o);
    }
    QHash<QString, QString> theirsByResident;  // resident key -> their first number (trimmed)
    for (const RegisterImage::Entry& t : m_theirs->entries()) {
        const QString raw = QString::fromUtf8(t.key);
        const QString id = trimmedText(raw);
        for (const QString& u : t.unmatched) plan.problems << MergeProblem{id, u};
        if (!t.hasBasic) {
            plan.problems << MergeProblem{
                id, QStringLiteral("%1 行答案没有对应的基本信息（BasicInfo）").arg(t.answerRows)};
            continue;
        }
        if (!t.failure.isEmpty()) {
            plan.problems << MergeProblem{id, t.failure};
            continue;
        }
        // The other register holds this resident twice: the first record answers for it.
        const QString resident = IdentityNumber::residentKey(raw);
        const auto twice = theirsByResident.constFind(resident);
        if (twice != theirsByResident.cend()) {
            plan.problems << MergeProblem{
                id, QStringLiteral("与对方登记册中的 %1 为同一居民，只合并了 %1").arg(twice.value())};
            continue;
        }
        theirsByResident.insert(resident, id);

        const RegisterImage::Entry* o = oursByNumber.value(t.key, oursByResident.value(resident, nullptr));
        if (!o) {
            ++plan.added;
            plan.additions.insert(t.key);  // our leftover answer rows of the number go first
            continue;
        }
        if (o->failure.isEmpty() && o->answers == t.answers) {
            ++plan.identical;
            continue;
        }
        const Answers oa = ours.answers(*o), ta = m_theirs->answers(t);
        MergeConflict c;
        c.id = id;
        c.oursId = oa.id;
        c.oursName = oa.name;
        c.theirsName = ta.name;
        if (!o->failure.isEmpty())
            c.differences << MergeDifference{QString(), QStringLiteral("本登记册的问卷"), o->failure,
                                             QString()};
        if (c.oursId != c.id)
            c.differences << MergeDifference{qs(pages().front().caption), QStringLiteral("身份证号码"),
                                             c.oursId, c.id};
        c.differences << differences(oa, ta);
        plan.conflictKeys.insert(t.key, QString::fromUtf8(o->key));
        plan.conflicts << c;
    }
    return plan;
}

int RegisterMerge::apply(const MergePlan& plan, const ProgressFn& progress, bool backups) {
    openSource();
    // Their number (as stored) -> our questionnaire it replaces (as stored; null for an
    // addition). A replaced questionnaire keeps our spelling of the resident's number.
    QHash<QByteArray, QString> actions;
    for (const QByteArray& key : plan.additions) actions.insert(key, QString());
    QSet<QString> taken;
    for (const MergeConflict& c : plan.conflicts)
        if (c.takeTheirs) taken << c.id;
    for (auto it = plan.conflictKeys.cbegin(); it != plan.conflictKeys.cend(); ++it)
        if (taken.contains(trimmedText(QString::fromUtf8(it.key())))) actions.insert(it.key(), it.value());
    if (actions.isEmpty()) return 0;
    backup::Snapshots snapshots(backup::databaseFile());
    // The file being merged may itself be one of our backups: the rotation leaves it.
    snapshots.protect(m_source);
    if (backups && backup::embeddedEngine()) snapshots.keepBefore(backup::CopyKind::BeforeMerge);

    if (!m_theirs) readTheirs(RegisterImage::read({kTheirs}).front());
    SqlQuery q(kOurs);
    SurveyStore store(q);
    // One transaction of many questionnaires: a page cache that holds what it changes keeps
    // SQLite from spilling pages to the file before the commit. Back to the default after.
    q.setSql(QStringLiteral("PRAGMA cache_size=-131072"), {}, QStringLiteral("BasicInfo"));
    q.execSql();
    struct DefaultCache {
        SqlQuery& q;
        ~DefaultCache() {
            try {
                q.setSql(QStringLiteral("PRAGMA cache_size=-2000"), {}, QStringLiteral("BasicInfo"));
                q.execSql();
            } catch (...) {
            }
        }
    } defaultCache{q};
    const qint64 total = actions.size();
    qint64 written = 0;
    QString writing;  // the number of the questionnaire being written, for a failure's message
    auto t = m_theirs->entries().cbegin();
    const auto end = m_theirs->entries().cend();
    try {
        store.storeMany([&](Answers& answers, QString& replaces) {
            for (; t != end; ++t) {
                const auto it = actions.constFind(t->key);
                if (it == actions.constEnd() || !t->hasBasic || !t->failure.isEmpty()) continue;
                answers = m_theirs->answers(*t++);
                replaces = it.value();
                if (!replaces.isNull()) answers.id = trimmedText(replaces);
                writing = answers.id;
                ++written;
                if (progress && (written % 256) == 1 && !progress(written, total))
                    throw Cancelled{};
                return true;
            }
            return false;
        });
    } catch (const StoreFailure& e) {
        const QString what =
            e.table == 0 ? QStringLiteral("基本信息") : item(group(statements::groupOf(e.table)).label);
        throw sqlitefile::FileError(
            QStringLiteral("合并失败：写入身份证号码为 %1 的问卷（%2）时出错。未合并，当前的登记册没有改动。")
                .arg(writing, what),
            QStringLiteral("merge failed at %1 of %2").arg(QString::fromUtf8(e.what()), writing));
    }
    if (progress) progress(total, total);
    if (backups && backup::embeddedEngine()) snapshots.backupNow();
    return int(written);
}

bool RegisterMerge::writeReport(const MergePlan& plan, const QString& file, QString* error) {
    return mergereport::write(plan, file, error);
}
