#pragma once

// Runs a piece of a GoogleTest test in a forked child process.
//
// Some behaviour can only be seen in a process of its own: what an ordinary
// user meets where the superuser is let through (a read-only file, a
// directory the user may not write), a process killed halfway through a
// write, a file size limit standing in for a full disk. The test sets the
// scene in the parent, then hands a lambda to runInChild or
// runUnprivileged. Every failed EXPECT_/ASSERT_ in the child, an exception
// that leaves the lambda, and a child that dies or hangs are reported in
// the parent as failures of the running test, with the file and line
// where they happened.
//
// The child is a copy of the test process: it sees the parent's objects as
// they were at the fork, its changes to them stay in the child, and it ends
// with _exit, so no destructor of the parent's objects runs twice.

#include <QString>

#include <functional>

#include <sys/types.h>

namespace vantrel::test {

enum class ChildPrivileges {
    // The child runs with the test's own user and group.
    Keep,
    // The child runs as an unprivileged user (see unprivilegedUser()).
    Drop,
};

// How the child ended.
struct ChildOutcome {
    bool exited = false; // by _exit or exit; then exitCode holds the status
    int exitCode = -1;
    int signal = 0; // the signal that ended it, when it did not exit
};

// The user and group an unprivileged child runs as: 65534 (nobody and
// nogroup) when the test runs as the superuser, the test's own user and
// group otherwise.
struct UnixUser {
    uid_t uid;
    gid_t gid;
};
UnixUser unprivilegedUser();

// Forks, runs `body` in the child with the given privileges and waits for
// it. The child is ended by SIGALRM after `timeoutSeconds`, so a body that
// blocks fails instead of hanging the suite. Failures in the child are
// added to the current test; the outcome is returned for tests that expect
// the child to die. A child that cannot drop its privileges reports that
// and runs nothing.
ChildOutcome runInChild(const std::function<void()> &body,
                        ChildPrivileges privileges = ChildPrivileges::Keep,
                        unsigned timeoutSeconds = 60);

// runInChild with ChildPrivileges::Drop, adding a failure unless the child
// exits normally with status 0.
void runUnprivileged(const std::function<void()> &body, unsigned timeoutSeconds = 60);

// Gives `path` and everything below it to unprivilegedUser(), so that an
// unprivileged child may use it as its own. Does nothing unless the test
// runs as the superuser. The directories above `path` must let others
// through (as /tmp does). Throws std::runtime_error when a chown fails.
void handOver(const QString &path);

} // namespace vantrel::test
