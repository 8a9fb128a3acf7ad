#include "command_line.h"

#include <CLI/CLI.hpp>

#include <memory>

#include "apply_command.h"
#include "command.h"
#include "common_options.h"
#include "discover_command.h"
#include "doctor_command.h"
#include "exit_status.h"
#include "library_environment.h"
#include "set_command.h"
#include "upload_command.h"
#include "watch_command.h"

namespace quorrel::cli {
namespace {

// In the order --help lists them.
constexpr CommandDefinition kCommands[] = {DefineDiscoverCommand, DefineSetCommand, DefineApplyCommand,
                                           DefineUploadCommand, DefineWatchCommand, DefineDoctorCommand};

constexpr const char* kExitStatusText =
    "Exit status: 0 done; 1 a unit or the network failed; 2 the command line or the input was wrong.";

// "discover, set, apply or upload".
std::string CommandNames(const CLI::App& app) {
    const std::vector<const CLI::App*> commands = app.get_subcommands({});
    std::string names;
    for (std::size_t at = 0; at < commands.size(); ++at) {
        names += (at == 0 ? "" : at + 1 == commands.size() ? " or " : ", ") + commands[at]->get_name();
    }
    return names;
}

// One line for what is wrong, then where to read more.
void ReportWrongCommandLine(const CLI::App& app, const CLI::ParseError& error, const Console& console) {
    if (app.get_subcommands().empty() && error.get_name() == "RequiredError") {
        const std::vector<std::string> rest = app.remaining();
        console.Error((rest.empty() ? "no command given" : "unknown command '" + rest.front() + "'") + ": use " +
                      CommandNames(app));
    } else {
        console.Error(error.what());
    }
    std::string command = "quorrel";
    for (const CLI::App* parsed : app.get_subcommands()) command += " " + parsed->get_name();
    console.err << "Try '" << command << " --help' for more information.\n";
}

}  // namespace

int RunQuorrel(int argc, const char* const* argv, const LibraryExports& library, const AddressProbe& probe,
               const std::function<std::string()>& libraryVersion, const Console& console) {
    auto help = std::make_shared<HelpFormatter>();
    Invocation invocation{library, probe, console, *help, {}, {}};
    CLI::App app("Finds the Quorrel units on the local network, sets their addressing and stores files on them.",
                 "quorrel");
    app.formatter(help);
    app.require_subcommand(1);
    app.set_version_flag(
        "--version", [&] { return std::string("quorrel " QUORREL_VERSION "\nlibvarl interface ") + libraryVersion(); },
        "Print the program's version and the library's, then exit");
    AddCommonOptions(app, invocation.common);
    help->SetUsage(&app, "Usage: quorrel [--version] [--help] COMMAND [OPTIONS] [ARGS]...");
    app.footer(std::string("Examples:\n"
                           "  quorrel discover\n"
                           "  quorrel set 1A2B3 --static 10.77.0.20/16 --gateway 10.77.0.1\n"
                           "  quorrel apply units.csv\n"
                           "  quorrel upload --all index.htm\n"
                           "  quorrel watch\n"
                           "  quorrel doctor\n\n"
                           "Run 'quorrel COMMAND --help' for a command's options; see also quorrel(1).\n") +
               kExitStatusText);
    for (const CommandDefinition define : kCommands) define(app, invocation);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e, console.out, console.err);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e, console.out, console.err);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e, console.out, console.err);
    } catch (const CLI::ParseError& e) {
        ReportWrongCommandLine(app, e, console);
        return kExitWrongInput;
    }
    SetLibraryEnvironment(invocation.common);
    return invocation.run();
}

}  // namespace quorrel::cli
