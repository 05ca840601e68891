#include "FindResultsModel.h"

#include "core/store/DbError.h"
#include "core/store/SqlQuery.h"

namespace {

const char* const kHeaders[RegisterSearch::ColumnCount] = {"身份证号码", "姓名",     "家庭住址",
                                                           "工作单位",   "联系电话", "年龄"};

}  // namespace

FindResultsModel::FindResultsModel(QObject* parent) : QAbstractTableModel(parent) {}

FindResultsModel::~FindResultsModel() = default;

void FindResultsModel::search(const QString& typed) {
    if (!m_query) m_query = std::make_unique<SqlQuery>(QStringLiteral("MyDb"));
    QStringList ids = RegisterSearch(*m_query).find(typed, m_sortColumn, m_sortOrder);
    m_typed = typed;
    m_searched = true;
    reset(std::move(ids));
}

void FindResultsModel::refresh() { search(m_typed); }

void FindResultsModel::release() {
    m_batches.clear();
    m_batchAge.clear();
    m_query.reset();
}

void FindResultsModel::reset(QStringList ids) {
    beginResetModel();
    m_ids = std::move(ids);
    m_batches.clear();
    m_batchAge.clear();
    m_failed = false;
    endResetModel();
}

int FindResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_ids.size());
}

int FindResultsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : RegisterSearch::ColumnCount;
}

const RegisterSearch::Row* FindResultsModel::rowAt(int row) const {
    if (row < 0 || row >= m_ids.size()) return nullptr;
    const int batch = row / RegisterSearch::kBatch;
    auto it = m_batches.find(batch);
    if (it == m_batches.end()) {
        QList<RegisterSearch::Row> rows;
        const QStringList ids = m_ids.mid(qsizetype(batch) * RegisterSearch::kBatch, RegisterSearch::kBatch);
        try {
            if (!m_query) m_query = std::make_unique<SqlQuery>(QStringLiteral("MyDb"));
            rows = RegisterSearch(*m_query).rows(ids);
        } catch (const DbError&) {
            // Painting must go on: the rows show their identity numbers only, and the form
            // is told once.
            for (const QString& id : ids) rows << RegisterSearch::Row{id, {}, {}, {}, {}, {}};
            if (!m_failed) {
                m_failed = true;
                QMetaObject::invokeMethod(const_cast<FindResultsModel*>(this), &FindResultsModel::readFailed,
                                          Qt::QueuedConnection);
            }
        }
        if (m_batchAge.size() >= kKeptBatches) m_batches.remove(m_batchAge.takeFirst());
        m_batchAge << batch;
        it = m_batches.insert(batch, std::move(rows));
    }
    const auto& rows = it.value();
    const int i = row % RegisterSearch::kBatch;
    return i < rows.size() ? &rows[i] : nullptr;
}

QVariant FindResultsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole) return QVariant();
    const RegisterSearch::Row* r = rowAt(index.row());
    if (!r) return QVariant();
    switch (index.column()) {
        case RegisterSearch::Id:
            return r->id;
        case RegisterSearch::Name:
            return r->name;
        case RegisterSearch::Address:
            return r->address;
        case RegisterSearch::WorkUnit:
            return r->workUnit;
        case RegisterSearch::Phone:
            return r->phone;
        case RegisterSearch::Age:
            return RegisterSearch::ageCaption(r->age);
        default:
            return QVariant();
    }
}

QVariant FindResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= RegisterSearch::ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromUtf8(kHeaders[section]);
}

void FindResultsModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= RegisterSearch::ColumnCount) return;
    if (column == m_sortColumn && order == m_sortOrder) return;
    const auto previousColumn = m_sortColumn;
    const auto previousOrder = m_sortOrder;
    m_sortColumn = RegisterSearch::Column(column);
    m_sortOrder = order;
    if (!m_searched) return;
    try {
        search(m_typed);
    } catch (const DbError&) {
        m_sortColumn = previousColumn;
        m_sortOrder = previousOrder;
        emit readFailed();
    }
}
