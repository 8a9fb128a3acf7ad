// The library's exports for a program linked against libvarl.so: the functions themselves.
#pragma once

#include <string>

#include "library_exports.h"

namespace quorrel::cli {

class LinkedExports final : public LibraryExports {
public:
    DiscoverFunction Discover() const override;
    SetConfigFunction SetConfig() const override;
    UploadFileFunction UploadFile() const override;
    LastErrorFunction LastError() const override;
};

// The interface version the library reports: "1.0".
std::string LinkedLibraryVersion();

}  // namespace quorrel::cli
