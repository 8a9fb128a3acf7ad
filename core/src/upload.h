// Storing a local file on a unit.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "call_failure.h"
#include "library_exports.h"

namespace quorrel {

// The name a file is stored under when the user names none: its own name, the bytes after the
// last slash of its path.
std::string DefaultRemoteName(const std::string& localPath);

// Hands the file to the library, which stores it by FTP on the unit at address under remoteName.
// Both names are bytes in the file system's encoding, passed whole. beforeCall runs once the
// export is found, just before the call, which lasts the whole transfer.
std::optional<CallFailure> UploadFile(const LibraryExports& library, std::uint32_t address,
                                      const std::string& localPath, const std::string& remoteName,
                                      const std::function<void()>& beforeCall = {});

}  // namespace quorrel
