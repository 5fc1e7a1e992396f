// Test entry point: one QApplication on the offscreen platform for every test
// program, so widget tests run headless, with private user folders.
#include <QApplication>
#include <gtest/gtest.h>

#include "support/private_home.h"

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    UsePrivateUserFolders();
    ::testing::InitGoogleTest(&argc, argv);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
