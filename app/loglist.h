#pragma once

#include <QListWidget>
#include <QPersistentModelIndex>
#include <QSize>

// The log panel's list. A log is one column of rows, each one line of text
// with a small icon, and grows at its end; so every row has the size of the
// last one, as in the toolkit's list with uniform item sizes, and row r sits
// r rows down. The toolkit's list lays all of its rows out again after every
// insert, which made a line cost more the longer the log was: a batch of
// thousands of sheets writes tens of thousands of lines. Here an insert
// costs the same at any length, and appending a line moves the pixels on
// screen up by one row and draws only the new row. The rows look as the
// toolkit's list draws them, and the scroll bars behave the same. Grid,
// spacing, wrapping and hidden rows are not supported: the log uses none.
class LogList final : public QListWidget
{
public:
    explicit LogList(QWidget *parent = nullptr);

    QRect visualRect(const QModelIndex &index) const override;
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint &point) const override;
    // QListWidget's own scrollToItem() calls its base's scrollTo() by name,
    // into a layout this list does not keep; this one goes through ours.
    void scrollToItem(const QListWidgetItem *item, ScrollHint hint = EnsureVisible);

protected:
    void doItemsLayout() override;
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection &selection) const override;

private:
    QSize rowSize() const;
    QSize rowExtent() const;
    bool perItem() const { return verticalScrollMode() == ScrollPerItem; }
    // Rows wholly in view at once, at least one.
    int rowsPerPage() const;
    QModelIndex indexOfRow(int row) const;
    bool setBarRange(QScrollBar *bar, int maximum);

    mutable QSize m_rowSize; // the last row's size hint; invalid until measured
    QPersistentModelIndex m_hover;
};
