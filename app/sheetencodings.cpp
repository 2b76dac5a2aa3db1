#include "sheetencodings.h"

#include "codepages.h"
#include "sheetsummary.h"

#include <QActionGroup>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QListWidget>
#include <QMenu>
#include <QToolTip>

SheetEncodings::SheetEncodings(QListWidget *list, QAction *remove)
    : QObject(list)
    , m_list(list)
    , m_menu(new QMenu(list))
    , m_encodings(m_menu->addMenu(tr("Text &Encoding")))
{
    m_menu->setObjectName(QStringLiteral("cueMenu"));
    auto *group = new QActionGroup(m_encodings);
    QAction *automatic = m_encodings->addAction(tr("Automatic"));
    automatic->setData(QString());
    group->addAction(automatic);
    m_encodings->addSeparator();
    for (const QString &name : offeredEncodings()) {
        QAction *action = m_encodings->addAction(encodingLabel(name));
        action->setData(name);
        group->addAction(action);
    }
    for (QAction *action : group->actions())
        action->setCheckable(true);
    connect(group, &QActionGroup::triggered, this,
        [this](QAction *action) { choose(action->data().toString()); });
    m_menu->addAction(remove);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this, &SheetEncodings::showMenu);
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);
    connect(m_list->model(), &QAbstractItemModel::rowsAboutToBeRemoved, this,
        [this](const QModelIndex &, int first, int last) { forgetRows(first, last); });
    connect(m_list->model(), &QAbstractItemModel::modelAboutToBeReset, this,
        [this] { m_chosen.clear(); });
}

bool SheetEncodings::eventFilter(QObject *watched, QEvent *event)
{
    // The Menu key opens the menu at the current sheet, not where the mouse
    // pointer happens to be.
    if (event->type() == QEvent::ContextMenu
        && static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard) {
        const QListWidgetItem *current = m_list->currentItem();
        showMenu(current ? m_list->visualItemRect(current).center() : QPoint());
        return true;
    }
    if (event->type() != QEvent::ToolTip || watched != m_list->viewport())
        return QObject::eventFilter(watched, event);
    const auto *help = static_cast<QHelpEvent *>(event);
    const QListWidgetItem *item = m_list->itemAt(help->pos());
    if (!item) {
        QToolTip::hideText();
        return true;
    }
    // Rich text keeps a title that looks like markup as it is written.
    const QString text = sheetSummary(item->text(), m_chosen.value(item->text()));
    QToolTip::showText(help->globalPos(),
        QStringLiteral("<p style='white-space:pre'>%1</p>")
            .arg(text.toHtmlEscaped().replace(QLatin1Char('\n'), QLatin1String("<br>"))),
        m_list->viewport(), m_list->visualItemRect(item));
    return true;
}

void SheetEncodings::showMenu(const QPoint &pos)
{
    const QList<QListWidgetItem *> selected = m_list->selectedItems();
    m_encodings->setEnabled(!selected.isEmpty());
    // The check shows the choice of the current sheet, else of the first selected.
    const QListWidgetItem *shown = m_list->currentItem() && m_list->currentItem()->isSelected()
        ? m_list->currentItem()
        : selected.value(0);
    const QString current = shown ? m_chosen.value(shown->text()) : QString();
    for (QAction *action : m_encodings->actions()) {
        if (action->isCheckable())
            action->setChecked(action->data().toString() == current);
    }
    m_menu->popup(m_list->viewport()->mapToGlobal(pos));
}

void SheetEncodings::choose(const QString &encoding)
{
    for (const QListWidgetItem *item : m_list->selectedItems()) {
        if (encoding.isEmpty())
            m_chosen.remove(item->text());
        else
            m_chosen.insert(item->text(), encoding);
    }
}

void SheetEncodings::forgetRows(int first, int last)
{
    for (int row = first; row <= last && !m_chosen.isEmpty(); ++row)
        m_chosen.remove(m_list->item(row)->text());
}
