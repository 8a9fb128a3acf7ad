// Storing one local file on a unit's FTP server.
#pragma once

#include <cstdint>

namespace varl {

bool UploadFile(uint32_t address, const char* localPath, const char* remoteName);

}  // namespace varl
