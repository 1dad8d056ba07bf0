#pragma once

// The POSIX file primitives SystemHost and the file replacement share:
// descriptors that close themselves, opening without waiting, complete
// reads and writes that retry after signals, and a BinaryFile over a
// descriptor. Internal to the layers below the windows: the host, and the
// codec and the default drive for the few native files they read or make
// themselves. Everything else goes through Host.

#include "host/host.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <utility>

#include <sys/stat.h>
#include <sys/types.h>

namespace vantrel::posix {

// strerror of `error` (errno by default), in the words the system uses.
QString systemReason(int error);
QString systemReason();

// The kind of failure an errno value stands for.
ErrorKind errorKind(int error);

// HostError with the system's reason for `error` (errno by default) alone,
// of its kind: "No space left on device".
HostError systemError(int error);
HostError systemError();

// Throws HostError "<what> <name>: <reason of errno>", of errno's kind.
[[noreturn]] void fail(const QString &what, const QString &name);

// The kind of failure for a file of `mode` that stands where a regular
// file was wanted: IsDirectory for a directory, NotRegularFile otherwise.
ErrorKind notRegularFileKind(mode_t mode);

// The bytes the system calls take for a native path.
QByteArray encoded(const QString &nativePath);

// The text of `bytes` when they are valid UTF-8, otherwise nothing. Every
// byte counts, a leading byte order mark too (as U+FEFF), so the text
// encodes back to exactly `bytes`.
std::optional<QString> strictUtf8(QByteArrayView bytes);

// `bytes` written as the shell's $'...' quoting would, so that a name that
// is not UTF-8 can be shown exactly: $'\xff.bmp'. Printable ASCII stays as
// it is; a backslash, a quote and every other byte are escaped.
QString quotedBytes(QByteArrayView bytes);

// Closes a descriptor when it goes out of scope unless released.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(Fd &&other) noexcept : m_fd(other.release()) {}
    Fd &operator=(Fd &&other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = other.release();
        }
        return *this;
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;

    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }
    void reset();

private:
    int m_fd;
};

// Opens the native file `native` with `flags` (O_RDONLY, O_RDWR | O_CREAT)
// without waiting: a FIFO would otherwise block the open until a writer
// comes, and a device such as /dev/zero never ends. Fills `status` from
// fstat, for the caller to decide what it takes. Returns a closed Fd with
// errno set when the open or the fstat fails. O_NONBLOCK stays set.
Fd openWithoutWaiting(const QString &native, int flags, struct stat &status);

// A regular file opened for reading, and its length when it was opened.
struct RegularFile {
    Fd fd;
    std::int64_t length = 0;
};

// Opens the native file `native` for reading, without waiting, and takes it
// only when it is a regular file. `name` is the path as the caller gave
// it. Throws HostError "cannot open <name>: <reason>" when it cannot be
// opened, and "cannot open <name>: not a regular file" for anything else,
// a directory too.
RegularFile openRegularFileToRead(const QString &native, const QString &name);

// The whole content of `file` from its start: its length as opened, or
// less when it has shrunk since. Throws HostError "cannot read <name>:
// <reason>".
QByteArray readWhole(const RegularFile &file, const QString &name);

// Writes all of `data` at `offset`; throws HostError with the system's
// reason alone when a write fails or makes no progress.
void writeAll(int fd, std::span<const std::uint8_t> data, std::int64_t offset);

// Copies the whole content of `from` to `to`, both from byte 0, with one
// buffer of 64 KiB. Throws HostError with the system's reason alone.
void copyContent(int from, int to);

// A BinaryFile over an open descriptor, which it owns. `name` is the path
// as the caller gave it, for messages.
class PosixBinaryFile : public BinaryFile {
public:
    PosixBinaryFile(int fd, QString name) : m_fd(fd), m_name(std::move(name)) {}
    ~PosixBinaryFile() override;

    void readAt(std::int64_t offset, std::span<std::uint8_t> into) override;
    void read(std::span<std::uint8_t> into) override { readAt(m_position, into); }
    void writeAt(std::int64_t offset, std::span<const std::uint8_t> data) override;
    void write(std::span<const std::uint8_t> data) override { writeAt(m_position, data); }
    void close() override;

    int descriptor() const { return m_fd; }
    void seek(std::int64_t offset) { m_position = offset; }

private:
    void requireOpen() const;

    int m_fd;
    QString m_name;
    std::int64_t m_position = 0;
};

// A Replacement whose new content goes to a descriptor of its own, a
// private file, until commit() puts it in place. The kinds of replacement
// differ only in how they commit and discard; reading and writing the new
// content is the same for all.
class StagedReplacement : public Replacement {
public:
    StagedReplacement(int fd, QString name) : m_stage(fd, std::move(name)) {}

    void readAt(std::int64_t offset, std::span<std::uint8_t> into) override
    {
        m_stage.readAt(offset, into);
    }
    void read(std::span<std::uint8_t> into) override { m_stage.read(into); }
    void writeAt(std::int64_t offset, std::span<const std::uint8_t> data) override
    {
        m_stage.writeAt(offset, data);
    }
    void write(std::span<const std::uint8_t> data) override { m_stage.write(data); }

protected:
    PosixBinaryFile m_stage;
};

} // namespace vantrel::posix
