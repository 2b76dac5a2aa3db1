#pragma once

#include <QCoreApplication>

// The engine speaks through the window's log, so its texts share the window's
// translation context.
class EngineText
{
    Q_DECLARE_TR_FUNCTIONS(WMain)
};
