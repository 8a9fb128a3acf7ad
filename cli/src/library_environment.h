// The library reads its interface list and its trace switch from the environment, so the options
// that choose them become environment variables before the first library call.
#pragma once

#include <optional>
#include <string>

#include "common_options.h"

namespace quorrel::cli {

inline constexpr const char* kInterfacesVariable = "VARL_INTERFACES";
inline constexpr const char* kTargetsVariable = "VARL_TARGETS";
inline constexpr const char* kTraceVariable = "VARL_TRACE";

// Sets VARL_INTERFACES to the names and VARL_TARGETS to the targets, each joined by commas, when
// any are given, and VARL_TRACE to 1 when verbose. Leaves each variable as the caller's
// environment has it otherwise.
void SetLibraryEnvironment(const CommonOptions& options);

// The targets in use: VARL_TARGETS as the environment holds it now, empty when unset.
std::string LibraryTargets();

// VARL_TARGETS holds targets for the library calls made while this lives, then what it held
// before. Nothing given leaves it alone.
class TargetsDuringCalls {
public:
    explicit TargetsDuringCalls(const std::optional<std::string>& targets);
    ~TargetsDuringCalls();
    TargetsDuringCalls(const TargetsDuringCalls&) = delete;
    TargetsDuringCalls& operator=(const TargetsDuringCalls&) = delete;

private:
    bool m_set = false;
    std::optional<std::string> m_before;
};

}  // namespace quorrel::cli
