#include "support/child_process.h"

#include <QFile>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <ftw.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vantrel::test {

namespace {

constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;

// One failure as it travels from the child to the parent: the file, the
// line and the message, each preceded by its length.
void writeAllTo(int fd, const void *data, std::size_t size)
{
    const char *bytes = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // The parent is gone; nobody is left to tell.
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
}

void sendField(int fd, const std::string &field)
{
    const auto length = static_cast<std::uint32_t>(field.size());
    writeAllTo(fd, &length, sizeof length);
    writeAllTo(fd, field.data(), field.size());
}

void sendFailure(int fd, const char *file, int line, const std::string &message)
{
    sendField(fd, file == nullptr ? std::string() : std::string(file));
    sendField(fd, std::to_string(line));
    sendField(fd, message);
}

// Takes the place of whatever reports results in the child, including the
// reporter of an EXPECT_NONFATAL_FAILURE around the fork, and sends each
// failure to the parent the moment it happens, so that none is lost when
// the child dies later.
class FailureForwarder : public ::testing::ScopedFakeTestPartResultReporter {
public:
    explicit FailureForwarder(int fd)
        : ScopedFakeTestPartResultReporter(INTERCEPT_ONLY_CURRENT_THREAD, &m_unused), m_fd(fd)
    {}

    void ReportTestPartResult(const ::testing::TestPartResult &result) override
    {
        if (result.failed())
            sendFailure(m_fd, result.file_name(), result.line_number(), result.message());
    }

private:
    ::testing::TestPartResultArray m_unused;
    int m_fd;
};

// Reads the failures the child sent until it closes its end.
struct Failure {
    std::string file;
    int line = 0;
    std::string message;
};

std::vector<Failure> receiveFailures(int fd)
{
    std::string data;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        data.append(buffer, std::size_t(n));
    }
    std::vector<Failure> failures;
    std::size_t at = 0;
    const auto field = [&](std::string &into) {
        std::uint32_t length = 0;
        if (data.size() - at < sizeof length)
            return false;
        std::memcpy(&length, data.data() + at, sizeof length);
        at += sizeof length;
        if (data.size() - at < length)
            return false;
        into.assign(data, at, length);
        at += length;
        return true;
    };
    for (;;) {
        Failure failure;
        std::string line;
        if (!field(failure.file) || !field(line) || !field(failure.message))
            break;
        failure.line = std::atoi(line.c_str());
        failures.push_back(std::move(failure));
    }
    return failures;
}

bool dropPrivileges(std::string &problem)
{
    if (::geteuid() != 0)
        return true;
    if (::setgroups(0, nullptr) != 0 || ::setresgid(kNogroup, kNogroup, kNogroup) != 0 ||
        ::setresuid(kNobody, kNobody, kNobody) != 0) {
        problem = std::string("cannot drop privileges: ") + std::strerror(errno);
        return false;
    }
    uid_t real = 0, effective = 0, saved = 0;
    ::getresuid(&real, &effective, &saved);
    if (real == 0 || effective == 0 || saved == 0) {
        problem = "the child is still the superuser after setresuid";
        return false;
    }
    return true;
}

[[noreturn]] void runChild(int fd, const std::function<void()> &body, ChildPrivileges privileges,
                           unsigned timeoutSeconds)
{
    ::alarm(timeoutSeconds);
    const FailureForwarder forwarder(fd);

    std::string problem;
    if (privileges == ChildPrivileges::Drop && !dropPrivileges(problem)) {
        sendFailure(fd, __FILE__, __LINE__, problem);
        ::_exit(125);
    }
    try {
        body();
    } catch (const std::exception &error) {
        sendFailure(fd, nullptr, 0, std::string("uncaught exception: ") + error.what());
    } catch (...) {
        sendFailure(fd, nullptr, 0, "uncaught exception of an unknown type");
    }
    std::fflush(nullptr);
    ::_exit(0);
}

int chownEntry(const char *path, const struct stat *, int, struct FTW *)
{
    return ::lchown(path, kNobody, kNogroup) == 0 ? 0 : -1;
}

} // namespace

UnixUser unprivilegedUser()
{
    if (::geteuid() == 0)
        return {kNobody, kNogroup};
    return {::geteuid(), ::getegid()};
}

ChildOutcome runInChild(const std::function<void()> &body, ChildPrivileges privileges,
                        unsigned timeoutSeconds)
{
    ChildOutcome outcome;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "cannot make a pipe: " << std::strerror(errno);
        return outcome;
    }
    // Whatever the parent has buffered would otherwise be written twice.
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        ADD_FAILURE() << "cannot fork: " << std::strerror(errno);
        ::close(fds[0]);
        ::close(fds[1]);
        return outcome;
    }
    if (pid == 0) {
        ::close(fds[0]);
        runChild(fds[1], body, privileges, timeoutSeconds);
    }
    ::close(fds[1]);
    const std::vector<Failure> failures = receiveFailures(fds[0]);
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    for (const Failure &failure : failures) {
        if (failure.file.empty())
            ADD_FAILURE() << "in the child process: " << failure.message;
        else
            ADD_FAILURE_AT(failure.file.c_str(), failure.line)
                << "in the child process: " << failure.message;
    }
    if (WIFEXITED(status)) {
        outcome.exited = true;
        outcome.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        outcome.signal = WTERMSIG(status);
        if (outcome.signal == SIGALRM)
            ADD_FAILURE() << "the child process did not finish within " << timeoutSeconds
                          << " seconds";
    }
    return outcome;
}

void runUnprivileged(const std::function<void()> &body, unsigned timeoutSeconds)
{
    const ChildOutcome outcome = runInChild(body, ChildPrivileges::Drop, timeoutSeconds);
    if (!outcome.exited) {
        if (outcome.signal != SIGALRM)
            ADD_FAILURE() << "the unprivileged child was ended by signal " << outcome.signal;
    } else if (outcome.exitCode != 0) {
        ADD_FAILURE() << "the unprivileged child exited with status " << outcome.exitCode;
    }
}

void handOver(const QString &path)
{
    if (::geteuid() != 0)
        return;
    if (::nftw(QFile::encodeName(path).constData(), chownEntry, 16, FTW_PHYS) != 0)
        throw std::runtime_error("cannot hand " + path.toStdString() +
                                 " over: " + std::strerror(errno));
}

} // namespace vantrel::test
