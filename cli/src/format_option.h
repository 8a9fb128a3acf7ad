// The --format option of a command that writes for people by default and for scripts on request.
#pragma once

#include <CLI/CLI.hpp>

#include <initializer_list>
#include <string>

namespace quorrel::cli {

// --format NAME, one of names in any case; format holds it in lower case. The first name is the
// default, which format should hold already.
CLI::Option* AddFormatOption(CLI::App& command, std::string& format, std::initializer_list<const char*> names,
                             const std::string& help);

}  // namespace quorrel::cli
