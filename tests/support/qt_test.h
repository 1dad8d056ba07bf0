#pragma once

// Runs a Qt Test class as one GoogleTest test, so that a library's window
// tests share its test executable with its other tests:
//
//     VANTREL_QT_TEST(Form1Test)
//
// in place of QTEST_MAIN. The test fails when any of the class's test
// functions fails; Qt Test prints which.

#include <QTest>

#include <gtest/gtest.h>

#define VANTREL_QT_TEST(Class)                                                                     \
    TEST(Windows, Class)                                                                           \
    {                                                                                              \
        Class object;                                                                              \
        EXPECT_EQ(QTest::qExec(&object), 0);                                                       \
    }
