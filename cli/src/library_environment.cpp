#include "library_environment.h"

#include <cstdlib>
#include <string>

namespace quorrel::cli {
namespace {

void SetJoined(const char* variable, const std::vector<std::string>& values) {
    if (values.empty()) return;
    std::string joined;
    for (const std::string& value : values) joined += (joined.empty() ? "" : ",") + value;
    setenv(variable, joined.c_str(), 1);
}

std::optional<std::string> Variable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::nullopt : std::optional<std::string>(value);
}

}  // namespace

void SetLibraryEnvironment(const CommonOptions& options) {
    SetJoined(kInterfacesVariable, options.interfaces);
    SetJoined(kTargetsVariable, options.targets);
    if (options.verbose) setenv(kTraceVariable, "1", 1);
}

std::string LibraryTargets() { return Variable(kTargetsVariable).value_or(""); }

TargetsDuringCalls::TargetsDuringCalls(const std::optional<std::string>& targets) {
    if (!targets) return;
    m_set = true;
    m_before = Variable(kTargetsVariable);
    setenv(kTargetsVariable, targets->c_str(), 1);
}

TargetsDuringCalls::~TargetsDuringCalls() {
    if (!m_set) return;
    if (m_before) {
        setenv(kTargetsVariable, m_before->c_str(), 1);
    } else {
        unsetenv(kTargetsVariable);
    }
}

}  // namespace quorrel::cli
