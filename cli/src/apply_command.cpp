#include "apply_command.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>

#include "address_checks.h"
#include "addressing_text.h"
#include "apply_rows.h"
#include "configuration.h"
#include "confirmation.h"
#include "discovery.h"
#include "exit_status.h"
#include "format_option.h"
#include "ipv4_text.h"
#include "library_environment.h"
#include "targets.h"
#include "unit_results.h"
#include "unit_text.h"

namespace quorrel::cli {
namespace {

// What becomes of one row, decided from the discovery before anything is sent.
enum class Step { Skip, Unchanged, WouldSend, Send, NotSent, Sent };

struct PlannedRow {
    const ApplyRow* row;
    const DeviceRecord* unit;  // as discovered; null when the unit did not answer
    Step step;
};

// The name errors give for the file: its path, or "(standard input)".
std::string InputName(const std::string& file) { return file == "-" ? "(standard input)" : file; }

std::string At(const std::string& name, int line) { return name + ":" + std::to_string(line) + ": "; }

// The whole text, or nothing when it could not be read to its end. Read in blocks: a read that
// fails then marks the stream bad, where inserting its rdbuf() ends quietly with what came so far
// (nothing, from a folder), and the rows before the failure would be applied alone.
std::optional<std::string> ReadWhole(std::istream& input, const std::string& name, const Console& console) {
    std::string text;
    std::array<char, 65536> block;
    while (input.read(block.data(), block.size()) || input.gcount() > 0) {
        text.append(block.data(), static_cast<std::size_t>(input.gcount()));
    }
    if (input.bad()) {
        console.Error(name + ": " + std::strerror(errno));
        return std::nullopt;
    }
    return text;
}

std::optional<std::string> ReadInput(const std::string& file, const Console& console) {
    if (file == "-") return ReadWhole(console.in, InputName(file), console);
    std::ifstream input(file, std::ios::binary);
    if (!input) {
        console.Error(file + ": " + std::strerror(errno));
        return std::nullopt;
    }
    return ReadWhole(input, file, console);
}

// The file's rows, every one checked, its warnings said; nothing when the file is wrong.
std::optional<ApplyRows> ReadRows(const std::string& file, const Console& console) {
    const std::string name = InputName(file);
    const std::optional<std::string> text = ReadInput(file, console);
    if (!text) return std::nullopt;
    ApplyRows rows = ReadApplyRows(*text);
    if (rows.error) {
        console.Error(At(name, rows.error->line) + rows.error->text);
        return std::nullopt;
    }
    for (const LineError& warning : rows.warnings) console.Warning(At(name, warning.line) + warning.text);
    return rows;
}

// Whether every row's unit answered, or the rows of those that did not may be passed over.
bool EveryUnitAnswered(const std::vector<ApplyRow>& rows, const std::vector<DeviceRecord>& units,
                       const std::string& name, const Console& console) {
    bool missing = false;
    for (const ApplyRow& row : rows) {
        if (FindUnit(units, row.serial) != nullptr) continue;
        missing = true;
        console.Error(At(name, row.line) + "no unit with serial " + FormatSerial(row.serial) + " answered");
    }
    if (missing) console.Error("nothing sent (--skip-missing applies the rows of the units that answered)");
    return !missing;
}

std::vector<PlannedRow> Plan(const std::vector<ApplyRow>& rows, const std::vector<DeviceRecord>& units, bool dryRun) {
    std::vector<PlannedRow> plan;
    for (const ApplyRow& row : rows) {
        const DeviceRecord* unit = FindUnit(units, row.serial);
        const Step step = unit == nullptr                  ? Step::Skip
                          : UnitReports(*unit, row.wanted) ? Step::Unchanged
                          : dryRun                         ? Step::WouldSend
                                                           : Step::Send;
        plan.push_back({&row, unit, step});
    }
    return plan;
}

// Whether no two rows give one static address; says each row that repeats an earlier one's.
bool EveryAddressOnce(const std::vector<ApplyRow>& rows, const std::string& name, const Console& console) {
    bool once = true;
    for (auto row = rows.begin(); row != rows.end(); ++row) {
        if (row->wanted.dhcp != DhcpChoice::Off || row->wanted.address == 0) continue;
        const auto earlier = std::find_if(rows.begin(), row, [&row](const ApplyRow& other) {
            return other.wanted.dhcp == DhcpChoice::Off && other.wanted.address == row->wanted.address;
        });
        if (earlier == row) continue;
        console.Error(At(name, row->line) + FormatSerial(row->serial) + ": address " + FormatAddress(row->wanted.address) +
                      " is given on line " + std::to_string(earlier->line) + " too");
        once = false;
    }
    if (!once) console.Error(kDuplicateRefused);
    return once;
}

std::vector<AddressChange> ChangesOf(const std::vector<PlannedRow>& plan, const std::string& name) {
    std::vector<AddressChange> changes;
    for (const PlannedRow& planned : plan) {
        if (planned.step != Step::Send && planned.step != Step::WouldSend) continue;
        changes.push_back({planned.row->serial, planned.unit->address, planned.row->wanted,
                           At(name, planned.row->line) + FormatSerial(planned.row->serial) + ": "});
    }
    return changes;
}

// Every message goes out before any is confirmed, so forty units cost one confirmation rather
// than forty. A message the library could not send is the network's failure: the rows after it
// are not tried, those sent before it are still confirmed.
std::optional<CallFailure> SendAll(const LibraryExports& library, std::vector<PlannedRow>& plan,
                                   const std::string& name, const Console& console) {
    std::optional<CallFailure> failure;
    for (PlannedRow& planned : plan) {
        if (planned.step != Step::Send) continue;
        if (failure) {
            planned.step = Step::NotSent;
            continue;
        }
        const TargetsDuringCalls targets(ConfigurationTargets(LibraryTargets(), planned.unit->address));
        failure = SendConfiguration(library, RecordWithAddressing(*planned.unit, planned.row->wanted));
        planned.step = failure ? Step::NotSent : Step::Sent;
        if (failure) console.Failure(*failure, At(name, planned.row->line) + FormatSerial(planned.row->serial) + ": ");
    }
    return failure;
}

std::vector<SentConfiguration> SentOf(const std::vector<PlannedRow>& plan) {
    std::vector<SentConfiguration> sent;
    for (const PlannedRow& planned : plan) {
        if (planned.step == Step::Sent) sent.push_back({planned.row->serial, planned.row->wanted});
    }
    return sent;
}

// Where targets are in use, the confirming discoveries also look for each unit sent to at the
// address it reported and at its new one.
std::optional<std::string> ConfirmationTargetsOf(const std::vector<PlannedRow>& plan) {
    std::vector<std::uint32_t> addresses;
    for (const PlannedRow& planned : plan) {
        if (planned.step != Step::Sent) continue;
        addresses.push_back(planned.unit->address);
        addresses.push_back(planned.row->wanted.address);
    }
    return ConfirmationTargets(LibraryTargets(), addresses);
}

std::string Line(const PlannedRow& planned, const Confirmation& confirmation) {
    const ApplyRow& row = *planned.row;
    const std::string serial = FormatSerial(row.serial);
    switch (planned.step) {
        case Step::Skip: return serial + " skipped: no answer";
        case Step::Unchanged: return UnchangedText(*planned.unit);
        case Step::WouldSend: return WouldBeSetText(row.serial, row.wanted, planned.unit);
        case Step::Send:
        case Step::NotSent: return serial + " not sent";
        case Step::Sent: break;
    }
    if (confirmation.confirmed.count(row.serial) != 0) return serial + " confirmed: " + AddressingText(row.wanted);
    return serial + " " + NotConfirmedText(row.serial, row.wanted, confirmation);
}

UnitResult ResultOf(const PlannedRow& planned, const Confirmation& confirmation) {
    const std::uint32_t serial = planned.row->serial;
    UnitResult result{serial, UnitResultKind::Skipped, std::nullopt, planned.row->wanted, std::nullopt};
    if (planned.unit == nullptr) return result;
    result.before = *planned.unit;
    switch (planned.step) {
        case Step::Skip: break;
        case Step::Unchanged:
            result.kind = UnitResultKind::Unchanged;
            result.after = *planned.unit;
            break;
        case Step::WouldSend: result.kind = UnitResultKind::WouldSet; break;
        case Step::Send:
        case Step::NotSent: result.kind = UnitResultKind::NotSent; break;
        case Step::Sent:
            result.kind = confirmation.confirmed.count(serial) != 0 ? UnitResultKind::Confirmed
                                                                   : UnitResultKind::NotConfirmed;
            if (const auto reported = confirmation.lastReports.find(serial); reported != confirmation.lastReports.end())
                result.after = reported->second;
            break;
    }
    return result;
}

}  // namespace

void DefineApplyCommand(CLI::App& program, Invocation& invocation) {
    auto options = std::make_shared<ApplyOptions>();
    CLI::App* command = AddCommand(
        program, invocation, "apply", "Set the addressing of many units from a CSV file and confirm it",
        std::string("Usage: quorrel apply [--dry-run] [--skip-missing] [--allow-duplicate-address]\n"
                    "                     [--format text|json] ") +
            kCommonUsage + " FILE",
        "FILE has the header serial,dhcp,address,mask,gateway (a chip column is ignored), as\n"
        "'quorrel discover --format csv' writes it; dhcp is 0 (static, the three addresses are sent) or\n"
        "1 (DHCP). Every row is checked before anything is sent; then one discovery, and rows whose unit\n"
        "already reports their values are left alone. The others are sent together and confirmed as\n"
        "'quorrel set' does; one line per row says what happened. Addresses that two rows give, that\n"
        "another unit reports, or that a host answers for (as 'quorrel set' checks) end with exit\n"
        "status 2 before anything is sent. --format json prints one object per row, as 'quorrel set\n"
        "--format json' does for its unit; a row whose unit did not answer has the result skipped.\n\n"
        "Examples:\n"
        "  quorrel discover --format csv > units.csv     # then edit the addresses\n"
        "  quorrel apply --dry-run units.csv\n"
        "  quorrel apply units.csv");
    command->add_option("FILE", options->file, "The CSV file; - reads standard input")->option_text(" ")->required();
    command->add_flag("--dry-run", options->dryRun, "Say what would be sent, and send nothing");
    command->add_flag("--skip-missing", options->skipMissing, "Apply the rows whose unit answers, pass over the others");
    command->add_flag("--allow-duplicate-address", options->allowDuplicateAddress,
                      "Send addresses other units report, two rows give or another host answers for");
    auto format = std::make_shared<std::string>("text");
    AddFormatOption(*command, *format, {"text", "json"},
                    "text: a line per row for people (the default); json: what became of each unit, for scripts");
    command->callback([&invocation, options, format] {
        options->json = *format == "json";
        invocation.run = RunOf<ApplyOptions>(invocation, options, RunApply);
    });
}

int RunApply(const LibraryExports& library, const AddressProbe& probe, const CommonOptions& common,
             const ApplyOptions& options, const Console& console) {
    const std::string name = InputName(options.file);
    const std::optional<ApplyRows> file = ReadRows(options.file, console);
    if (!file) return kExitWrongInput;
    if (file->rows.empty()) {
        console.err << name << " has no rows; nothing to do.\n";
        if (options.json) console.out << UnitResultsJson({});
        return kExitDone;
    }
    if (!options.allowDuplicateAddress && !EveryAddressOnce(file->rows, name, console)) return kExitWrongInput;

    const Discovery discovery = DiscoverAllUnits(library, kSiteCapacity, common.timeoutMs);
    if (discovery.failure) {
        console.Failure(*discovery.failure);
        return ExitStatusOf(*discovery.failure);
    }
    if (!options.skipMissing && !EveryUnitAnswered(file->rows, discovery.units, name, console)) return kExitFailed;

    std::vector<PlannedRow> plan = Plan(file->rows, discovery.units, options.dryRun);
    if (!options.allowDuplicateAddress &&
        !NewAddressesAreFree(discovery.units, ChangesOf(plan, name), {options.dryRun ? nullptr : &probe, common.verbose},
                             console)) {
        console.Error(kDuplicateRefused);
        return kExitWrongInput;
    }
    const std::optional<CallFailure> sendFailure = SendAll(library, plan, name, console);
    const std::vector<SentConfiguration> sent = SentOf(plan);
    const Confirmation confirmation = [&] {
        const TargetsDuringCalls targets(ConfirmationTargetsOf(plan));
        return ConfirmConfigurations(library, sent, kSiteCapacity, common.timeoutMs);
    }();
    if (options.json) {
        std::vector<UnitResult> results;
        for (const PlannedRow& planned : plan) results.push_back(ResultOf(planned, confirmation));
        console.out << UnitResultsJson(results);
    } else {
        for (const PlannedRow& planned : plan) console.out << Line(planned, confirmation) << '\n';
    }
    if (confirmation.failure) console.Failure(*confirmation.failure, "confirming failed: ");

    if (sendFailure) return sent.empty() ? ExitStatusOf(*sendFailure) : kExitFailed;
    const std::size_t unconfirmed = sent.size() - confirmation.confirmed.size();
    if (unconfirmed > 0) {
        console.Error(std::to_string(unconfirmed) + " of " + std::to_string(sent.size()) +
                      " units sent a new configuration did not confirm it");
        return kExitFailed;
    }
    return kExitDone;
}

}  // namespace quorrel::cli
