#include "set_command.h"

#include "addressing.h"
#include "configuration.h"
#include "confirmation.h"
#include "discovery.h"
#include "exit_status.h"
#include "serial_text.h"
#include "unit_formats.h"
#include "unit_text.h"

namespace quorrel::cli {

int RunSet(const LibraryExports& library, const CommonOptions& common, const SetOptions& options,
           const Console& console) {
    // Everything typed is checked before anything goes on the wire.
    const std::optional<std::uint32_t> serial = ParseSerial(options.serial);
    if (!serial) {
        console.Error(BadSerialText(options.serial));
        return kExitWrongInput;
    }
    if (options.dhcp == options.staticAddress.has_value()) {
        console.Error("set takes either --dhcp or --static ADDRESS[/PREFIX]");
        return kExitWrongInput;
    }
    Addressing wanted{true};
    if (options.staticAddress) {
        std::string error;
        const std::optional<Addressing> addressing =
            ReadStaticAddressing(*options.staticAddress, options.mask, options.gateway, error);
        if (!addressing) {
            console.Error(error);
            return kExitWrongInput;
        }
        wanted = *addressing;
        if (const std::optional<std::string> warning = GatewayWarning(wanted)) console.Warning(*warning);
    }
    const std::string serialText = FormatSerial(*serial);

    const Discovery discovery = DiscoverAllUnits(library, common.timeoutMs);
    if (discovery.failure) {
        console.Failure(*discovery.failure);
        return kExitFailed;
    }
    DeviceRecord unit{};
    unit.serial = *serial;
    if (const DeviceRecord* found = FindUnit(discovery.units, *serial)) {
        unit = *found;
    } else if (!options.force) {
        console.Error("no unit with serial " + serialText + " answered; nothing sent (--force sends anyway)");
        return kExitFailed;
    }

    if (const std::optional<CallFailure> failure = SendConfiguration(library, RecordToSend(unit, wanted))) {
        console.Failure(*failure, serialText + ": ");
        return kExitFailed;
    }
    if (options.noVerify) {
        console.out << serialText << ": sent " << AddressingText(wanted) << " (not confirmed)\n";
        return kExitDone;
    }

    const Confirmation confirmation = ConfirmConfigurations(library, {{*serial, wanted}}, common.timeoutMs);
    if (confirmation.confirmed.count(*serial) != 0) {
        console.out << UnitsTable({confirmation.lastReports.at(*serial)});
        return kExitDone;
    }
    if (confirmation.failure) {
        console.Failure(*confirmation.failure, serialText + ": sent, but confirming failed: ");
    } else {
        console.Error(serialText + " " + NotConfirmedText(*serial, wanted, confirmation));
    }
    return kExitFailed;
}

}  // namespace quorrel::cli
