// What each command's definition is given: the command line to add itself to, and the run it
// leaves behind when the line chooses it. One file per command defines its options, its help and
// what it does; command_line.cpp only lists the commands.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "address_probe.h"
#include "common_options.h"
#include "console.h"
#include "library_exports.h"

namespace quorrel::cli {

// CLI11's help with a usage line of our own for each command: the synopsis says which options
// belong together, which CLI11's generated "[OPTIONS]" cannot.
class HelpFormatter : public CLI::Formatter {
public:
    HelpFormatter() { column_width(32); }

    void SetUsage(const CLI::App* app, std::string usage) { m_usages[app] = std::move(usage); }

    std::string make_usage(const CLI::App* app, std::string name) const override {
        const auto usage = m_usages.find(app);
        return usage == m_usages.end() ? CLI::Formatter::make_usage(app, std::move(name)) : usage->second + "\n";
    }

private:
    std::map<const CLI::App*, std::string> m_usages;
};

// The parsed command line: the common options, and the chosen command's run with its own options
// bound in.
struct Invocation {
    const LibraryExports& library;
    const AddressProbe& probe;
    const Console& console;
    HelpFormatter& help;
    CommonOptions common;
    std::function<int()> run;
};

// The run of a command whose options are bound in: run on the invocation's library, common options
// and console.
template <typename Options>
std::function<int()> RunOf(Invocation& invocation, std::shared_ptr<const Options> options,
                           int (*run)(const LibraryExports&, const CommonOptions&, const Options&, const Console&)) {
    return [&invocation, options, run] { return run(invocation.library, invocation.common, *options, invocation.console); };
}

// The same for a command that gives units addresses, and so probes them first.
template <typename Options>
std::function<int()> RunOf(Invocation& invocation, std::shared_ptr<const Options> options,
                           int (*run)(const LibraryExports&, const AddressProbe&, const CommonOptions&, const Options&,
                                      const Console&)) {
    return [&invocation, options, run] {
        return run(invocation.library, invocation.probe, invocation.common, *options, invocation.console);
    };
}

// Adds one command to the program's command line; its callback sets invocation.run.
using CommandDefinition = void (*)(CLI::App& program, Invocation& invocation);

// The command named, with its description, the common options, its usage line and its footer.
CLI::App* AddCommand(CLI::App& program, Invocation& invocation, const char* name, const char* description,
                     const std::string& usage, const char* footer);

}  // namespace quorrel::cli
