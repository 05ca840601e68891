#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QStringList>
#include <memory>

#include "core/store/RegisterSearch.h"

class SqlQuery;

/// The matches of a register search as a table for a view. Only the identity numbers of the
/// matches are held whole; the texts of a row are read when the view first asks for them, one
/// batch of neighbouring rows at a time, and only a bounded number of batches is kept. So the
/// list opens at once on a large register and scrolling it to the end costs little memory.
///
/// Sorting runs the search again in the requested order (a reset of the model).
class FindResultsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit FindResultsModel(QObject* parent = nullptr);
    ~FindResultsModel() override;

    /// Runs a search for `typed` in the current order. Raises DbError when it fails; the
    /// previous matches are then kept.
    void search(const QString& typed);
    /// Runs the last search again (the register may have changed).
    void refresh();
    /// Forgets every row read and closes the statements: the list stays, the texts are read
    /// again when next shown.
    void release();

    QString typed() const { return m_typed; }
    /// The identity number of a row; empty outside the list.
    QString idAt(int row) const { return m_ids.value(row); }
    /// The row of an identity number, or -1.
    int rowOf(const QString& id) const { return int(m_ids.indexOf(id)); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    /// Batches of rows kept at most; older ones are read again when needed.
    static constexpr int kKeptBatches = 32;

signals:
    /// Reading the texts of rows failed (reported once per search).
    void readFailed() const;

private:
    const RegisterSearch::Row* rowAt(int row) const;
    void reset(QStringList ids);

    mutable std::unique_ptr<SqlQuery> m_query;  // opened on first use, closed by release()
    QString m_typed;
    RegisterSearch::Column m_sortColumn = RegisterSearch::Id;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    QStringList m_ids;
    mutable QHash<int, QList<RegisterSearch::Row>> m_batches;  // batch number -> its rows
    mutable QList<int> m_batchAge;                             // batch numbers, oldest first
    mutable bool m_failed = false;
    bool m_searched = false;
};
