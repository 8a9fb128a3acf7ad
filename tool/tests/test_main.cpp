// GoogleTest under a QApplication on the offscreen platform: widgets are built and driven
// without a display. Settings go to a folder of the run's own, emptied before each test, so that
// no test reads or writes the user's real settings nor what another test left.
#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QtMessageHandler g_defaultHandler = nullptr;

// The offscreen platform warns on every fixed-size window that it cannot pass size hints on;
// that says nothing about the code under test.
void QuietMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("This plugin does not support propagateSizeHints()"))) {
        return;
    }
    g_defaultHandler(type, context, message);
}

class FreshSettings final : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { QSettings().clear(); }
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    g_defaultHandler = qInstallMessageHandler(QuietMessageHandler);
    QStandardPaths::setTestModeEnabled(true);
    const QTemporaryDir settingsFolder;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new FreshSettings);
    return RUN_ALL_TESTS();
}
