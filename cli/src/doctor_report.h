// What quorrel doctor found: one result per check, in the order the checks ran, for people (text)
// or for scripts (JSON with stable field names).
#pragma once

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace quorrel::cli {

enum class CheckStatus {
    Ok,
    // Worth knowing, and nothing fails because of it (uploads that fall back to passive mode).
    Warning,
    // Stands between the PC and its units: the command exits 1.
    Problem,
    // The check could not run; notChecked says why and how to run it.
    NotChecked,
};

struct CheckResult {
    explicit CheckResult(std::string name) : check(std::move(name)) {}

    // Stable names scripts rely on: "interfaces", "firewall", "discovery", "reverse_path_filter", "unit".
    std::string check;
    CheckStatus status = CheckStatus::Ok;
    // What the check saw, one sentence a line.
    std::vector<std::string> findings;
    // Commands to copy, in the order to run them.
    std::vector<std::string> fix;
    // What could not be checked, and how to check it.
    std::vector<std::string> notChecked;
    // The check's own facts for scripts, merged into its JSON object.
    nlohmann::json details = nlohmann::json::object();
};

// "ok", "warning", "problem", "not checked" (JSON: "not_checked").
const char* StatusText(CheckStatus status);

bool AnyProblem(const std::vector<CheckResult>& results);

void WriteReportText(std::ostream& out, const std::vector<CheckResult>& results);
void WriteReportJson(std::ostream& out, const std::vector<CheckResult>& results);

}  // namespace quorrel::cli
