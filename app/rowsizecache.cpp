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
        [this](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
            for (int row = topLeft.row(); row <= bottomRight.row() && row < m_sizes.size(); ++row)
                m_sizes[row] = QSize();
        });
    connect(model, &QAbstractItemModel::rowsMoved, this, &RowSizeCache::forgetAll);
    connect(model, &QAbstractItemModel::layoutChanged, this, &RowSizeCache::forgetAll);
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
