#include "support/child_process.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>

#include <sys/stat.h>
#include <unistd.h>

using namespace vantrel::test;

namespace {

TEST(ChildProcess, RunsUnprivilegedAsTheUnprivilegedUser)
{
    const UnixUser user = unprivilegedUser();
    EXPECT_NE(user.uid, 0u);
    uid_t seen = 0;
    runUnprivileged([&] {
        seen = ::geteuid();
        EXPECT_EQ(::geteuid(), user.uid);
        EXPECT_EQ(::getuid(), user.uid);
        EXPECT_EQ(::getegid(), user.gid);
        // Dropped from the superuser, no supplementary group of root's stays.
        if (user.uid == 65534) {
            EXPECT_EQ(::getgroups(0, nullptr), 0);
        }
    });
    // The child's changes stay in the child.
    EXPECT_EQ(seen, 0u);
}

// Whatever goes wrong in the child is a failure of the test in the parent,
// named as it was in the child.
TEST(ChildProcess, ReportsEveryWayTheChildCanFail)
{
    struct Case {
        const char *what;
        std::function<void()> body;
        const char *reported;
    };
    const Case cases[] = {
        {"expectation", [] { EXPECT_EQ(1, 2) << "the marker"; }, "the marker"},
        {"assertion", [] { ASSERT_TRUE(false) << "fatal marker"; }, "fatal marker"},
        {"exception", [] { throw std::runtime_error("boom"); }, "uncaught exception: boom"},
        {"exit status", [] { ::_exit(3); }, "exited with status 3"},
        {"signal", [] { std::raise(SIGKILL); }, "ended by signal 9"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_NONFATAL_FAILURE(runUnprivileged(c.body), c.reported);
    }
    EXPECT_NONFATAL_FAILURE(runUnprivileged([] { ::pause(); }, 1),
                            "did not finish within 1 seconds");
}

TEST(ChildProcess, TellsTheParentHowTheChildEnded)
{
    const ChildOutcome exited = runInChild([] { ::_exit(7); });
    EXPECT_TRUE(exited.exited);
    EXPECT_EQ(exited.exitCode, 7);
    const ChildOutcome killed = runInChild([] { std::raise(SIGKILL); });
    EXPECT_FALSE(killed.exited);
    EXPECT_EQ(killed.signal, SIGKILL);
    const ChildOutcome kept = runInChild([] { EXPECT_EQ(::geteuid(), ::getuid()); });
    EXPECT_TRUE(kept.exited);
    EXPECT_EQ(kept.exitCode, 0);
}

TEST(ChildProcess, HandOverGivesATreeToTheUnprivilegedUser)
{
    QTemporaryDir dir;
    ASSERT_TRUE(
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    {
        QFile file(dir.path() + "/mine");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    handOver(dir.path());
    const UnixUser user = unprivilegedUser();
    for (const QString &path : {dir.path(), dir.path() + "/mine"}) {
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
        EXPECT_EQ(info.st_uid, user.uid) << path.toStdString();
        EXPECT_EQ(info.st_gid, user.gid) << path.toStdString();
    }
    runUnprivileged([&] {
        QFile file(dir.path() + "/new");
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    });
    EXPECT_TRUE(QFile::exists(dir.path() + "/new"));
}

} // namespace
