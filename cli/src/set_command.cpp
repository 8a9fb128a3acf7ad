#include "set_command.h"

#include <array>
#include <memory>

#include "address_checks.h"
#include "addressing_input.h"
#include "addressing_text.h"
#include "configuration.h"
#include "confirmation.h"
#include "discovery.h"
#include "exit_status.h"
#include "format_option.h"
#include "library_environment.h"
#include "serial_text.h"
#include "targets.h"
#include "unit_formats.h"
#include "unit_results.h"
#include "unit_text.h"

namespace quorrel::cli {
namespace {

struct Request {
    std::uint32_t serial = 0;
    Addressing wanted;
};

// Everything typed, checked before anything goes on the wire.
std::optional<Request> ReadRequest(const SetOptions& options, const Console& console) {
    const std::optional<std::uint32_t> serial = ParseSerial(options.serial);
    if (!serial) {
        console.Error(BadSerialText(options.serial));
        return std::nullopt;
    }
    if (options.dhcp == options.staticAddress.has_value()) {
        console.Error("set takes either --dhcp or --static ADDRESS[/PREFIX]");
        return std::nullopt;
    }
    if (options.dryRun && options.noVerify) {
        console.Error("set takes --dry-run or --no-verify, not both");
        return std::nullopt;
    }
    if (options.dhcp) return Request{*serial, Addressing::Dhcp()};
    std::string error;
    const std::optional<Addressing> wanted =
        ReadStaticAddressing(*options.staticAddress, options.mask, options.gateway, error);
    if (!wanted) {
        console.Error(error);
        return std::nullopt;
    }
    if (const std::optional<std::string> warning = GatewayWarning(*wanted)) console.Warning(*warning);
    return Request{*serial, *wanted};
}

// Ends the command once the message is sent: the unit confirmed, or what it reports instead.
// Where targets are in use, the unit is looked for at the address it reported and at its new one.
UnitResult Confirm(const LibraryExports& library, const CommonOptions& common, const Request& request,
                   const DeviceRecord& unit, UnitResult result, const Console& console) {
    const TargetsDuringCalls targets(ConfirmationTargets(LibraryTargets(), {unit.address, request.wanted.address}));
    const Confirmation confirmation =
        ConfirmConfigurations(library, {{request.serial, request.wanted}}, kSiteCapacity, common.timeoutMs);
    if (const auto reported = confirmation.lastReports.find(request.serial); reported != confirmation.lastReports.end())
        result.after = reported->second;
    if (confirmation.confirmed.count(request.serial) != 0) {
        result.kind = UnitResultKind::Confirmed;
        return result;
    }
    result.kind = UnitResultKind::NotConfirmed;
    const std::string serialText = FormatSerial(request.serial);
    if (confirmation.failure) {
        console.Failure(*confirmation.failure, serialText + ": sent, but confirming failed: ");
    } else {
        console.Error(serialText + " " + NotConfirmedText(request.serial, request.wanted, confirmation));
    }
    return result;
}

// What became of the unit on standard output: its line as discover shows it once it reports the
// addressing, what a dry run would send, or the JSON of it all.
void Print(const UnitResult& result, const SetOptions& options, const Console& console) {
    if (options.json) {
        console.out << UnitResultsJson({result});
        return;
    }
    switch (result.kind) {
        case UnitResultKind::Unchanged:
            console.out << (options.dryRun ? UnchangedText(*result.after) + '\n' : UnitsTable({*result.after}));
            break;
        case UnitResultKind::Confirmed: console.out << UnitsTable({*result.after}); break;
        case UnitResultKind::WouldSet:
            console.out << WouldBeSetText(result.serial, result.wanted, result.before ? &*result.before : nullptr)
                        << '\n';
            break;
        case UnitResultKind::Sent:
            console.out << FormatSerial(result.serial) << ": sent " << AddressingText(result.wanted)
                        << " (not confirmed)\n";
            break;
        case UnitResultKind::NotConfirmed:
        case UnitResultKind::NotSent:
        case UnitResultKind::Skipped: break;
    }
}

}  // namespace

void DefineSetCommand(CLI::App& program, Invocation& invocation) {
    auto options = std::make_shared<SetOptions>();
    auto typed = std::make_shared<std::array<std::string, 3>>();  // --static, --mask, --gateway
    CLI::App* command = AddCommand(
        program, invocation, "set", "Set one unit's addressing and confirm that it took it",
        std::string("Usage: quorrel set SERIAL (--dhcp | --static ADDRESS[/PREFIX] [--mask MASK]\n"
                    "                          [--gateway GATEWAY]) [--dry-run | --no-verify] [--force]\n"
                    "                  [--allow-duplicate-address] [--format text|json]\n"
                    "                  ") +
            kCommonUsage,
        "The unit must answer a discovery first (unless --force); one that reports the values already is\n"
        "sent nothing. After sending, quorrel discovers again, in rounds of a quarter of the time-out for\n"
        "up to three time-outs, until the unit reports the new values, and prints its new line; a unit\n"
        "that does not take them ends with exit status 1 and what it reports instead. A static address\n"
        "another unit reports, or one a host on the unit's link answers for when probed with ARP (which\n"
        "needs CAP_NET_RAW), ends with exit status 2 before anything is sent. --format json prints\n"
        "[{\"serial\", \"result\", \"before\", \"wanted\", \"after\"}]: result is unchanged, would-set, sent,\n"
        "confirmed, not-confirmed or not-sent, and each addressing {\"dhcp\", \"address\", \"mask\",\n"
        "\"gateway\"} or null; see quorrel(1).\n\n"
        "Examples:\n"
        "  quorrel set 1A2B3 --static 10.77.0.20/16 --gateway 10.77.0.1\n"
        "  quorrel set 1A2B3 --static 192.168.1.20 --mask 255.255.255.0\n"
        "  quorrel set 1A2B3 --dhcp --dry-run\n"
        "  quorrel set 1A2B3 --dhcp --format json");
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
    command->add_flag("--dry-run", options->dryRun, "Say what would be sent, and send nothing");
    command->add_flag("--no-verify", options->noVerify, "Send the configuration without confirming it");
    command->add_flag("--force", options->force, "Send even when no unit with the serial answers");
    command->add_flag("--allow-duplicate-address", options->allowDuplicateAddress,
                      "Send an address another unit reports or another host answers for");
    auto format = std::make_shared<std::string>("text");
    AddFormatOption(*command, *format, {"text", "json"},
                    "text: the unit's line for people (the default); json: what became of it, for scripts");
    command->callback([&invocation, options, typed, format, staticOption, maskOption, gatewayOption] {
        options->json = *format == "json";
        if (staticOption->count() > 0) options->staticAddress = (*typed)[0];
        if (maskOption->count() > 0) options->mask = (*typed)[1];
        if (gatewayOption->count() > 0) options->gateway = (*typed)[2];
        invocation.run = RunOf<SetOptions>(invocation, options, RunSet);
    });
}

int RunSet(const LibraryExports& library, const AddressProbe& probe, const CommonOptions& common,
           const SetOptions& options, const Console& console) {
    const std::optional<Request> request = ReadRequest(options, console);
    if (!request) return kExitWrongInput;
    const std::string serialText = FormatSerial(request->serial);

    const Discovery discovery = DiscoverAllUnits(library, kSiteCapacity, common.timeoutMs);
    if (discovery.failure) {
        console.Failure(*discovery.failure);
        return ExitStatusOf(*discovery.failure);
    }
    UnitResult result{request->serial, UnitResultKind::WouldSet, std::nullopt, request->wanted, std::nullopt};
    DeviceRecord unit{};
    unit.serial = request->serial;
    if (const DeviceRecord* found = FindUnit(discovery.units, request->serial)) {
        unit = *found;
        result.before = unit;
    } else if (!options.force) {
        console.Error("no unit with serial " + serialText + " answered; nothing sent (--force sends anyway)");
        return kExitFailed;
    }
    if (result.before && UnitReports(unit, request->wanted)) {
        result.kind = UnitResultKind::Unchanged;
        result.after = unit;
        Print(result, options, console);
        return kExitDone;
    }
    if (!options.allowDuplicateAddress &&
        !NewAddressesAreFree(discovery.units, {{request->serial, unit.address, request->wanted, serialText + ": "}},
                             {options.dryRun ? nullptr : &probe, common.verbose}, console)) {
        console.Error(kDuplicateRefused);
        return kExitWrongInput;
    }
    if (options.dryRun) {
        Print(result, options, console);
        return kExitDone;
    }

    std::optional<CallFailure> failure;
    {
        const TargetsDuringCalls targets(ConfigurationTargets(LibraryTargets(), unit.address));
        failure = SendConfiguration(library, RecordWithAddressing(unit, request->wanted));
    }
    if (failure) {
        console.Failure(*failure, serialText + ": ");
        result.kind = UnitResultKind::NotSent;
        Print(result, options, console);
        return ExitStatusOf(*failure);
    }
    if (options.noVerify) {
        result.kind = UnitResultKind::Sent;
    } else {
        result = Confirm(library, common, *request, unit, result, console);
    }
    Print(result, options, console);
    return result.kind == UnitResultKind::NotConfirmed ? kExitFailed : kExitDone;
}

}  // namespace quorrel::cli
