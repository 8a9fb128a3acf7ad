#include "format_option.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace quorrel::cli {

CLI::Option* AddFormatOption(CLI::App& command, std::string& format, std::initializer_list<const char*> names,
                             const std::string& help) {
    const std::vector<std::string> choices(names.begin(), names.end());
    std::string shown;
    for (const std::string& name : choices) shown += (shown.empty() ? "" : "|") + name;
    return command.add_option("--format", format, help)->option_text(shown)->transform([choices](std::string value) {
        std::transform(value.begin(), value.end(), value.begin(), [](unsigned char c) { return std::tolower(c); });
        if (std::find(choices.begin(), choices.end(), value) != choices.end()) return value;
        std::string list;
        for (std::size_t at = 0; at < choices.size(); ++at) {
            list += (at == 0 ? "" : at + 1 == choices.size() ? " or " : ", ") + choices[at];
        }
        throw CLI::ValidationError("'" + value + "' is not a format: use " + list);
    });
}

}  // namespace quorrel::cli
