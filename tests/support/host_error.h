#pragma once

// The reason a host operation gives when it fails.

#include "host/host.h"

#include <QString>

#include <functional>
#include <optional>
#include <ostream>

namespace vantrel {

// Names a kind in a failed assertion.
inline void PrintTo(ErrorKind kind, std::ostream *out)
{
    static const char *const names[] = {"Other",    "NotFound",     "NotRegularFile", "IsDirectory",
                                        "ReadOnly", "NoPermission", "CutShort",       "InUse"};
    *out << names[int(kind)];
}

} // namespace vantrel

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

// Runs `action` and returns the kind of the HostError it throws, or
// nothing when it succeeds.
inline std::optional<ErrorKind> hostErrorKind(const std::function<void()> &action)
{
    try {
        action();
    } catch (const HostError &error) {
        return error.kind();
    }
    return std::nullopt;
}

} // namespace vantrel::test
