#pragma once

#include "enginehost.h"

class WMain;

// Lets the engine speak through the window: its log panel, its CUE list
// (marks, and split sheets leaving it), the progress bar, and one turn of
// the event loop at every yield point.
class WindowHost final : public EngineHost
{
public:
    explicit WindowHost(WMain &window)
        : m_window(window)
    {
    }

    void information(const QString &line) override;
    void error(const QString &line) override;
    void markSheet(const QString &fname) override;
    bool yieldAndCheckStop() override;
    void progress(const RunProgress &figures) override;
    void sheetSplit(const QString &fname) override;

private:
    WMain &m_window;
};
