#include "rowsizecache.h"

#include <QAbstractItemModel>

RowSizeCache::RowSizeCache(QAbstractItemModel *model, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_model(model)
{
    // The list is flat: every signal is about top-level rows. A signal that
    // does not fit the sizes held (which never happens while they follow the
    // list) costs a measuring of every row, never a wrong size.
    connect(model, &QAbstractItemModel::rowsInserted, this,
        [this](const QModelIndex &, int first, int last) {
            if (first <= m_sizes.size())
                m_sizes.insert(first, last - first + 1, QSize());
            else
                forgetAll();
        });
    connect(model, &QAbstractItemModel::rowsRemoved, this,
        [this](const QModelIndex &, int first, int last) {
            if (last < m_sizes.size())
                m_sizes.remove(first, last - first + 1);
            else
                forgetAll();
        });
    connect(model, &QAbstractItemModel::dataChanged, this,
        [this](
            const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles) {
            // Every entry has an icon, drawn at the list's icon size: a new
            // one (a run resets them all) leaves the row's size as it was.
            if (roles == QList<int> {Qt::DecorationRole})
                return;
            for (int row = topLeft.row(); row <= bottomRight.row() && row < m_sizes.size(); ++row)
                m_sizes[row] = QSize();
        });
    connect(model, &QAbstractItemModel::rowsMoved, this, &RowSizeCache::forgetAll);
    // A sort (once per run) moves rows without changing them; their sizes
    // move along.
    connect(model, &QAbstractItemModel::layoutAboutToBeChanged, this, [this] {
        m_moving.clear();
        for (int row = 0; row < m_sizes.size(); ++row) {
            if (m_sizes[row].isValid())
                m_moving.append({QPersistentModelIndex(m_model->index(row, 0)), m_sizes[row]});
        }
    });
    connect(model, &QAbstractItemModel::layoutChanged, this, [this] {
        forgetAll();
        for (const auto &[index, size] : std::as_const(m_moving)) {
            if (index.isValid() && index.row() < m_sizes.size())
                m_sizes[index.row()] = size;
        }
        m_moving.clear();
    });
    connect(model, &QAbstractItemModel::modelReset, this, &RowSizeCache::forgetAll);
}

void RowSizeCache::forgetAll()
{
    m_sizes.fill(QSize(), m_model->rowCount());
}

QSize RowSizeCache::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (option.font != m_font || option.decorationSize != m_decorationSize
        || m_sizes.size() != m_model->rowCount()) {
        m_sizes.fill(QSize(), m_model->rowCount());
        m_font = option.font;
        m_decorationSize = option.decorationSize;
    }
    if (index.model() != m_model || index.row() >= m_sizes.size())
        return QStyledItemDelegate::sizeHint(option, index);
    QSize &size = m_sizes[index.row()];
    if (!size.isValid())
        size = QStyledItemDelegate::sizeHint(option, index);
    return size;
}
