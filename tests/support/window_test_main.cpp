// Test main for tests that need Qt: one application object for the whole run, on the
// offscreen platform unless the caller chose another.
#include "app/application.h"

#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    app::prepareBrowserEnvironment();
    app::CorvaleApplication application(argc, argv);
    // What a test chooses (the engine box, for one) is remembered apart from the user's choices
    // and apart from the test processes running beside this one.
    QStandardPaths::setTestModeEnabled(true);
    const QTemporaryDir settingsFolder;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsFolder.path());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
