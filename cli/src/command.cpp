#include "command.h"

namespace quorrel::cli {

CLI::App* AddCommand(CLI::App& program, Invocation& invocation, const char* name, const char* description,
                     const std::string& usage, const char* footer) {
    CLI::App* command = program.add_subcommand(name, description);
    AddCommonOptions(*command, invocation.common);
    invocation.help.SetUsage(command, usage);
    command->footer(footer);
    command->group("Commands");
    return command;
}

}  // namespace quorrel::cli
