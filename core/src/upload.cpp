#include "upload.h"

namespace quorrel {

std::string DefaultRemoteName(const std::string& localPath) { return localPath.substr(localPath.rfind('/') + 1); }

std::optional<CallFailure> UploadFile(const LibraryExports& library, std::uint32_t address,
                                      const std::string& localPath, const std::string& remoteName,
                                      const std::function<void()>& beforeCall) {
    const UploadFileFunction upload = library.UploadFile();
    if (upload == nullptr) return DriverInterfaceError();
    if (beforeCall) beforeCall();
    // The third and fifth arguments are ignored by the library.
    if (upload(address, localPath.c_str(), "", remoteName.c_str(), 0) == 0) return FailureFromLibrary(library);
    return std::nullopt;
}

}  // namespace quorrel
