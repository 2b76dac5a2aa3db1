#include "wmain.h"

#include <QApplication>
#include <QIcon>
#include <QListWidgetItem>

void WMain::lognormal(const QString &s)
{
    appendLogLine(QStringLiteral(":/lognormal.png"), s);
}

void WMain::logerror(const QString &s)
{
    appendLogLine(QStringLiteral(":/logerror.png"), s);
}

void WMain::on_btnClearLog_clicked()
{
    loglist->clear();
}

// Every line gives the event loop a turn: a run happens inside one slot, and
// this is how the panel repaints and a Stop click gets through.
void WMain::appendLogLine(const QString &iconPath, const QString &text)
{
    auto icon = m_logIcons.constFind(iconPath);
    if (icon == m_logIcons.constEnd())
        icon = m_logIcons.insert(iconPath, QIcon(iconPath));
    auto *item = new QListWidgetItem(*icon, text);
    loglist->insertItem(loglist->count(), item);
    if (loglist->count() > 0)
        loglist->setCurrentRow(loglist->count() - 1);
    loglist->scrollToItem(item, QAbstractItemView::EnsureVisible);
    QApplication::processEvents();
}
