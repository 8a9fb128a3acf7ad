// How a program reaches the protocol library's exports. parbex loads the library at run time and
// looks each export up by name just before its call; a program linked against the library hands
// over the functions themselves. The core calls the library only through this seam.
#pragma once

#include "varl.h"

namespace quorrel {

// Signatures of the exports the programs call, taken from the library's own header.
using DiscoverFunction = decltype(&VARL_Admin_Discover);
using SetConfigFunction = decltype(&VARL_Admin_SetConfig);
using UploadFileFunction = decltype(&VARL_Admin_UploadFile);
using LastErrorFunction = decltype(&VARL_Error_LastErr);

class LibraryExports {
public:
    virtual ~LibraryExports() = default;

    // Each is asked for just before its call; null when the library does not export it.
    virtual DiscoverFunction Discover() const = 0;
    virtual SetConfigFunction SetConfig() const = 0;
    virtual UploadFileFunction UploadFile() const = 0;
    virtual LastErrorFunction LastError() const = 0;
};

}  // namespace quorrel
