#include "loglist.h"

#include <QHoverEvent>
#include <QPainter>
#include <QScrollBar>

LogList::LogList(QWidget *parent)
    : QListWidget(parent)
{
    setUniformItemSizes(true);
}

// The toolkit's list measures the last row: a log's newest line is the one
// most likely to be the longest.
QSize LogList::rowSize() const
{
    if (!m_rowSize.isValid() && count() > 0) {
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        const QModelIndex last = indexOfRow(count() - 1);
        m_rowSize = itemDelegateForIndex(last)->sizeHint(option, last);
    }
    return m_rowSize;
}

int LogList::rowsPerPage() const
{
    const int height = rowSize().height();
    return height > 0 ? qMax(1, viewport()->height() / height) : 1;
}

QModelIndex LogList::indexOfRow(int row) const
{
    return model()->index(row, 0, rootIndex());
}

QRect LogList::visualRect(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != model() || index.parent() != rootIndex()
        || index.column() != 0) {
        return QRect();
    }
    const QSize size = rowSize();
    const int width = qMax(size.width(), viewport()->width());
    return QRect(
        -horizontalOffset(), index.row() * size.height() - verticalOffset(), width, size.height());
}

QModelIndex LogList::indexAt(const QPoint &point) const
{
    const int height = rowSize().height();
    const int y = point.y() + verticalOffset();
    if (height <= 0 || y < 0)
        return QModelIndex();
    const QModelIndex index = indexOfRow(y / height);
    return visualRect(index).contains(point) ? index : QModelIndex();
}

// Ranges as the toolkit's list sets them: per item, the bar counts rows and
// its end shows the last row wholly at the bottom; per pixel, it counts
// pixels. Across, it always counts pixels.
void LogList::updateGeometries()
{
    const QSize size = rowSize();
    if (geometry().isEmpty() || count() == 0 || !size.isValid()) {
        horizontalScrollBar()->setRange(0, 0);
        verticalScrollBar()->setRange(0, 0);
    } else {
        QScrollBar *across = horizontalScrollBar();
        across->setPageStep(viewport()->width());
        across->setSingleStep(size.width());
        across->setRange(0, size.width() - viewport()->width());
        QScrollBar *down = verticalScrollBar();
        if (perItem()) {
            down->setSingleStep(1);
            down->setPageStep(rowsPerPage());
            down->setRange(0, count() - rowsPerPage());
        } else {
            down->setSingleStep(size.height());
            down->setPageStep(viewport()->height());
            down->setRange(0, count() * size.height() - viewport()->height());
        }
    }
    QAbstractItemView::updateGeometries();
    // Shows or hides the scroll bars now rather than at the next turn of the
    // event loop: scrolling to a new row must reckon with the viewport it
    // will really have.
    setViewportMargins(viewportMargins());
}

void LogList::doItemsLayout()
{
    m_rowSize = QSize();
    QAbstractItemView::doItemsLayout();
}

void LogList::rowsInserted(const QModelIndex &parent, int start, int end)
{
    QAbstractItemView::rowsInserted(parent, start, end);
    if (parent != rootIndex())
        return;
    const QSize before = m_rowSize;
    m_rowSize = QSize();
    updateGeometries();
    if (rowSize() != before) {
        viewport()->update();
        return;
    }
    // The new rows and every row they pushed down.
    QRect moved = viewport()->rect();
    moved.setTop(qMax(moved.top(), visualRect(indexOfRow(start)).top()));
    viewport()->update(moved);
}

void LogList::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    const QRect rect = visualRect(index);
    if (!rect.isValid())
        return;
    const QRect area = viewport()->rect();
    if (hint == EnsureVisible) {
        if (area.contains(rect)) {
            viewport()->update(rect);
            return;
        }
        hint = rect.top() < area.top() ? PositionAtTop : PositionAtBottom;
    }
    QScrollBar *down = verticalScrollBar();
    if (perItem()) {
        // The rows that fit with this one at the bottom.
        const int above = qMin(index.row() + 1, rowsPerPage());
        const int row = index.row();
        down->setValue(hint == PositionAtTop ? row
                : hint == PositionAtBottom   ? row - above + 1
                                             : row - above / 2);
    } else {
        const int top = down->value() + rect.top();
        down->setValue(hint == PositionAtTop ? top
                : hint == PositionAtBottom   ? qMin(top, top + rect.height() - area.height())
                                             : top - (area.height() - rect.height()) / 2);
    }
}

void LogList::scrollToItem(const QListWidgetItem *item, ScrollHint hint)
{
    scrollTo(indexFromItem(item), hint);
}

int LogList::horizontalOffset() const
{
    const QScrollBar *across = horizontalScrollBar();
    return isRightToLeft() ? across->maximum() - across->value() : across->value();
}

int LogList::verticalOffset() const
{
    const int value = verticalScrollBar()->value();
    return perItem() ? value * rowSize().height() : value;
}

// Moves the pixels already on screen; only the rows scrolled into view are
// drawn afresh.
void LogList::scrollContentsBy(int dx, int dy)
{
    QAbstractItemView::scrollContentsBy(dx, perItem() ? dy * rowSize().height() : dy);
}

bool LogList::viewportEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
        m_hover = indexAt(static_cast<QHoverEvent *>(event)->position().toPoint());
        break;
    case QEvent::HoverLeave:
    case QEvent::Leave:
        m_hover = QModelIndex();
        break;
    default:
        break;
    }
    return QListWidget::viewportEvent(event);
}

void LogList::paintEvent(QPaintEvent *event)
{
    const int height = rowSize().height();
    if (count() == 0 || height <= 0)
        return;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QStyle::State state = option.state;
    const QModelIndex current = currentIndex();
    const bool focus = (hasFocus() || viewport()->hasFocus()) && current.isValid();
    const QRect area = event->rect();
    const int first = qMax(0, (area.top() + verticalOffset()) / height);
    const int last = qMin(count() - 1, (area.bottom() + verticalOffset()) / height);
    QPainter painter(viewport());
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = indexOfRow(row);
        option.rect = visualRect(index);
        option.state = state;
        if (selectionModel()->isSelected(index))
            option.state |= QStyle::State_Selected;
        if (state & QStyle::State_Enabled) {
            const bool enabled = model()->flags(index) & Qt::ItemIsEnabled;
            option.state.setFlag(QStyle::State_Enabled, enabled);
            option.palette.setCurrentColorGroup(enabled ? QPalette::Normal : QPalette::Disabled);
        }
        if (focus && index == current) {
            option.state |= QStyle::State_HasFocus;
            if (this->state() == EditingState)
                option.state |= QStyle::State_Editing;
        }
        option.state.setFlag(QStyle::State_MouseOver, index == m_hover);
        itemDelegateForIndex(index)->paint(&painter, option, index);
    }
}

QModelIndex LogList::moveCursor(CursorAction action, Qt::KeyboardModifiers)
{
    const int row = currentIndex().isValid() ? currentIndex().row() : -1;
    switch (action) {
    case MoveUp:
    case MovePrevious:
        return indexOfRow(qMax(0, row - 1));
    case MoveDown:
    case MoveNext:
        return indexOfRow(qMin(count() - 1, row + 1));
    case MovePageUp:
        return indexOfRow(qMax(0, row - rowsPerPage()));
    case MovePageDown:
        return indexOfRow(qMin(count() - 1, row + rowsPerPage()));
    case MoveHome:
        return indexOfRow(0);
    case MoveEnd:
        return indexOfRow(count() - 1);
    default:
        return currentIndex();
    }
}

void LogList::setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command)
{
    const int height = rowSize().height();
    const QRect rows = rect.normalized();
    if (height <= 0 || count() == 0)
        return;
    const int first = qBound(0, (rows.top() + verticalOffset()) / height, count() - 1);
    const int last = qBound(0, (rows.bottom() + verticalOffset()) / height, count() - 1);
    selectionModel()->select(QItemSelection(indexOfRow(first), indexOfRow(last)), command);
}

QRegion LogList::visualRegionForSelection(const QItemSelection &selection) const
{
    QRegion region;
    for (const QItemSelectionRange &range : selection) {
        if (range.parent() == rootIndex())
            region += visualRect(range.topLeft()).united(visualRect(range.bottomRight()));
    }
    return region;
}
