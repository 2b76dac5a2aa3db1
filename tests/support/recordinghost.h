#pragma once

#include "enginehost.h"

#include <QStringList>

#include <functional>

// An engine host that records what the engine says, for tests without a
// window. Lines carry their kind: "I " information, "E " error.
class RecordingHost : public EngineHost
{
public:
    void information(const QString &line) override { lines << QStringLiteral("I ") + line; }
    void error(const QString &line) override { lines << QStringLiteral("E ") + line; }
    void markSheet(const QString &fname) override { marked << fname; }
    bool yieldAndCheckStop() override
    {
        ++yields;
        if (atYield)
            atYield();
        return stop |= stopAtYield > 0 && yields >= stopAtYield;
    }

    QStringList lines;
    QStringList marked;
    int yields = 0;
    int stopAtYield = 0; // ask for a stop from this yield on (0: never)
    bool stop = false;
    std::function<void()> atYield; // what happens to the files while the loop turns
};
