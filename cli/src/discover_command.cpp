#include "discover_command.h"

#include <algorithm>
#include <memory>

#include "discovery.h"
#include "exit_status.h"
#include "format_option.h"

namespace quorrel::cli {

void DefineDiscoverCommand(CLI::App& program, Invocation& invocation) {
    auto options = std::make_shared<DiscoverOptions>();
    auto format = std::make_shared<std::string>("table");
    CLI::App* command = AddCommand(
        program, invocation, "discover", "List every unit that answers, sorted by serial",
        std::string("Usage: quorrel discover [--format table|json|csv] ") + kCommonUsage,
        "The table shows each unit's serial (five hexadecimal digits), DHCP (On, Off, or the digit the unit\n"
        "reported), address, mask, gateway and chip name. \"No units answered.\" goes to standard error when\n"
        "none did, with a hint at 'quorrel doctor'. Units that report the same address have it marked * in the table, listed under\n"
        "\"conflicts\" in JSON and named in a warning.\n\n"
        "Examples:\n"
        "  quorrel discover\n"
        "  quorrel discover --format csv > units.csv\n"
        "  quorrel discover --format json --interface eth1\n"
        "  quorrel discover --target 10.80.0.0/24          # a site behind a router");
    AddFormatOption(*command, *format, {"table", "json", "csv"}, "table for people (the default); json or csv for scripts");
    command->callback([&invocation, options, format] {
        options->format = *format == "json"  ? OutputFormat::Json
                          : *format == "csv" ? OutputFormat::Csv
                                             : OutputFormat::Table;
        invocation.run = RunOf<DiscoverOptions>(invocation, options, RunDiscover);
    });
}

int RunDiscover(const LibraryExports& library, const CommonOptions& common, const DiscoverOptions& options,
                const Console& console) {
    Discovery discovery = DiscoverAllUnits(library, kSiteCapacity, common.timeoutMs);
    if (discovery.failure) {
        console.Failure(*discovery.failure);
        return ExitStatusOf(*discovery.failure);
    }
    std::sort(discovery.units.begin(), discovery.units.end(),
              [](const DeviceRecord& a, const DeviceRecord& b) { return a.serial < b.serial; });
    console.out << FormatUnits(discovery.units, options.format);
    if (discovery.units.empty()) {
        // The commonest reason is not the units: a host firewall drops their answers, which come
        // from the units' own addresses and so read as no reply to anything this PC sent.
        console.err << "No units answered.\n"
                    << "A firewall on this computer may drop the units' answers: 'quorrel doctor' tells.\n";
    }
    for (const std::string& note : ConflictNotes(discovery.units)) console.Warning(note);
    return kExitDone;
}

}  // namespace quorrel::cli
