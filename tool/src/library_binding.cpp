#include "library_binding.h"

#include <dlfcn.h>

#include <array>
#include <cstring>

#include "message_boxes.h"

namespace parbex {

LibraryBinding::LibraryBinding(std::string path) : m_strPath(std::move(path)) {}

bool LibraryBinding::LoadProtocolLibrary() {
    if (m_hLibrary != nullptr) {
        return true;
    }
    // RTLD_NOW: an incomplete library fails here rather than in the middle of a command.
    m_hLibrary = dlopen(m_strPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    return m_hLibrary != nullptr;
}

void* LibraryBinding::ResolveSymbol(const char* exportName) const {
    if (m_hLibrary == nullptr) {
        return nullptr;
    }
    return dlsym(m_hLibrary, exportName);
}

std::string LibraryBinding::FetchLibraryError() {
    if (m_hLibrary == nullptr) {
        return {};
    }
    auto lastError = Resolve<LastErrorFunction>(kLastErrorExport);
    if (lastError == nullptr) {
        ShowPlain("Can't get address of Error_LastErr().");
        return {};
    }
    std::array<char, kErrorTextBufferSize> buffer{};
    lastError(buffer.data());
    // A text that fills the whole buffer without its NUL is taken as far as the buffer goes and
    // no further.
    return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

}  // namespace parbex
