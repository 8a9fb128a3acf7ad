#include "common_options.h"

#include "targets.h"

namespace quorrel::cli {

void AddCommonOptions(CLI::App& app, CommonOptions& common) {
    app.add_option("--timeout", common.timeoutMs, "Listen this long for answers in each discovery (default 2000)")
        ->option_text("MS")
        ->check(CLI::Range(1u, 600000u));
    app.add_option("--interface", common.interfaces, "Broadcast on this interface only; repeatable (default: all)")
        ->option_text("NAME")
        ->allow_extra_args(false)
        ->check([](const std::string& name) { return name.empty() ? "an interface name cannot be empty" : ""; });
    app.add_option("--target", common.targets,
                   "Also reach this address or range (up to /16) by unicast; repeatable")
        ->option_text("ADDRESS|RANGE")
        ->allow_extra_args(false)
        ->check([](const std::string& target) { return TargetProblem(target).value_or(""); });
    app.add_flag("--verbose", common.verbose, "Trace each datagram and each FTP command and reply on standard error");
}

}  // namespace quorrel::cli
