#pragma once

#include <QString>

// What the extraction engine needs from whoever runs it. The main window
// implements it with its log panel, its CUE list and its event loop; tests
// implement it with plain lists. The engine never touches a widget.
class EngineHost
{
public:
    virtual ~EngineHost() = default;

    virtual void information(const QString &line) = 0;
    virtual void error(const QString &line) = 0;
    // Marks the sheet's entry as failed (and selects it).
    virtual void markSheet(const QString &fname) = 0;
    // Gives the event loop one turn, then answers whether a stop was asked.
    virtual bool yieldAndCheckStop() = 0;
};
