#include "command.h"

#include <algorithm>
#include <cctype>

namespace quorrel::cli {

void AddFormatOption(CLI::App& command, std::string& format, const std::vector<std::string>& formats,
                     const std::string& description) {
    std::string names;
    for (std::size_t at = 0; at < formats.size(); ++at) {
        names += (at == 0 ? "" : at + 1 == formats.size() ? " or " : ", ") + formats[at];
    }
    std::string shown;
    for (const std::string& name : formats) shown += (shown.empty() ? "" : "|") + name;
    command.add_option("--format", format, description)->option_text(shown)->transform([formats, names](std::string value) {
        std::transform(value.begin(), value.end(), value.begin(), [](unsigned char c) { return std::tolower(c); });
        if (std::find(formats.begin(), formats.end(), value) == formats.end()) {
            throw CLI::ValidationError("'" + value + "' is not a format: use " + names);
        }
        return value;
    });
}

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
