#include "configuration.h"

namespace quorrel {

DeviceRecord ApplyAddressingChoice(DeviceRecord record, const AddressingChoice& choice) {
    record.dhcpMode = static_cast<std::uint8_t>(choice.dhcp & 0xFF);
    const bool dhcp = choice.dhcp == kDhcpOn;
    record.address = dhcp ? 0 : choice.address;
    record.netMask = dhcp ? 0 : choice.netMask;
    record.gateway = dhcp ? 0 : choice.gateway;
    return record;
}

std::optional<CallFailure> SendConfiguration(const LibraryExports& library, const DeviceRecord& record,
                                             const std::function<void()>& beforeCall) {
    const SetConfigFunction setConfig = library.SetConfig();
    if (setConfig == nullptr) return DriverInterfaceError();
    if (beforeCall) beforeCall();
    if (setConfig(record.serial, &record) == 0) return FailureFromLibrary(library);
    return std::nullopt;
}

}  // namespace quorrel
