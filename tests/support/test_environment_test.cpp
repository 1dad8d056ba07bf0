// The directories every test process is given: its own, in place before
// the first test, and gone when it exits.

#include "support/test_environment.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using vantrel::test::testEnvironmentRoot;

const char *const kVariables[] = {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                                  "XDG_RUNTIME_DIR"};

QString root()
{
    return QString::fromStdString(testEnvironmentRoot());
}

// Runs the probe, with TMPDIR set to `tmpdir` when given, and returns what
// it reported, NAME -> value.
QMap<QString, QString> probe(const QStringList &arguments, const QString &tmpdir = {})
{
    QProcess process;
    if (!tmpdir.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), tmpdir);
        process.setProcessEnvironment(environment);
    }
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
    const QTemporaryDir tmpdir;
    const QMap<QString, QString> report = probe({"leave"}, tmpdir.path());
    EXPECT_TRUE(report.contains("root"));
    std::vector<std::string> left;
    for (const auto &entry : std::filesystem::directory_iterator(tmpdir.path().toStdString()))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{});
}

} // namespace
