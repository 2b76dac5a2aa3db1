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
    // (on a scaled screen the icons come out differently in a copy). The focus
    // frame's rounded corners come out a shade apart when drawn at another
    // place, so the one row that has the focus is drawn in place.
    if (!viewport || !viewport->autoFillBackground() || background.style() != Qt::SolidPattern
        || !background.isOpaque() || opt.backgroundBrush.style() != Qt::NoBrush
        || (opt.state & QStyle::State_HasFocus) || painter->device()->devicePixelRatio() != 1
        || painter->transform().type() > QTransform::TxTranslate) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const RowKey key = rowKey(opt, background.color());
    if (const QPixmap *row = m_rows.object(key)) {
        painter->drawPixmap(option.rect.topLeft(), *row);
        return;
    }
    QPixmap row(option.rect.size());
    row.fill(background.color());
    {
        QPainter p(&row);
        QStyleOptionViewItem atOrigin = option;
        atOrigin.rect.moveTo(0, 0);
        QStyledItemDelegate::paint(&p, atOrigin, index);
    }
    painter->drawPixmap(option.rect.topLeft(), row);
    // Room for the rows on screen twice over, however wide a long line made
    // them: a repaint finds every visible row, and a long log does not keep
    // every row it ever showed.
    const int width = qMax(viewport->width(), option.rect.width());
    const qint64 screenBytes = qint64(width) * viewport->height() * 4;
    m_rows.setMaxCost(2 * screenBytes);
    m_rows.insert(key, new QPixmap(row), qint64(row.width()) * row.height() * 4);
}
