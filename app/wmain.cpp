#include "wmain.h"

#include "logdelegate.h"
#include "naming.h"
#include "rowsizecache.h"
#include "sheetencodings.h"

#include <QComboBox>
#include <QLoggingCategory>
#include <QSize>

namespace {

QLoggingCategory::CategoryFilter previousFilter = nullptr;

// Two slots have no signal to be wired to by name: the pattern's edit text is
// connected explicitly, and removeSelected2 is reached by call only. Keep the
// toolkit from warning about them at every start.
void quietSlotWiring(QLoggingCategory *category)
{
    // installFilter() runs the new filter over every category before it
    // returns the previous one, so the first pass has none to chain to.
    if (previousFilter)
        previousFilter(category);
    if (qstrcmp(category->categoryName(), "qt.core.qmetaobject.connectslotsbyname") == 0)
        category->setEnabled(QtWarningMsg, false);
}

} // namespace

WMain::WMain()
    : QMainWindow(nullptr)
{
    previousFilter = QLoggingCategory::installFilter(quietSlotWiring);
    setupUi(this);
    QLoggingCategory::installFilter(previousFilter);
    btnExtract->setMinimumSize(QSize(0, 32));
    btnStop->setMinimumSize(QSize(0, 32));
    actionRemove->setShortcut(QKeySequence(QStringLiteral("Backspace")));
    loglist->setItemDelegate(new LogDelegate(loglist));
    // The CUE list lays out all of its rows again whenever a split sheet
    // leaves it; its delegate keeps that from measuring every path each time.
    cuelist->setItemDelegate(new RowSizeCache(cuelist->model(), cuelist));
    m_sheetEncodings = new SheetEncodings(cuelist, actionRemove);
    // Qt 6's combo box has no textChanged(QString) for the by-name wiring to
    // find; the preview must still follow every edit.
    connect(trackFormat, &QComboBox::editTextChanged, this, &WMain::on_trackFormat_textChanged);
    // The preview ends with the chosen output's suffix.
    connect(outputFormat, &QComboBox::currentIndexChanged, this,
        [this] { on_trackFormat_textChanged(QString()); });
    // Completing from the presets would turn a typed "%1" into "%1 %3"; the
    // presets stay in the list to be picked.
    trackFormat->setCompleter(nullptr);
    loadPreferences();
    on_trackFormat_textChanged(QString());
    cuelist->setFocus();
}

WMain::~WMain()
{
    savePreferences();
}

void WMain::on_actionQuit_triggered()
{
    close();
}

QString WMain::fnPrefix(const QString &path)
{
    return ::fnPrefix(path);
}

QString WMain::bareFile(const QString &path)
{
    return ::bareFile(path);
}

QString WMain::toFname(const QString &s)
{
    return ::toFname(s);
}
