#include "loglist.h"

#include <QCoreApplication>
#include <QHoverEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionSlider>

namespace {

// A scroll bar that repaints when what it shows changes, not at every change
// of its numbers. Each log line moves the log's bar by one row; once the log
// is a few pages long, that moves the handle by less than a pixel, and
// repainting the bar was the largest part of what a line cost.
class SteadyScrollBar final : public QScrollBar
{
public:
    using QScrollBar::QScrollBar;

protected:
    // A new row first raises the maximum and only then is scrolled to, so
    // the look is compared once the numbers have settled: in a posted event,
    // which runs before the window repaints (the repaint is posted at a
    // lower priority).
    void sliderChange(SliderChange change) override
    {
        if (change == SliderOrientationChange) {
            QScrollBar::sliderChange(change);
        } else if (!m_checkPosted) {
            m_checkPosted = true;
            QCoreApplication::postEvent(this, new QEvent(settledEvent));
        }
    }

    bool event(QEvent *event) override
    {
        if (event->type() != settledEvent)
            return QScrollBar::event(event);
        m_checkPosted = false;
        const Look now = look();
        if (!(now == m_shown)) {
            m_shown = now;
            update();
        }
        return true;
    }

private:
    static constexpr QEvent::Type settledEvent = QEvent::User;

    // What the style draws from the numbers: the handle, whether there is
    // anything to scroll, and whether either end is reached (some styles grey
    // out that end's arrow).
    struct Look
    {
        QRect handle;
        bool still = true;
        bool atStart = false;
        bool atEnd = false;
        bool operator==(const Look &o) const
        {
            return handle == o.handle && still == o.still && atStart == o.atStart
                && atEnd == o.atEnd;
        }
    };

    Look look() const
    {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return {style()->subControlRect(
                    QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
            option.minimum == option.maximum, option.sliderPosition == option.minimum,
            option.sliderPosition == option.maximum};
    }

    Look m_shown;
    bool m_checkPosted = false;
};

} // namespace

LogList::LogList(QWidget *parent)
    : QListWidget(parent)
{
    setUniformItemSizes(true);
    setVerticalScrollBar(new SteadyScrollBar(Qt::Vertical, this));
    // While a long line sets the width of every row, each line of another
    // length changes the range across, mostly by less than moves the handle.
    setHorizontalScrollBar(new SteadyScrollBar(Qt::Horizontal, this));
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

// Rows are as wide as the viewport, or as the last row where that is wider.
QSize LogList::rowExtent() const
{
    const QSize size = rowSize();
    return QSize(qMax(size.width(), viewport()->width()), size.height());
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
    const QSize size = rowExtent();
    return QRect(QPoint(-horizontalOffset(), index.row() * size.height() - verticalOffset()), size);
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

// Sets a bar's range; true when the bar is to appear or disappear. The scroll
// area lays out its children after every change of range, a turn later, and
// raises both bars as it does, which repaints them and the whole frame: once
// per log line while a long line has the bar across shown. A range that grows
// under the bar's value changes nothing of that, and is set without a word.
bool LogList::setBarRange(QScrollBar *bar, int maximum)
{
    maximum = qMax(0, maximum);
    const bool quiet = (maximum > 0) == (bar->maximum() > bar->minimum()) && bar->minimum() == 0
        && bar->value() <= maximum;
    const QSignalBlocker blocker(quiet ? bar : nullptr);
    bar->setRange(0, maximum);
    return !quiet;
}

// Ranges as the toolkit's list sets them: per item, the bar counts rows and
// its end shows the last row wholly at the bottom; per pixel, it counts
// pixels. Across, it always counts pixels.
void LogList::updateGeometries()
{
    const QSize size = rowSize();
    QScrollBar *across = horizontalScrollBar();
    QScrollBar *down = verticalScrollBar();
    bool relayout = false;
    if (geometry().isEmpty() || count() == 0 || !size.isValid()) {
        relayout |= setBarRange(across, 0);
        relayout |= setBarRange(down, 0);
    } else {
        across->setPageStep(viewport()->width());
        across->setSingleStep(size.width());
        relayout |= setBarRange(across, size.width() - viewport()->width());
        if (perItem()) {
            down->setSingleStep(1);
            down->setPageStep(rowsPerPage());
            relayout |= setBarRange(down, count() - rowsPerPage());
        } else {
            down->setSingleStep(size.height());
            down->setPageStep(viewport()->height());
            relayout |= setBarRange(down, count() * size.height() - viewport()->height());
        }
    }
    QAbstractItemView::updateGeometries();
    // Shows or hides the scroll bars now rather than at the next turn of the
    // event loop: scrolling to a new row must reckon with the viewport it
    // will really have.
    if (relayout)
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
    const QSize before = rowExtent();
    m_rowSize = QSize();
    updateGeometries();
    if (rowExtent() != before) {
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
    viewport()->scroll(dx, perItem() ? dy * rowSize().height() : dy);
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
    // As the stock list paints: icons scaled for the screen come out smooth.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
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
    // As in the toolkit's list, a page on is the last row that fits in a
    // page with the current one.
    case MovePageUp:
        return indexOfRow(qMax(0, row - qMax(1, rowsPerPage() - 1)));
    case MovePageDown:
        return indexOfRow(qMin(count() - 1, row + qMax(1, rowsPerPage() - 1)));
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
