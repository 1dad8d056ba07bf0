// The directories every test process is given: its own, in place before
// the first test, and gone when it exits.

#include "support/scoped_variable.h"
#include "support/test_environment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using vantrel::test::ScopedVariable;
using vantrel::test::testEnvironmentRoot;

const char *const kVariables[] = {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                                  "XDG_RUNTIME_DIR"};

QString root()
{
    return QString::fromStdString(testEnvironmentRoot());
}

// Runs the probe and returns what it reported, NAME -> value.
QMap<QString, QString> probe(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(VANTREL_ENVIRONMENT_PROBE), arguments);
    QMap<QString, QString> report;
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        return report;
    const QString output = QString::fromLocal8Bit(process.readAllStandardOutput());
    for (const QString &line : output.split('\n', Qt::SkipEmptyParts))
        report.insert(line.section('=', 0, 0), line.section('=', 1));
    return report;
}

TEST(TestEnvironment, GivesThisProcessDirectoriesOfItsOwn)
{
    const QString home = QDir::homePath();
    ASSERT_FALSE(root().isEmpty());
    EXPECT_FALSE(QDir::cleanPath(root()).startsWith(QDir::cleanPath(home) + '/'));
    QStringList seen;
    for (const char *variable : kVariables) {
        SCOPED_TRACE(variable);
        const QString value = qEnvironmentVariable(variable);
        EXPECT_TRUE(value.startsWith(root() + '/')) << value.toStdString();
        EXPECT_TRUE(QFileInfo(value).isDir());
        EXPECT_FALSE(seen.contains(value));
        seen << value;
    }
    // Qt asks the same variables, so what it keeps "for the user" stays here.
    EXPECT_EQ(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).toStdString(),
              qEnvironmentVariable("XDG_CONFIG_HOME").toStdString());
    EXPECT_EQ(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString(),
              qEnvironmentVariable("XDG_DATA_HOME").toStdString());
    EXPECT_EQ(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation).toStdString(),
              qEnvironmentVariable("XDG_CACHE_HOME").toStdString());
    EXPECT_EQ(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation).toStdString(),
              qEnvironmentVariable("XDG_RUNTIME_DIR").toStdString());
}

TEST(TestEnvironment, AnotherTestProcessGetsOthersAndRemovesThemWhenItExits)
{
    const QMap<QString, QString> report = probe({});
    ASSERT_TRUE(report.contains("root"));
    const QString other = report.value("root");
    EXPECT_NE(other, root());
    for (const char *variable : kVariables) {
        SCOPED_TRACE(variable);
        // Set afresh, not inherited from this process.
        EXPECT_TRUE(report.value(variable).startsWith(other + '/'))
            << report.value(variable).toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(other));
    EXPECT_TRUE(QFileInfo(root()).isDir());
}

TEST(TestEnvironment, AForkedChildThatExitsLeavesTheDirectoriesToItsParent)
{
    const QMap<QString, QString> report = probe({"fork"});
    EXPECT_EQ(report.value("after-child").toStdString(), "present");
    EXPECT_FALSE(QFileInfo::exists(report.value("root")));
}

// Whatever a test leaves in the temporary directory, even a name Qt cannot
// remove, goes with the process's own directories.
TEST(TestEnvironment, LeavesNothingInTheTemporaryDirectoryItWasGiven)
{
    const QTemporaryDir given;
    {
        const ScopedVariable tmpdir("TMPDIR", QFile::encodeName(given.path()));
        ASSERT_TRUE(probe({"leave"}).contains("root"));
    }
    EXPECT_TRUE(std::filesystem::is_empty(QFile::encodeName(given.path()).toStdString()));
}

} // namespace
