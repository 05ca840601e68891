#include "RegisterMerge.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QUuid>

#include "backup/RegisterCopy.h"
#include "backup/Restore.h"
#include "backup/Snapshots.h"
#include "exchange/RegisterReader.h"
#include "store/Connection.h"
#include "store/SqlQuery.h"
#include "store/SurveyStore.h"

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

MergePlan RegisterMerge::plan(const sqlitefile::ProgressFn& progress) {
    openSource();
    MergePlan plan;
    plan.source = m_source;
    plan.theirs = int(RegisterReader(kTheirs).questionnaireCount());
    // Both registers read side by side, each table in its own order.
    std::vector<RegisterImage> images = RegisterImage::read({kTheirs, kOurs}, progress, plan.theirs);
    readTheirs(std::move(images[0]));
    const RegisterImage& ours = images[1];
    auto o = ours.entries().cbegin();
    const auto oursEnd = ours.entries().cend();
    for (const RegisterImage::Entry& t : m_theirs->entries()) {
        while (o != oursEnd && o->key < t.key) ++o;
        const bool both = o != oursEnd && o->key == t.key;
        const QString id = QString::fromUtf8(t.key);
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
        if (!both || !o->hasBasic) {
            ++plan.added;
            plan.additions.insert(t.key, both);  // our leftover rows of that number go first
            continue;
        }
        if (o->failure.isEmpty() && o->answers == t.answers) {
            ++plan.identical;
            continue;
        }
        const Answers oa = ours.answers(*o), ta = m_theirs->answers(t);
        MergeConflict c;
        c.id = id;
        c.oursName = oa.name;
        c.theirsName = ta.name;
        if (!o->failure.isEmpty())
            c.differences << MergeDifference{QString(), QStringLiteral("本登记册的问卷"), o->failure,
                                             QString()};
        c.differences << differences(oa, ta);
        plan.conflicts << c;
    }
    return plan;
}

int RegisterMerge::apply(const MergePlan& plan, const sqlitefile::ProgressFn& progress, bool backups) {
    openSource();
    QHash<QByteArray, bool> actions = plan.additions;
    for (const MergeConflict& c : plan.conflicts)
        if (c.takeTheirs) actions.insert(c.id.toUtf8(), true);
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
    auto t = m_theirs->entries().cbegin();
    const auto end = m_theirs->entries().cend();
    store.storeMany([&](Answers& answers, bool& replace) {
        for (; t != end; ++t) {
            const auto it = actions.constFind(t->key);
            if (it == actions.constEnd() || !t->hasBasic || !t->failure.isEmpty()) continue;
            answers = m_theirs->answers(*t++);
            replace = it.value();
            ++written;
            if (progress && (written % 256) == 1 && !progress(total - written, total))
                throw sqlitefile::Cancelled{};
            return true;
        }
        return false;
    });
    if (progress) progress(0, total);
    if (backups && backup::embeddedEngine()) snapshots.backupNow();
    return int(written);
}

bool RegisterMerge::writeReport(const MergePlan& plan, const QString& file, QString* error) {
    auto field = [](QString s) {
        if (s.contains(u',') || s.contains(u'"') || s.contains(u'\n') || s.contains(u'\r'))
            s = u'"' + s.replace(u'"', QStringLiteral("\"\"")) + u'"';
        return s;
    };
    QString text = QStringLiteral("\uFEFF身份证号码,类别,页,项目,本登记册,对方,采用\r\n");
    for (const MergeConflict& c : plan.conflicts)
        for (const MergeDifference& d : c.differences)
            text += QStringList{field(c.id),
                                QStringLiteral("冲突"),
                                field(d.page),
                                field(d.item),
                                field(d.ours),
                                field(d.theirs),
                                c.takeTheirs ? QStringLiteral("对方") : QStringLiteral("本登记册")}
                        .join(u',') +
                    QStringLiteral("\r\n");
    for (const MergeProblem& p : plan.problems)
        text += QStringList{field(p.id), QStringLiteral("不能导入"),
                            QString(),   QString(),
                            QString(),   field(p.text),
                            QString()}
                    .join(u',') +
                QStringLiteral("\r\n");
    QSaveFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(text.toUtf8()) < 0 || !f.commit()) {
        if (error) *error = f.errorString();
        return false;
    }
    return true;
}
