// Run-time binding to the protocol library: loaded by path with dlopen, each export looked up by
// name with dlsym immediately before its call. parbex never links against the library.
#pragma once

#include <string>

#include "library_exports.h"

namespace quorrel {

// The one place parbex looks for the library.
inline constexpr const char* kLibraryLocation = "/opt/tamberlode/quorrel-tools/libvarl.so";

class LibraryBinding final : public LibraryExports {
public:
    // The program always uses kLibraryLocation; tests name a library built in the tree.
    explicit LibraryBinding(std::string path = kLibraryLocation);
    LibraryBinding(const LibraryBinding&) = delete;
    LibraryBinding& operator=(const LibraryBinding&) = delete;

    // True when the library is loaded, now or earlier. Every symbol it needs is resolved at load,
    // so a library whose own dependencies are incomplete is refused here rather than failing in
    // the middle of a command. A failed load keeps nothing, so the next call tries again. The
    // library is never unloaded while the program runs.
    bool LoadProtocolLibrary();

    // Looked up afresh on every call; null while the library is not loaded.
    DiscoverFunction Discover() const override;
    SetConfigFunction SetConfig() const override;
    UploadFileFunction UploadFile() const override;
    LastErrorFunction LastError() const override;

private:
    void* Resolve(const char* exportName) const;

    std::string m_strPath;
    void* m_hLibrary = nullptr;
};

}  // namespace quorrel
