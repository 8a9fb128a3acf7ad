#include "library_binding.h"

#include <dlfcn.h>

#include <utility>

namespace quorrel {

LibraryBinding::LibraryBinding(std::string path) : m_strPath(std::move(path)) {}

bool LibraryBinding::LoadProtocolLibrary() {
    if (m_hLibrary == nullptr) m_hLibrary = dlopen(m_strPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    return m_hLibrary != nullptr;
}

void* LibraryBinding::Resolve(const char* exportName) const {
    return m_hLibrary == nullptr ? nullptr : dlsym(m_hLibrary, exportName);
}

DiscoverFunction LibraryBinding::Discover() const {
    return reinterpret_cast<DiscoverFunction>(Resolve("VARL_Admin_Discover"));
}

SetConfigFunction LibraryBinding::SetConfig() const {
    return reinterpret_cast<SetConfigFunction>(Resolve("VARL_Admin_SetConfig"));
}

UploadFileFunction LibraryBinding::UploadFile() const {
    return reinterpret_cast<UploadFileFunction>(Resolve("VARL_Admin_UploadFile"));
}

LastErrorFunction LibraryBinding::LastError() const {
    return reinterpret_cast<LastErrorFunction>(Resolve("VARL_Error_LastErr"));
}

}  // namespace quorrel
