#pragma once

// The main window wires the form's widgets to the program; the work itself
// lives in the engine (CUE sheet parser, image readers, naming, track writer),
// which reaches back only through the log panel, the CUE list's marks and
// the stop flag. Each area of the window has a source file of its own:
// logpanel.cpp, cuelist.cpp, extraction.cpp, preferences.cpp, about.cpp,
// and windowlayout.cpp for the splitter and the status bar.

#include "extractionsettings.h"
#include "ui_wmain.h"

#include <QHash>
#include <QIcon>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

class QCloseEvent;
class QDragEnterEvent;
class QDropEvent;
class QProgressBar;
class QSplitter;
class RunProgress;
class SheetEncodings;

class WMain : public QMainWindow, public Ui_WMain
{
    Q_OBJECT

public:
    WMain();
    ~WMain() override;

    virtual QString fnPrefix(const QString &path);
    virtual QString bareFile(const QString &path);
    virtual QString toFname(const QString &s);

    bool stopRequested = false;

public slots:
    virtual void on_actionStartExtraction_triggered();
    virtual void on_actionStop_triggered();
    virtual void on_btnBrowse_clicked();
    virtual void on_destPath_editingFinished();
    virtual void on_actionAdd_triggered();
    virtual void on_actionRemove_triggered();
    virtual void on_actionQuit_triggered();
    virtual void on_btnClearLog_clicked();
    virtual void on_trackFormat_textChanged(const QString &);
    virtual void on_actionAbout_triggered();
    virtual void on_btnStop_clicked();
    virtual void on_btnExtract_clicked();
    virtual void on_removeSelected2_triggered();
    virtual void on_actionAddFolder_triggered();
    virtual void addFileList(QStringList lst);
    virtual void selectCue(const QString &s_);
    virtual void lognormal(const QString &s);
    virtual void logerror(const QString &s);
    virtual void doExtract();

public:
    // The run's figures in the status bar; nullptr hides the bar.
    virtual void showProgress(const RunProgress *figures);
    // A split sheet leaves the list.
    void removeSheet(const QString &fname);

    QProgressBar *progressBar = nullptr;
    QSplitter *splitter = nullptr;

protected:
    void dragEnterEvent(QDragEnterEvent *e) override;
    void dropEvent(QDropEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    void appendLogLine(const QString &iconPath, const QString &text);
    void setRunControlsEnabled(bool enabled);
    void arrangeListAndLog();
    void loadPreferences();
    void savePreferences();
    ExtractionSettings currentSettings() const;
    OutputFormat chosenOutput() const;

    // The window was closed during a run: it closes when the run has ended.
    bool m_closeAfterRun = false;
    // Where the keyboard focus was when the controls were last frozen.
    QPointer<QWidget> m_focusBeforeFreeze;
    // One icon per kind of log line, read once: a new icon for every line
    // reads its image file again for every row the panel draws.
    QHash<QString, QIcon> m_logIcons;
    // The CUE list's context menu, encoding choices and tooltips.
    SheetEncodings *m_sheetEncodings = nullptr;
};
