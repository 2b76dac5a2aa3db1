#include "logdelegate.h"

#include <QAbstractItemView>
#include <QPainter>

namespace {

LogDelegate::RowKey rowKey(const QStyleOptionViewItem &o, const QColor &background)
{
    return {o.text, o.font,
        {o.icon.cacheKey(), o.palette.cacheKey(), background.rgba(), o.rect.width(),
            o.rect.height(), int(o.state), int(o.features), int(o.direction),
            int(o.displayAlignment), int(o.decorationAlignment), int(o.decorationPosition),
            o.decorationSize.width(), o.decorationSize.height(), int(o.textElideMode),
            int(o.checkState), int(o.viewItemPosition)}};
}

bool rightToLeft(QChar::Direction d)
{
    return d == QChar::DirR || d == QChar::DirAL || d == QChar::DirRLE || d == QChar::DirRLO
        || d == QChar::DirRLI;
}

// The part of a row's text that can show: the characters up to the viewport's
// right edge (right, in the row's own coordinates) and some beyond. The style
// shapes and lays out a row's whole text several times to draw it, and a log
// line naming two paths is mostly out of sight. What is drawn of the part is
// what is drawn of the whole: the glyphs and any ellipsis up to the edge come
// from the same characters, and past the edge nothing shows. The characters'
// own advances, without shaping, find the cut; kerning moves glyphs by far less
// than the room kept beyond the edge (an eighth, and an ellipsis and three of
// the widest characters met). Only left-aligned single lines are cut.
QString visiblePart(const QStyleOptionViewItem &o, int right)
{
    const QString &text = o.text;
    if (o.direction != Qt::LeftToRight || !(o.displayAlignment & Qt::AlignLeft)
        || (o.features & QStyleOptionViewItem::WrapText) || text.contains(QChar::LineSeparator)) {
        return text;
    }
    const QFontMetrics metrics(o.font);
    const qint64 reach = right + right / 8 + metrics.horizontalAdvance(QChar(0x2026));
    qint64 advance = 0;
    qint64 widest = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (advance > reach + 3 * widest)
            return text.left(text.at(i).isLowSurrogate() ? i + 1 : i);
        // A right-to-left run shows its last characters first: cut, it would
        // show others.
        if (rightToLeft(text.at(i).direction()))
            return text;
        const qint64 width = metrics.horizontalAdvance(text.at(i));
        advance += width;
        widest = qMax(widest, width);
    }
    return text;
}

// The focus frame over a row, drawn in place and last, as the style draws it
// over the rest of a row: its rounded corners come out a shade apart when
// drawn elsewhere and copied. The frame is placed with the very option the row
// was drawn with, at the origin and without the focus, because the style keeps
// the layout of the last option it laid out: asked so, it does not lay out the
// row's text again.
void drawFocusFrame(QPainter *painter, const QStyleOptionViewItem &row, const QWidget *view)
{
    const QStyle *style = view->style();
    QStyleOptionViewItem drawn = row;
    drawn.rect.moveTo(0, 0);
    drawn.state &= ~QStyle::State_HasFocus;
    QStyleOptionFocusRect frame;
    frame.QStyleOption::operator=(row);
    frame.rect = style->subElementRect(QStyle::SE_ItemViewItemFocusRect, &drawn, view)
                     .translated(row.rect.topLeft());
    frame.state |= QStyle::State_KeyboardFocusChange | QStyle::State_Item;
    const QPalette::ColorGroup group
        = (row.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
    frame.backgroundColor = row.palette.color(
        group, (row.state & QStyle::State_Selected) ? QPalette::Highlight : QPalette::Window);
    style->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, painter, view);
}

} // namespace

size_t qHash(const LogDelegate::RowKey &key, size_t seed)
{
    return qHashMulti(seed, key.text, key.font, qHashRange(key.numbers.begin(), key.numbers.end()));
}

void LogDelegate::paint(
    QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const auto *view = qobject_cast<const QAbstractItemView *>(option.widget);
    const QWidget *viewport = view ? view->viewport() : nullptr;
    const QBrush background
        = viewport ? viewport->palette().brush(viewport->backgroundRole()) : QBrush();
    // A copy is the same pixels only over the plain background the viewport
    // fills itself, and only where neither the painter nor the screen scales
    // (on a scaled screen the icons come out differently in a copy).
    if (!viewport || !viewport->autoFillBackground() || background.style() != Qt::SolidPattern
        || !background.isOpaque() || opt.backgroundBrush.style() != Qt::NoBrush
        || painter->device()->devicePixelRatio() != 1
        || painter->transform().type() > QTransform::TxTranslate) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    opt.text = visiblePart(opt, viewport->width() - option.rect.left());
    // The current row is copied without its focus frame, which goes on top:
    // when the next line takes the focus, the row's copy is there already.
    const bool focus = opt.state & QStyle::State_HasFocus;
    opt.state &= ~QStyle::State_HasFocus;
    const RowKey key = rowKey(opt, background.color());
    const QPixmap *cached = m_rows.object(key);
    const QPixmap row = cached ? *cached : drawRow(opt, background.color(), view);
    painter->drawPixmap(option.rect.topLeft(), row);
    if (focus) {
        opt.state |= QStyle::State_HasFocus;
        drawFocusFrame(painter, opt, view);
    }
    if (cached)
        return;
    // Room for the rows on screen twice over, however wide a long line made
    // them: a repaint finds every visible row, and a long log does not keep
    // every row it ever showed.
    const int width = qMax(viewport->width(), option.rect.width());
    const qint64 screenBytes = qint64(width) * viewport->height() * 4;
    m_rows.setMaxCost(2 * screenBytes);
    m_rows.insert(key, new QPixmap(row), qint64(row.width()) * row.height() * 4);
}

QPixmap LogDelegate::drawRow(
    QStyleOptionViewItem option, const QColor &background, const QWidget *view) const
{
    QPixmap row(option.rect.size());
    row.fill(background);
    QPainter painter(&row);
    option.rect.moveTo(0, 0);
    view->style()->drawControl(QStyle::CE_ItemViewItem, &option, &painter, view);
    return row;
}
