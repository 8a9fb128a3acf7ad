// The program's command line, run as a user runs it: the built parbex as a process of its own.
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

namespace {

struct CommandLineRow {
    const char* name;
    QStringList arguments;
    // Without a display: --help and --version answer from any terminal.
    bool display;
    int exitCode;
    const char* output;  // the start of standard output
    const char* error;   // the start of standard error
};

class ParbexCommandLineTest : public ::testing::TestWithParam<CommandLineRow> {};

TEST_P(ParbexCommandLineTest, AnswersAndExits) {
    const CommandLineRow& row = GetParam();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(QString::fromLatin1(name));
    if (row.display) environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // A run-time folder of its own, so that Qt has nothing to say about the machine's.
    const QTemporaryDir runtimeFolder;
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder.path());
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(PARBEX_PROGRAM), row.arguments);
    ASSERT_TRUE(program.waitForFinished(20000)) << "still running: it opened its window";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), row.exitCode);
    const std::string output = program.readAllStandardOutput().toStdString();
    const std::string error = program.readAllStandardError().toStdString();
    EXPECT_EQ(output.substr(0, std::char_traits<char>::length(row.output)), row.output) << output;
    EXPECT_EQ(error.substr(0, std::char_traits<char>::length(row.error)), row.error) << error;
    if (row.exitCode != 0) {
        EXPECT_NE(error.find("\nUsage: "), std::string::npos) << "the usage follows the error";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ParbexCommandLineTest,
    ::testing::Values(
        CommandLineRow{"help", {"--help"}, false, 0, "Usage: " PARBEX_PROGRAM " [options]\n", ""},
        CommandLineRow{"help_short", {"-h"}, false, 0, "Usage: ", ""},
        CommandLineRow{"version", {"--version"}, false, 0, "Parbex 1.0\n", ""},
        CommandLineRow{"version_after_a_qt_option", {"-platform", "offscreen", "-v"}, false, 0, "Parbex 1.0\n", ""},
        CommandLineRow{"unknown_option", {"--bogus"}, true, 2, "", "parbex: Unknown option 'bogus'.\n"},
        CommandLineRow{"an_argument", {"extra"}, true, 2, "", "parbex: Unexpected argument 'extra'.\n"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
