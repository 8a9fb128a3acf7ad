#include "apply_command.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "apply_rows.h"
#include "configuration.h"
#include "confirmation.h"
#include "discovery.h"
#include "exit_status.h"
#include "unit_text.h"

namespace quorrel::cli {
namespace {

// The name errors give for the file: its path, or "(standard input)".
std::string InputName(const std::string& file) { return file == "-" ? "(standard input)" : file; }

std::optional<std::string> ReadInput(const std::string& file, const Console& console) {
    std::ostringstream text;
    if (file == "-") {
        text << console.in.rdbuf();
        return text.str();
    }
    std::ifstream input(file, std::ios::binary);
    if (!input) {
        console.Error(file + ": " + std::strerror(errno));
        return std::nullopt;
    }
    text << input.rdbuf();
    if (input.bad()) {
        console.Error(file + ": cannot be read");
        return std::nullopt;
    }
    return text.str();
}

std::string At(const std::string& name, int line) { return name + ":" + std::to_string(line) + ": "; }

}  // namespace

int RunApply(const LibraryExports& library, const CommonOptions& common, const ApplyOptions& options,
             const Console& console) {
    const std::string name = InputName(options.file);
    const std::optional<std::string> text = ReadInput(options.file, console);
    if (!text) return kExitWrongInput;
    const ApplyRows file = ReadApplyRows(*text);
    if (file.error) {
        console.Error(At(name, file.error->line) + file.error->text);
        return kExitWrongInput;
    }
    for (const LineError& warning : file.warnings) console.Warning(At(name, warning.line) + warning.text);
    if (file.rows.empty()) {
        console.err << name << " has no rows; nothing to do.\n";
        return kExitDone;
    }

    const Discovery discovery = DiscoverAllUnits(library, common.timeoutMs);
    if (discovery.failure) {
        console.Failure(*discovery.failure);
        return kExitFailed;
    }
    bool missing = false;
    for (const ApplyRow& row : file.rows) {
        if (FindUnit(discovery.units, row.serial) != nullptr) continue;
        missing = true;
        if (!options.skipMissing) {
            console.Error(At(name, row.line) + "no unit with serial " + FormatSerial(row.serial) + " answered");
        }
    }
    if (missing && !options.skipMissing) {
        console.Error("nothing sent (--skip-missing applies the rows of the units that answered)");
        return kExitFailed;
    }

    // Every message goes out before any is confirmed, so forty units cost one round of
    // confirmation rather than forty.
    std::vector<SentConfiguration> sent;
    std::vector<std::string> lines(file.rows.size());
    std::optional<CallFailure> sendFailure;
    for (std::size_t at = 0; at < file.rows.size(); ++at) {
        const ApplyRow& row = file.rows[at];
        const std::string serial = FormatSerial(row.serial);
        const DeviceRecord* unit = FindUnit(discovery.units, row.serial);
        if (unit == nullptr) {
            lines[at] = serial + " skipped: no answer";
        } else if (UnitReports(*unit, row.wanted)) {
            lines[at] = serial + " unchanged: " + ReportedText(*unit);
        } else if (options.dryRun) {
            lines[at] = serial + " would be set to " + AddressingText(row.wanted) + " (reports " +
                        ReportedText(*unit) + ")";
        } else if (sendFailure) {
            lines[at] = serial + " not sent";
        } else if ((sendFailure = SendConfiguration(library, RecordToSend(*unit, row.wanted)))) {
            // A message the library could not send is the network's failure: the rows after it
            // are not tried, those sent before it are still confirmed.
            console.Failure(*sendFailure, At(name, row.line) + serial + ": ");
            lines[at] = serial + " not sent";
        } else {
            sent.push_back({row.serial, row.wanted});
        }
    }

    const Confirmation confirmation = ConfirmConfigurations(library, sent, common.timeoutMs);
    int unconfirmed = 0;
    for (std::size_t at = 0; at < file.rows.size(); ++at) {
        const ApplyRow& row = file.rows[at];
        if (lines[at].empty()) {
            if (confirmation.confirmed.count(row.serial) != 0) {
                lines[at] = FormatSerial(row.serial) + " confirmed: " + AddressingText(row.wanted);
            } else {
                ++unconfirmed;
                lines[at] = FormatSerial(row.serial) + " " + NotConfirmedText(row.serial, row.wanted, confirmation);
            }
        }
        console.out << lines[at] << '\n';
    }
    if (confirmation.failure) console.Failure(*confirmation.failure, "confirming failed: ");
    if (sendFailure) return kExitFailed;
    if (unconfirmed > 0) {
        console.Error(std::to_string(unconfirmed) + " of " + std::to_string(sent.size()) +
                      " units sent a new configuration did not confirm it");
        return kExitFailed;
    }
    return kExitDone;
}

}  // namespace quorrel::cli
