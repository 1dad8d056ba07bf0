#pragma once

// The one error type below the windows. Every failing host operation, and
// every codec that is handed bytes it cannot take, throws HostError: a
// reason in words a user can read ("cannot open C:\logo.sys: Permission
// denied") and, for callers that act on it, the kind of failure. Callers
// decide on the kind, never on the words.

#include <QString>

#include <stdexcept>

namespace vantrel {

// What went wrong, as far as a caller may need to tell failures apart.
enum class ErrorKind {
    // Anything not named below.
    Other,
    // The file or directory does not exist.
    NotFound,
    // A device, FIFO or socket stands where a regular file was wanted.
    NotRegularFile,
    // A directory stands where a file was wanted.
    IsDirectory,
    // The file may not be written: it is read-only, or on read-only media.
    ReadOnly,
    // The system refused access for lack of permission.
    NoPermission,
    // The data ends before its own headers say it does.
    CutShort,
    // Another program holds the file (a running emulator, another writer).
    InUse,
};

class HostError : public std::runtime_error {
public:
    explicit HostError(const QString &reason, ErrorKind kind = ErrorKind::Other)
        : std::runtime_error(reason.toStdString()), m_kind(kind)
    {}

    QString reason() const { return QString::fromUtf8(what()); }
    ErrorKind kind() const { return m_kind; }

private:
    ErrorKind m_kind;
};

} // namespace vantrel
