#include <QApplication>
#include <gtest/gtest.h>

// Test programs with windows need one application object for the whole run; without a platform
// named they run offscreen (also while the tests are being listed).
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
