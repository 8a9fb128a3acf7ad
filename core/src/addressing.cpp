#include "addressing.h"

namespace quorrel {

DeviceRecord RecordWithAddressing(DeviceRecord record, const Addressing& wanted) {
    record.dhcpMode = static_cast<std::uint8_t>(static_cast<int>(wanted.dhcp) & 0xFF);
    const bool dhcp = wanted.dhcp == DhcpChoice::On;
    record.address = dhcp ? 0 : wanted.address;
    record.netMask = dhcp ? 0 : wanted.netMask;
    record.gateway = dhcp ? 0 : wanted.gateway;
    return record;
}

bool UnitReports(const DeviceRecord& unit, const Addressing& wanted) {
    switch (wanted.dhcp) {
        case DhcpChoice::On: return unit.dhcpMode == 1;
        case DhcpChoice::Off:
            return unit.dhcpMode == 0 && unit.address == wanted.address && unit.netMask == wanted.netMask &&
                   unit.gateway == wanted.gateway;
        case DhcpChoice::Neither: break;
    }
    return false;
}

}  // namespace quorrel
