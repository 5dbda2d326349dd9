#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdlib>

int main(int argc, char** argv) {
    // Test discovery runs this binary at build time without the test environment.
    setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/0);
    QApplication application(argc, argv);
    // The panels read and write the settings file: never the user's own.
    QTemporaryDir config;
    setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), /*overwrite=*/1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
