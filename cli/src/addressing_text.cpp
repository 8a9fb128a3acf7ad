#include "addressing_text.h"

#include "ipv4_text.h"
#include "unit_formats.h"
#include "unit_text.h"

namespace quorrel::cli {

std::string AddressingText(const Addressing& addressing) {
    if (addressing.dhcp == DhcpChoice::On) return "DHCP On";
    return "DHCP Off, address " + FormatAddress(addressing.address) + ", mask " + FormatAddress(addressing.netMask) +
           ", gateway " + FormatAddress(addressing.gateway);
}

std::string ReportedText(const DeviceRecord& unit) {
    return "DHCP " + DhcpText(unit.dhcpMode) + ", address " + FormatAddress(unit.address) + ", mask " +
           FormatAddress(unit.netMask) + ", gateway " + FormatAddress(unit.gateway);
}

std::string WouldBeSetText(std::uint32_t serial, const Addressing& wanted, const DeviceRecord* unit) {
    return FormatSerial(serial) + " would be set to " + AddressingText(wanted) +
           (unit != nullptr ? " (reports " + ReportedText(*unit) + ")" : " (no unit answered)");
}

std::string UnchangedText(const DeviceRecord& unit) {
    return FormatSerial(unit.serial) + " unchanged: " + ReportedText(unit);
}

std::string NotConfirmedText(std::uint32_t serial, const Addressing& wanted, const Confirmation& confirmation) {
    const auto reported = confirmation.lastReports.find(serial);
    return "not confirmed: asked for " + AddressingText(wanted) + ", the unit " +
           (reported == confirmation.lastReports.end() ? "no longer answers" : "reports " + ReportedText(reported->second));
}

}  // namespace quorrel::cli
