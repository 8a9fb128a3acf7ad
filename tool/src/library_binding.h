// Run-time binding to the protocol library: loaded by path with dlopen, each export looked up by
// name with dlsym immediately before its call. The tool never links against the library.
#pragma once

#include <string>

#include "varl.h"

namespace parbex {

// The one place the tool looks for the library.
inline constexpr const char* kLibraryLocation = "/opt/tamberlode/quorrel-tools/libvarl.so";

// The buffer handed to VARL_Error_LastErr, which takes no length; the library's texts are at most
// 76 characters and its NUL.
inline constexpr std::size_t kErrorTextBufferSize = 500;

// Signatures of the four exports the tool calls, taken from the library's own header.
using DiscoverFunction = decltype(&VARL_Admin_Discover);
using SetConfigFunction = decltype(&VARL_Admin_SetConfig);
using UploadFileFunction = decltype(&VARL_Admin_UploadFile);
using LastErrorFunction = decltype(&VARL_Error_LastErr);

inline constexpr const char* kDiscoverExport = "VARL_Admin_Discover";
inline constexpr const char* kSetConfigExport = "VARL_Admin_SetConfig";
inline constexpr const char* kUploadFileExport = "VARL_Admin_UploadFile";
inline constexpr const char* kLastErrorExport = "VARL_Error_LastErr";

class LibraryBinding {
public:
    // The program always uses kLibraryLocation; tests name a library built in the tree.
    explicit LibraryBinding(std::string path = kLibraryLocation);

    LibraryBinding(const LibraryBinding&) = delete;
    LibraryBinding& operator=(const LibraryBinding&) = delete;

    // True when the library is loaded, now or earlier. A failed load keeps nothing, so the next
    // call tries again. The library is never unloaded while the program runs.
    bool LoadProtocolLibrary();
    bool IsLoaded() const { return m_hLibrary != nullptr; }
    const std::string& Path() const { return m_strPath; }

    // Looks the export up afresh on every call (nothing is cached); null when the library is not
    // loaded or does not export the name.
    template <typename Function>
    Function Resolve(const char* exportName) const {
        return reinterpret_cast<Function>(ResolveSymbol(exportName));
    }

    // The library's last-error text, emptying the library's store. Empty when the library is not
    // loaded; when VARL_Error_LastErr is missing, says so in a plain box and returns empty.
    std::string FetchLibraryError();

private:
    void* ResolveSymbol(const char* exportName) const;

    std::string m_strPath;
    void* m_hLibrary = nullptr;
};

}  // namespace parbex
