#include "doctor_report.h"

#include <algorithm>

namespace quorrel::cli {
namespace {

// How each check is headed for people.
std::string Title(const std::string& check) {
    if (check == "interfaces") return "Interfaces";
    if (check == "firewall") return "Host firewall";
    if (check == "discovery") return "Discovery";
    if (check == "reverse_path_filter") return "Reverse-path filter";
    if (check == "unit") return "Unit";
    return check;
}

}  // namespace

const char* StatusText(CheckStatus status) {
    switch (status) {
        case CheckStatus::Ok: return "ok";
        case CheckStatus::Warning: return "warning";
        case CheckStatus::Problem: return "problem";
        case CheckStatus::NotChecked: return "not checked";
    }
    return "";
}

bool AnyProblem(const std::vector<CheckResult>& results) {
    return std::any_of(results.begin(), results.end(),
                       [](const CheckResult& result) { return result.status == CheckStatus::Problem; });
}

void WriteReportText(std::ostream& out, const std::vector<CheckResult>& results) {
    for (const CheckResult& result : results) {
        out << Title(result.check) << ": " << StatusText(result.status) << '\n';
        for (const std::string& finding : result.findings) out << "  " << finding << '\n';
        for (std::size_t at = 0; at < result.fix.size(); ++at) out << (at == 0 ? "  fix: " : "       ") << result.fix[at] << '\n';
        for (const std::string& note : result.notChecked) out << "  not checked: " << note << '\n';
    }
    const auto problems = std::count_if(results.begin(), results.end(),
                                        [](const CheckResult& result) { return result.status == CheckStatus::Problem; });
    if (problems == 0) {
        out << "No problem found.\n";
    } else {
        out << problems << (problems == 1 ? " problem" : " problems") << " found.\n";
    }
}

void WriteReportJson(std::ostream& out, const std::vector<CheckResult>& results) {
    nlohmann::ordered_json checks = nlohmann::ordered_json::array();
    int problems = 0;
    for (const CheckResult& result : results) {
        nlohmann::ordered_json check = {{"check", result.check},
                                {"status", result.status == CheckStatus::NotChecked ? "not_checked" : StatusText(result.status)},
                                {"findings", result.findings},
                                {"fix", result.fix},
                                {"not_checked", result.notChecked}};
        for (const auto& [key, value] : result.details.items()) check[key] = value;
        checks.push_back(std::move(check));
        if (result.status == CheckStatus::Problem) ++problems;
    }
    // An interface's name is bytes the kernel takes as they are, not always UTF-8.
    out << nlohmann::ordered_json{{"problems", problems}, {"checks", checks}}.dump(
               2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
        << '\n';
}

}  // namespace quorrel::cli
