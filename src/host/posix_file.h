#pragma once

// The POSIX file primitives SystemHost and the file replacement share:
// descriptors that close themselves, complete reads and writes that retry
// after signals, and a BinaryFile over a descriptor. Internal to the host
// layer; callers elsewhere use Host.

#include "host/host.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <utility>

namespace vantrel::posix {

// strerror of `error` (errno by default), in the words the system uses.
QString systemReason(int error);
QString systemReason();

// The kind of failure an errno value stands for.
ErrorKind errorKind(int error);

// Throws HostError "<what> <name>: <reason of errno>", of errno's kind.
[[noreturn]] void fail(const QString &what, const QString &name);

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
