#include "doctor_command.h"

#include <memory>

#include "doctor_discovery.h"
#include "doctor_firewall.h"
#include "doctor_interfaces.h"
#include "doctor_report.h"
#include "doctor_reverse_path.h"
#include "doctor_unit.h"
#include "exit_status.h"
#include "format_option.h"
#include "serial_text.h"

namespace quorrel::cli {

void DefineDoctorCommand(CLI::App& program, Invocation& invocation) {
    auto options = std::make_shared<DoctorOptions>();
    auto format = std::make_shared<std::string>("text");
    auto unit = std::make_shared<std::string>();
    CLI::App* command = AddCommand(
        program, invocation, "doctor", "Check what stands between this PC and its units",
        std::string("Usage: quorrel doctor [--unit SERIAL] [--format text|json] ") + kCommonUsage,
        "Checks in order: which interfaces carry the discovery broadcast; whether a host firewall (firewalld,\n"
        "ufw, nftables) lets in the units' answers (UDP from source port 8001); a live discovery, counting\n"
        "the answers that reach each interface against those quorrel receives; a strict reverse-path filter\n"
        "on an interface where a unit answers from outside its subnets; with --unit, the unit's FTP login and\n"
        "data connections. Each check is ok, a warning, a problem with the commands that fix it, or not\n"
        "checked for want of a privilege (run it as root to check everything).\n\n"
        "Exit status: 0 no problem found; 1 a problem found; 2 the command line was wrong.\n\n"
        "Examples:\n"
        "  quorrel doctor\n"
        "  quorrel doctor --unit 1A2B3\n"
        "  sudo quorrel doctor --format json");
    command->add_option("--unit", *unit, "Also check this unit's FTP login and data connections")
        ->option_text("SERIAL")
        ->check([](const std::string& value) { return ParseSerial(value) ? std::string() : BadSerialText(value); });
    AddFormatOption(*command, *format, {"text", "json"}, "text for people (the default); json for scripts");
    command->callback([&invocation, options, format, unit] {
        options->json = *format == "json";
        if (!unit->empty()) options->unit = ParseSerial(*unit);
        invocation.run = RunOf<DoctorOptions>(invocation, options, RunDoctor);
    });
}

int RunDoctor(const LibraryExports& library, const CommonOptions& common, const DoctorOptions& options,
              const Console& console) {
    std::vector<CheckResult> results;

    const varl::InterfaceChoice choice = ReadInterfaceChoice();
    results.push_back(CheckInterfaces(choice));
    std::vector<std::string> broadcasting;
    for (const varl::NetworkInterface& chosen : choice.chosen) broadcasting.push_back(chosen.name);
    std::vector<std::string> withoutCarrier;
    for (const varl::LeftOutInterface& left : choice.leftOut) {
        if (left.candidate.up && !left.candidate.running && !left.candidate.loopback) withoutCarrier.push_back(left.candidate.name);
    }

    const FirewallSurvey firewalls = SurveyFirewalls(broadcasting);
    results.push_back(CheckFirewall(firewalls));

    const DiscoveryFacts discovery = RunLiveDiscovery(library, common.timeoutMs);
    const std::vector<ForeignAnswers> foreign = FindForeignAnswers(discovery, ReadSubnets());
    results.push_back(CheckDiscovery(discovery, BlockingFirewall(firewalls), DroppedByReversePath(foreign), withoutCarrier));
    results.push_back(CheckReversePath(discovery.captured, foreign));

    if (options.unit) {
        const DeviceRecord* unit = FindUnit(discovery.units, *options.unit);
        results.push_back(CheckUnit(*options.unit, unit, unit == nullptr ? FtpProbe{} : ProbeUnitFtp(unit->address)));
    }

    if (options.json) {
        WriteReportJson(console.out, results);
    } else {
        WriteReportText(console.out, results);
    }
    return AnyProblem(results) ? kExitFailed : kExitDone;
}

}  // namespace quorrel::cli
