#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

#include "app_icon.h"
#include "parbex_app.h"

namespace {

// The command line is told wrong: exit status 2, as command-line tools do.
constexpr int kUsageExitStatus = 2;

void DescribeCommandLine(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral(
        "Finds Quorrel units on the network, changes their addressing and uploads files to them."));
    // Single-dash words are whole names, as in Qt's own options (-platform, -style), so that no
    // word of theirs is taken for a bundle of -h or -v.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addVersionOption();
}

void SetApplicationNames() {
    QCoreApplication::setOrganizationName(QStringLiteral("Tamberlode"));
    QCoreApplication::setApplicationName(QStringLiteral("Parbex"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
}

// --help and --version are answered before the program asks for a display, so they work from any
// terminal. Qt's own options are not known yet here and are let pass.
void AnswerHelpOrVersion(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    DescribeCommandLine(parser);
    const bool understood = parser.parse(arguments);
    const bool helpAll = parser.isSet(QStringLiteral("help-all"));
    if (!parser.isSet(QStringLiteral("help")) && !helpAll && !parser.isSet(QStringLiteral("version"))) {
        return;
    }
    QCoreApplication application(argc, argv);
    if (parser.isSet(QStringLiteral("version"))) {
        parser.showVersion();
    }
    if (helpAll && understood) {
        // Qt's own handling adds the options its application object understands.
        parser.process(application);
    }
    parser.showHelp(0);
}

}  // namespace

int main(int argc, char** argv) {
    SetApplicationNames();
    AnswerHelpOrVersion(argc, argv);

    QApplication application(argc, argv);
    QApplication::setWindowIcon(parbex::ParbexIcon());
    // Qt's own options are gone from the arguments now; anything left is an error. The program
    // takes no arguments and always loads the library from its one fixed location.
    QCommandLineParser parser;
    DescribeCommandLine(parser);
    if (!parser.parse(QApplication::arguments()) || !parser.positionalArguments().isEmpty()) {
        const QString error = parser.errorText().isEmpty()
                                  ? QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first())
                                  : parser.errorText();
        std::fprintf(stderr, "parbex: %s\n\n%s", qPrintable(error), qPrintable(parser.helpText()));
        return kUsageExitStatus;
    }
    parbex::CParbexApp parbexApp;
    parbexApp.InitInstance();
    // The ordinary exit, whichever way the main window closed.
    return 0;
}
