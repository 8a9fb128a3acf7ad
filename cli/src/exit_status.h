// The program's exit status, part of its interface: scripts act on it.
#pragma once

#include "call_failure.h"

namespace quorrel::cli {

inline constexpr int kExitDone = 0;
// A unit or the network failed: the library reported a failure, a unit did not answer or did not
// take its new configuration.
inline constexpr int kExitFailed = 1;
// The command line or the input was wrong; nothing was sent.
inline constexpr int kExitWrongInput = 2;

// A failed library call: the library refused what the user gave it, or the work failed.
inline int ExitStatusOf(const CallFailure& failure) {
    return failure.kind == FailureKind::ArgumentRefused ? kExitWrongInput : kExitFailed;
}

}  // namespace quorrel::cli
