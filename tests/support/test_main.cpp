// The main of every test executable. The window tests need a QApplication
// before their first widget; listing the tests needs none, and has no
// display to make one on when the build lists them.

#include <QApplication>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

int main(int argc, char *argv[])
{
    testing::InitGoogleTest(&argc, argv);
    std::unique_ptr<QApplication> application;
    if (!GTEST_FLAG_GET(list_tests)) {
        // As QTEST_MAIN has it: fonts measured at 96 dpi whatever the screen.
        QApplication::setAttribute(Qt::AA_Use96Dpi, true);
        application = std::make_unique<QApplication>(argc, argv);
    }
    return RUN_ALL_TESTS();
}
