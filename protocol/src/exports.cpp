// The six exports: each hands its call to ordinary C++ code inside the export guard.
#include "export_guard.h"
#include "ftp_upload.h"
#include "last_error.h"
#include "udp_exchanges.h"
#include "varl.h"

using varl::RunGuarded;

extern "C" {

VARL_EXPORT VarlBool VARL_Admin_Discover(uint32_t* count, DeviceRecord* records, uint32_t timeoutMs) {
    return RunGuarded([&] { return varl::DiscoverUnits(count, records, timeoutMs); });
}

VARL_EXPORT VarlBool VARL_Admin_GetConfig(uint32_t, DeviceRecord* record, uint32_t timeoutMs) {
    return RunGuarded([&] { return varl::GetFirstConfig(record, timeoutMs); });
}

VARL_EXPORT VarlBool VARL_Admin_SetConfig(uint32_t, const DeviceRecord* record) {
    return RunGuarded([&] { return varl::SendSetConfig(record); });
}

VARL_EXPORT VarlBool VARL_Admin_UploadFile(uint32_t address, const char* localPath, const char*,
                                           const char* remoteName, uint32_t) {
    return RunGuarded([&] { return varl::UploadFile(address, localPath, remoteName); });
}

VARL_EXPORT void VARL_DriverCfg_Version(int32_t* first, int32_t* second) {
    if (first != nullptr) *first = 1;
    if (second != nullptr) *second = 0;
}

VARL_EXPORT void VARL_Error_LastErr(char* buffer) { varl::TakeLastErrorText(buffer); }

}  // extern "C"
