#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

// The engine's test classes, each in a file of its own, all run by one
// program: a file adds its class with a line at its end.
namespace EngineTests {

using Make = std::function<std::unique_ptr<QObject>()>;

inline std::vector<Make> &classes()
{
    static std::vector<Make> all;
    return all;
}

template <typename Test>
bool add()
{
    classes().push_back([] { return std::make_unique<Test>(); });
    return true;
}

} // namespace EngineTests
