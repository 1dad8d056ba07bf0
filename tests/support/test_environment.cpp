#include "support/test_environment.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace vantrel::test {

namespace {

[[noreturn]] void giveUp(const char *what, const std::string &path)
{
    // Running on with the user's own directories is exactly what this
    // guards against, so a test process that cannot have its own stops.
    std::fprintf(stderr, "test environment: cannot %s %s: %s\n", what, path.c_str(),
                 std::strerror(errno));
    std::_Exit(125);
}

// Makes every directory below `path` writable and searchable again, so
// that a test that left a read-only directory behind does not keep its
// files from being removed.
void unlock(const std::filesystem::path &path)
{
    std::error_code error;
    if (!std::filesystem::is_directory(std::filesystem::symlink_status(path, error)))
        return;
    ::chmod(path.c_str(), S_IRWXU);
    for (const auto &entry : std::filesystem::directory_iterator(path, error))
        unlock(entry.path());
}

class TestEnvironment {
public:
    TestEnvironment() : m_owner(::getpid())
    {
        const char *tmp = std::getenv("TMPDIR");
        std::string base = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
        std::vector<char> name(base.begin(), base.end());
        const char suffix[] = "/vantrel-test-XXXXXX";
        name.insert(name.end(), std::begin(suffix), std::end(suffix));
        if (::mkdtemp(name.data()) == nullptr)
            giveUp("create a directory in", base);
        m_root = name.data();
        // Searchable by everyone, so that a test child that gave up root
        // can still reach the directories it inherited.
        ::chmod(m_root.c_str(), S_IRWXU | S_IRGRP | S_IXGRP | S_IROTH | S_IXOTH);

        const struct {
            const char *variable;
            const char *directory;
        } places[] = {{"XDG_CONFIG_HOME", "config"},
                      {"XDG_DATA_HOME", "data"},
                      {"XDG_CACHE_HOME", "cache"},
                      // Qt would otherwise make /tmp/runtime-<user> and leave it.
                      {"XDG_RUNTIME_DIR", "runtime"}};
        for (const auto &place : places) {
            const std::string path = m_root + '/' + place.directory;
            if (::mkdir(path.c_str(), S_IRWXU) != 0)
                giveUp("create", path);
            if (::setenv(place.variable, path.c_str(), 1) != 0)
                giveUp("set the variable for", path);
        }
        // What tests make in the temporary directory goes with the rest,
        // names that Qt cannot remove (not UTF-8) included. Open to every
        // user, as /tmp is, for a test child that gave up root.
        const std::string temporary = m_root + "/tmp";
        if (::mkdir(temporary.c_str(), S_IRWXU) != 0 ||
            ::chmod(temporary.c_str(), S_IRWXU | S_IRWXG | S_IRWXO | S_ISVTX) != 0)
            giveUp("create", temporary);
        if (::setenv("TMPDIR", temporary.c_str(), 1) != 0)
            giveUp("set the variable for", temporary);
    }

    ~TestEnvironment()
    {
        // A forked child that exits normally runs this too; the directories
        // belong to the process that made them.
        if (::getpid() != m_owner || m_root.empty())
            return;
        unlock(m_root);
        std::error_code error;
        std::filesystem::remove_all(m_root, error);
        if (error) {
            std::fprintf(stderr, "test environment: cannot remove %s: %s\n", m_root.c_str(),
                         error.message().c_str());
        }
    }

    TestEnvironment(const TestEnvironment &) = delete;
    TestEnvironment &operator=(const TestEnvironment &) = delete;

    const std::string &root() const { return m_root; }

private:
    pid_t m_owner;
    std::string m_root;
};

// Made during static initialisation, before main and before any test can
// ask Qt for a standard location; destroyed after main returns.
const TestEnvironment environment;

} // namespace

const std::string &testEnvironmentRoot()
{
    return environment.root();
}

} // namespace vantrel::test
