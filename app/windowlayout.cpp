#include "wmain.h"

#include "runprogress.h"

#include <QHBoxLayout>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>

// The form lays the CUE list beside the settings and the log below both, at
// a fixed height. Here the log goes into a vertical splitter under the list
// and the settings, so a taller window gives the list room too and the user
// can move the line between them.
void WMain::arrangeListAndLog()
{
    const int logHeight = frame3->maximumHeight();
    auto *top = new QWidget;
    auto *row = new QHBoxLayout(top);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(gridLayout->horizontalSpacing());
    gridLayout->removeWidget(cuelist);
    gridLayout->removeWidget(frame4);
    gridLayout->removeWidget(frame3);
    row->addWidget(cuelist);
    row->addWidget(frame4);
    splitter = new QSplitter(Qt::Vertical);
    splitter->setChildrenCollapsible(false);
    splitter->setHandleWidth(gridLayout->verticalSpacing());
    splitter->addWidget(top);
    splitter->addWidget(frame3);
    frame3->setMaximumHeight(QWIDGETSIZE_MAX);
    // Each side takes half of any height beyond the form's.
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({top->sizeHint().height(), logHeight});
    gridLayout->addWidget(splitter, 0, 0);

    progressBar = new QProgressBar;
    progressBar->setRange(0, 1000);
    progressBar->setTextVisible(true);
    statusBar()->addPermanentWidget(progressBar, 1);
    statusBar()->setSizeGripEnabled(false);
    // Between runs the window looks as it always did.
    statusBar()->hide();
}

void WMain::showProgress(const RunProgress *figures)
{
    if (!figures) {
        statusBar()->hide();
        return;
    }
    // The bar repaints itself at once on every new value, a screen update of
    // its own each time; held back, it is drawn with the log's next line.
    progressBar->setUpdatesEnabled(false);
    progressBar->setValue(figures->permille());
    progressBar->setFormat(figures->text());
    progressBar->setUpdatesEnabled(true);
    statusBar()->show();
}
