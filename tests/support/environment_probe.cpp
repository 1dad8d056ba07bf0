// Reports the directories the test environment gave this process, for the
// test that checks them from the outside:
//
//     environment_probe          prints VARIABLE=path for each directory
//     environment_probe fork     the same, then lets a forked child exit
//                                normally and prints whether the root is
//                                still there afterwards
//     environment_probe leave    the same, then leaves a temporary directory
//                                holding a name that is not UTF-8, which Qt
//                                cannot remove, as a test's TempDrive can
//
// Links the test support library like every test does, so that it gets
// its directories the same way.

#include "support/test_environment.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char *argv[])
{
    std::printf("root=%s\n", vantrel::test::testEnvironmentRoot().c_str());
    for (const char *variable :
         {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
        const char *value = std::getenv(variable);
        std::printf("%s=%s\n", variable, value != nullptr ? value : "");
    }
    if (argc > 1 && std::strcmp(argv[1], "fork") == 0) {
        std::fflush(stdout);
        const pid_t child = ::fork();
        if (child < 0)
            return 1;
        if (child == 0)
            std::exit(0);
        int status = 0;
        ::waitpid(child, &status, 0);
        struct stat info {};
        const bool present = ::stat(vantrel::test::testEnvironmentRoot().c_str(), &info) == 0;
        std::printf("after-child=%s\n", present ? "present" : "gone");
    }
    if (argc > 1 && std::strcmp(argv[1], "leave") == 0) {
        const QTemporaryDir left;
        std::ofstream((QFile::encodeName(left.path()) + "/\xff.bmp").toStdString()) << "x";
    }
    return 0;
}
