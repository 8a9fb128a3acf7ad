#include "command_line.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <memory>
#include <optional>

#include "apply_command.h"
#include "common_options.h"
#include "discover_command.h"
#include "exit_status.h"
#include "library_environment.h"
#include "set_command.h"
#include "upload_command.h"

namespace quorrel::cli {
namespace {

// CLI11's help with a usage line of our own for each command: the synopsis says which options
// belong together, which CLI11's generated "[OPTIONS]" cannot.
class HelpFormatter : public CLI::Formatter {
public:
    HelpFormatter() {
        column_width(32);
    }

    void SetUsage(const CLI::App* app, std::string usage) { usages_[app] = std::move(usage); }

    std::string make_usage(const CLI::App* app, std::string name) const override {
        const auto usage = usages_.find(app);
        return usage == usages_.end() ? CLI::Formatter::make_usage(app, std::move(name)) : usage->second + "\n";
    }

private:
    std::map<const CLI::App*, std::string> usages_;
};

constexpr const char* kCommonUsage = "[--timeout MS] [--interface NAME]... [--verbose]";

constexpr const char* kExitStatusText =
    "Exit status: 0 done; 1 a unit or the network failed; 2 the command line or the input was wrong.";

void AddCommonOptions(CLI::App& app, CommonOptions& common) {
    app.add_option("--timeout", common.timeoutMs,
                   "Listen this long for answers in each discovery (default 2000)")
        ->option_text("MS")
        ->check(CLI::Range(1u, 600000u));
    app.add_option("--interface", common.interfaces,
                   "Broadcast on this interface only; repeatable (default: all)")
        ->option_text("NAME")
        ->allow_extra_args(false)
        ->check([](const std::string& name) { return name.empty() ? "an interface name cannot be empty" : ""; });
    app.add_flag("--verbose", common.verbose, "Trace each datagram and each FTP command and reply on standard error");
}

// What the parsed command line asks for: the command's options are bound in its closure.
struct Program {
    const LibraryExports& library;
    const Console& console;
    HelpFormatter& help;
    CommonOptions common;
    std::function<int()> run;
};

void AddDiscoverCommand(CLI::App& app, Program& program) {
    auto options = std::make_shared<DiscoverOptions>();
    auto format = std::make_shared<std::string>("table");
    CLI::App* command = app.add_subcommand("discover", "List every unit that answers, sorted by serial");
    command->add_option("--format", *format, "table for people (the default); json or csv for scripts")
        ->option_text("table|json|csv")
        ->transform([](std::string value) {
            std::transform(value.begin(), value.end(), value.begin(), [](unsigned char c) { return std::tolower(c); });
            if (value != "table" && value != "json" && value != "csv")
                throw CLI::ValidationError("'" + value + "' is not a format: use table, json or csv");
            return value;
        });
    AddCommonOptions(*command, program.common);
    program.help.SetUsage(command, std::string("Usage: quorrel discover [--format table|json|csv] ") + kCommonUsage);
    command->footer(
        "The table shows each unit's serial (five hexadecimal digits), DHCP (On, Off, or the digit the unit\n"
        "reported), address, mask, gateway and chip name. \"No units answered.\" goes to standard error when\n"
        "none did.\n\n"
        "Examples:\n"
        "  quorrel discover\n"
        "  quorrel discover --format csv > units.csv\n"
        "  quorrel discover --format json --interface eth1");
    command->callback([&program, options, format] {
        options->format = *format == "json" ? OutputFormat::Json
                          : *format == "csv" ? OutputFormat::Csv
                                             : OutputFormat::Table;
        program.run = [&program, options] {
            return RunDiscover(program.library, program.common, *options, program.console);
        };
    });
}

void AddSetCommand(CLI::App& app, Program& program) {
    auto options = std::make_shared<SetOptions>();
    auto typed = std::make_shared<std::array<std::string, 3>>();  // --static, --mask, --gateway
    CLI::App* command = app.add_subcommand("set", "Set one unit's addressing and confirm that it took it");
    command->add_option("SERIAL", options->serial, "The unit's serial: one to five hexadecimal digits")
        ->option_text(" ")
        ->required();
    command->add_flag("--dhcp", options->dhcp, "Have the unit take its address by DHCP");
    CLI::Option* staticOption =
        command->add_option("--static", (*typed)[0], "Give the unit this static address; the mask as /PREFIX or --mask")
            ->option_text("ADDRESS[/PREFIX]");
    CLI::Option* maskOption = command->add_option("--mask", (*typed)[1], "The net mask, such as 255.255.255.0")
                                  ->option_text("MASK")
                                  ->needs(staticOption);
    CLI::Option* gatewayOption = command->add_option("--gateway", (*typed)[2], "The gateway (default: none, 0.0.0.0)")
                                     ->option_text("GATEWAY")
                                     ->needs(staticOption);
    command->add_flag("--no-verify", options->noVerify, "Send the configuration without confirming it");
    command->add_flag("--force", options->force, "Send even when no unit with the serial answers");
    AddCommonOptions(*command, program.common);
    program.help.SetUsage(command,
                          std::string("Usage: quorrel set SERIAL (--dhcp | --static ADDRESS[/PREFIX] [--mask MASK]\n"
                                      "                          [--gateway GATEWAY]) [--no-verify] [--force]\n"
                                      "                  ") +
                              kCommonUsage);
    command->footer(
        "The unit must answer a discovery first (unless --force). After sending, quorrel discovers again,\n"
        "up to three times, until the unit reports the new values, and prints its new line; a unit that\n"
        "does not take them ends with exit status 1 and what it reports instead.\n\n"
        "Examples:\n"
        "  quorrel set 1A2B3 --static 10.77.0.20/16 --gateway 10.77.0.1\n"
        "  quorrel set 1A2B3 --static 192.168.1.20 --mask 255.255.255.0\n"
        "  quorrel set 1A2B3 --dhcp");
    command->callback([&program, options, typed, staticOption, maskOption, gatewayOption] {
        if (staticOption->count() > 0) options->staticAddress = (*typed)[0];
        if (maskOption->count() > 0) options->mask = (*typed)[1];
        if (gatewayOption->count() > 0) options->gateway = (*typed)[2];
        program.run = [&program, options] { return RunSet(program.library, program.common, *options, program.console); };
    });
}

void AddApplyCommand(CLI::App& app, Program& program) {
    auto options = std::make_shared<ApplyOptions>();
    CLI::App* command = app.add_subcommand("apply", "Set the addressing of many units from a CSV file and confirm it");
    command->add_option("FILE", options->file, "The CSV file; - reads standard input")->option_text(" ")->required();
    command->add_flag("--dry-run", options->dryRun, "Say what would be sent, and send nothing");
    command->add_flag("--skip-missing", options->skipMissing, "Apply the rows whose unit answers, pass over the others");
    AddCommonOptions(*command, program.common);
    program.help.SetUsage(command,
                          std::string("Usage: quorrel apply [--dry-run] [--skip-missing] ") + kCommonUsage + " FILE");
    command->footer(
        "FILE has the header serial,dhcp,address,mask,gateway (a chip column is ignored), as\n"
        "'quorrel discover --format csv' writes it; dhcp is 0 (static, the three addresses are sent) or\n"
        "1 (DHCP). Every row is checked before anything is sent; then one discovery, and rows whose unit\n"
        "already reports their values are left alone. The others are sent together and confirmed as\n"
        "'quorrel set' does; one line per row says what happened.\n\n"
        "Examples:\n"
        "  quorrel discover --format csv > units.csv     # then edit the addresses\n"
        "  quorrel apply --dry-run units.csv\n"
        "  quorrel apply units.csv");
    command->callback([&program, options] {
        program.run = [&program, options] { return RunApply(program.library, program.common, *options, program.console); };
    });
}

void AddUploadCommand(CLI::App& app, Program& program) {
    auto options = std::make_shared<UploadOptions>();
    CLI::App* command = app.add_subcommand("upload", "Store a file on a unit, or on every unit");
    command
        ->add_option("TARGET FILE [REMOTE-NAME]", options->arguments,
                     "TARGET: the unit's serial or IPv4 address (not with --all)\n"
                     "REMOTE-NAME: at most eight characters before its first dot;\n"
                     "the default is FILE's own name")
        ->option_text(" ");
    command->add_flag("--all", options->all, "Store the file on every unit that answers");
    AddCommonOptions(*command, program.common);
    program.help.SetUsage(command, std::string("Usage: quorrel upload ") + kCommonUsage +
                                       " TARGET FILE [REMOTE-NAME]\n"
                                       "       quorrel upload --all " +
                                       kCommonUsage + " FILE [REMOTE-NAME]");
    command->footer(
        "Prints what was stored, where, how many bytes and how long it took, one line per unit.\n\n"
        "Examples:\n"
        "  quorrel upload 1A2B3 index.htm\n"
        "  quorrel upload 10.77.0.10 start-page.html INDEX.HTM\n"
        "  quorrel upload --all index.htm");
    command->callback([&program, options] {
        program.run = [&program, options] { return RunUpload(program.library, program.common, *options, program.console); };
    });
}

// One line for what is wrong, then where to read more.
void ReportWrongCommandLine(const CLI::App& app, const CLI::ParseError& error, const Console& console) {
    if (app.get_subcommands().empty() && error.get_name() == "RequiredError") {
        const std::vector<std::string> rest = app.remaining();
        console.Error(rest.empty() ? "no command given: use discover, set, apply or upload"
                                   : "unknown command '" + rest.front() + "': use discover, set, apply or upload");
    } else {
        console.Error(error.what());
    }
    std::string command = "quorrel";
    for (const CLI::App* parsed : app.get_subcommands()) command += " " + parsed->get_name();
    console.err << "Try '" << command << " --help' for more information.\n";
}

}  // namespace

int RunQuorrel(int argc, const char* const* argv, const LibraryExports& library,
               const std::function<std::string()>& libraryVersion, const Console& console) {
    auto help = std::make_shared<HelpFormatter>();
    Program program{library, console, *help, {}, {}};
    CLI::App app("Finds the Quorrel units on the local network, sets their addressing and stores files on them.",
                 "quorrel");
    app.formatter(help);
    app.require_subcommand(1);
    app.set_version_flag(
        "--version", [&] { return std::string("quorrel " QUORREL_VERSION "\nlibvarl interface ") + libraryVersion(); },
        "Print the program's version and the library's, then exit");
    AddCommonOptions(app, program.common);
    help->SetUsage(&app, "Usage: quorrel [--version] [--help] COMMAND [OPTIONS] [ARGS]...");
    app.footer(std::string("Examples:\n"
                           "  quorrel discover\n"
                           "  quorrel set 1A2B3 --static 10.77.0.20/16 --gateway 10.77.0.1\n"
                           "  quorrel apply units.csv\n"
                           "  quorrel upload --all index.htm\n\n"
                           "Run 'quorrel COMMAND --help' for a command's options; see also quorrel(1).\n") +
               kExitStatusText);
    AddDiscoverCommand(app, program);
    AddSetCommand(app, program);
    AddApplyCommand(app, program);
    AddUploadCommand(app, program);
    for (CLI::App* command : app.get_subcommands({})) command->group("Commands");

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
    SetLibraryEnvironment(program.common);
    return program.run();
}

}  // namespace quorrel::cli
