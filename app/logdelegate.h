#pragma once

#include <QCache>
#include <QFont>
#include <QPixmap>
#include <QStyledItemDelegate>

#include <array>

// Draws each row of the log panel once and from then on copies its pixels.
// Every line a run adds makes the list lay its rows out again and repaint
// all of them; laying out, eliding and drawing the text of rows that did not
// change was most of what a line cost. A row is drawn by the style exactly as
// before, onto the panel's own background, so the copy is the same pixels.
// Everything the style reads for a row is part of its key: a new text, width,
// state or palette finds no entry, never a stale one.
class LogDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;

    struct RowKey
    {
        QString text;
        QFont font;
        std::array<qint64, 16> numbers; // icon, palette, background, size, state, layout
        bool operator==(const RowKey &o) const
        {
            return numbers == o.numbers && text == o.text && font == o.font;
        }
    };

private:
    // A row as the style draws it, onto the background.
    QPixmap drawRow(
        QStyleOptionViewItem option, const QColor &background, const QWidget *view) const;

    mutable QCache<RowKey, QPixmap> m_rows;
};

size_t qHash(const LogDelegate::RowKey &key, size_t seed = 0);
