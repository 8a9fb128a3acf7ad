#include "linked_exports.h"

#include "varl.h"

namespace quorrel::cli {

DiscoverFunction LinkedExports::Discover() const { return &VARL_Admin_Discover; }
SetConfigFunction LinkedExports::SetConfig() const { return &VARL_Admin_SetConfig; }
UploadFileFunction LinkedExports::UploadFile() const { return &VARL_Admin_UploadFile; }
LastErrorFunction LinkedExports::LastError() const { return &VARL_Error_LastErr; }

std::string LinkedLibraryVersion() {
    std::int32_t first = 0;
    std::int32_t second = 0;
    VARL_DriverCfg_Version(&first, &second);
    return std::to_string(first) + "." + std::to_string(second);
}

}  // namespace quorrel::cli
