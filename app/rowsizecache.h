#pragma once

#include <QFont>
#include <QList>
#include <QPersistentModelIndex>
#include <QSize>
#include <QStyledItemDelegate>

class QAbstractItemModel;

// The CUE list's delegate: it draws and measures rows as the toolkit's own
// does, but remembers each row's size. The list lays out every row again
// whenever one leaves, which is once per split sheet; measuring a row means
// shaping its path, and doing that for thousands of rows at every removal
// would make a large batch cost more per sheet than a small one. A row is
// measured again only when it is new or changed, after a sort, or when the
// list's font or icon size changes.
class RowSizeCache final : public QStyledItemDelegate
{
public:
    RowSizeCache(QAbstractItemModel *model, QObject *parent);

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    void forgetAll();

    QAbstractItemModel *m_model;
    // One entry per row, in row order; an invalid size is not measured yet.
    mutable QList<QSize> m_sizes;
    // The measured rows while a sort moves them.
    QList<std::pair<QPersistentModelIndex, QSize>> m_moving;
    mutable QFont m_font;
    mutable QSize m_decorationSize;
};
