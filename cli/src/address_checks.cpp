#include "address_checks.h"

#include <algorithm>

#include "address_conflicts.h"
#include "ipv4_text.h"
#include "unit_text.h"

namespace quorrel::cli {
namespace {

std::uint32_t NewAddress(const AddressChange& change) {
    return change.wanted.dhcp == DhcpChoice::On ? 0 : change.wanted.address;
}

// The units as they will report once the changes are taken; a unit going to DHCP reports an
// address no one can tell yet.
std::vector<DeviceRecord> UnitsAfter(std::vector<DeviceRecord> units, const std::vector<AddressChange>& changes) {
    for (const AddressChange& change : changes) {
        auto unit = std::find_if(units.begin(), units.end(),
                                 [&change](const DeviceRecord& each) { return each.serial == change.serial; });
        if (unit == units.end()) {
            DeviceRecord unknown{};
            unknown.serial = change.serial;
            unit = units.insert(units.end(), unknown);
        }
        unit->address = NewAddress(change);
    }
    return units;
}

bool ReportedByAUnit(const std::vector<DeviceRecord>& units, std::uint32_t address) {
    return std::any_of(units.begin(), units.end(), [address](const DeviceRecord& unit) { return unit.address == address; });
}

bool ProbedAddressesAreFree(const std::vector<DeviceRecord>& units, const std::vector<AddressChange>& changes,
                            const CheckSettings& settings, const Console& console) {
    std::vector<ProbedAddress> probed;
    std::vector<const AddressChange*> probedChanges;
    for (const AddressChange& change : changes) {
        const std::uint32_t address = NewAddress(change);
        if (address == 0 || ReportedByAUnit(units, address)) continue;
        probed.push_back({address, change.reported});
        probedChanges.push_back(&change);
    }
    if (probed.empty() || settings.probe == nullptr) return true;

    const ProbeReport report = settings.probe->Probe(probed);
    if (settings.verbose && report.noCapability)
        console.Error("not probing the new addresses with ARP: the process lacks CAP_NET_RAW");
    if (settings.verbose) {
        for (const std::string& note : report.notes) console.Error(note);
    }
    for (const std::string& warning : report.warnings) console.Warning(warning);
    for (const AddressHolder& holder : report.holders) {
        for (const AddressChange* change : probedChanges) {
            if (NewAddress(*change) != holder.address) continue;
            console.Error(change->where + FormatAddress(holder.address) + " is in use on " + holder.link + " by " +
                          (holder.thisComputer ? "this computer, " : "") + holder.mac);
        }
    }
    return report.holders.empty();
}

}  // namespace

bool NewAddressesAreFree(const std::vector<DeviceRecord>& units, const std::vector<AddressChange>& changes,
                         const CheckSettings& settings, const Console& console) {
    const std::vector<DeviceRecord> after = UnitsAfter(units, changes);
    bool free = true;
    for (const AddressChange& change : changes) {
        const std::optional<std::uint32_t> holder = UnitHoldingAddress(after, NewAddress(change), change.serial);
        if (!holder) continue;
        console.Error(change.where + FormatAddress(NewAddress(change)) + " is the address of unit " + FormatSerial(*holder));
        free = false;
    }
    return free && ProbedAddressesAreFree(units, changes, settings, console);
}

}  // namespace quorrel::cli
