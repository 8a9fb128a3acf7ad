// The library reads its interface list and its trace switch from the environment, so the options
// that choose them become environment variables before the first library call.
#pragma once

#include "common_options.h"

namespace quorrel::cli {

inline constexpr const char* kInterfacesVariable = "VARL_INTERFACES";
inline constexpr const char* kTraceVariable = "VARL_TRACE";

// Sets VARL_INTERFACES to the names joined by commas when any are given, and VARL_TRACE to 1 when
// verbose. Leaves each variable as the caller's environment has it otherwise.
void SetLibraryEnvironment(const CommonOptions& options);

}  // namespace quorrel::cli
