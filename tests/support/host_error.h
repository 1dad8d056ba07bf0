#pragma once

// The reason a host operation gives when it fails.

#include "host/host.h"

#include <QString>

#include <functional>

namespace vantrel::test {

// Runs `action` and returns the reason of the HostError it throws, or an
// empty text when it succeeds.
inline QString hostError(const std::function<void()> &action)
{
    try {
        action();
    } catch (const HostError &error) {
        return error.reason();
    }
    return {};
}

} // namespace vantrel::test
