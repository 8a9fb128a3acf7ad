#include "configuration.h"

namespace quorrel {

std::optional<CallFailure> SendConfiguration(const LibraryExports& library, const DeviceRecord& record,
                                             const std::function<void()>& beforeCall) {
    const SetConfigFunction setConfig = library.SetConfig();
    if (setConfig == nullptr) return DriverInterfaceError();
    if (beforeCall) beforeCall();
    if (setConfig(record.serial, &record) == 0) return FailureFromLibrary(library);
    return std::nullopt;
}

}  // namespace quorrel
