#pragma once

#include "enginehost.h"

// Says nothing and never stops, so every input runs the whole parse without an
// event loop.
class SilentHost : public EngineHost
{
public:
    void information(const QString &) override { }
    void error(const QString &) override { }
    void markSheet(const QString &) override { }
    bool yieldAndCheckStop() override { return false; }
};
