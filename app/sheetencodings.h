#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class QAction;
class QEvent;
class QListWidget;
class QMenu;
class QPoint;

// The CUE list's text encodings: the context menu (also on the Menu key)
// whose Text Encoding entries choose how the selected sheets are read, and
// the tooltip that shows what a sheet will give, made each time it is shown
// so that adding thousands of sheets reads none of them. A choice leaves the
// list with its row.
class SheetEncodings final : public QObject
{
    Q_OBJECT

public:
    // remove is offered in the menu beside the encodings.
    SheetEncodings(QListWidget *list, QAction *remove);

    // The chosen encodings by the sheet's path as the list shows it.
    QHash<QString, QString> chosen() const { return m_chosen; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showMenu(const QPoint &pos);
    void choose(const QString &encoding);
    void forgetRows(int first, int last);

    QListWidget *m_list;
    // Kept apart from the rows so that reading it for every sheet of a run
    // costs nothing at any length of list.
    QHash<QString, QString> m_chosen;
    QMenu *m_menu;
    QMenu *m_encodings;
};
