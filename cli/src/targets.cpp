#include "targets.h"

#include <algorithm>

#include "ipv4_text.h"
#include "target_list.h"

namespace quorrel::cli {
namespace {

// As the library reads VARL_TARGETS.
constexpr std::string_view kSeparators = ", \t\n";

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

std::vector<std::string_view> Entries(std::string_view list) {
    std::vector<std::string_view> entries;
    for (std::size_t start = list.find_first_not_of(kSeparators); start != std::string_view::npos;
         start = list.find_first_not_of(kSeparators, start)) {
        const std::size_t end = std::min(list.find_first_of(kSeparators, start), list.size());
        entries.push_back(list.substr(start, end - start));
        start = end;
    }
    return entries;
}

// The single addresses among the entries.
std::vector<std::uint32_t> SingleAddresses(const std::vector<std::string_view>& entries) {
    std::vector<std::uint32_t> addresses;
    for (const std::string_view entry : entries) {
        if (const std::optional<std::uint32_t> address = ParseAddress(entry)) addresses.push_back(*address);
    }
    return addresses;
}

// The addresses in order, each once and 0.0.0.0 never, joined by commas.
std::string JoinedOnce(const std::vector<std::uint32_t>& addresses) {
    std::string joined;
    for (auto at = addresses.begin(); at != addresses.end(); ++at) {
        if (*at == 0 || std::find(addresses.begin(), at, *at) != at) continue;
        joined += (joined.empty() ? "" : ",") + FormatAddress(*at);
    }
    return joined;
}

}  // namespace

std::optional<std::string> TargetProblem(std::string_view text) {
    // One entry per --target: separators would make the value a list of several.
    const bool oneEntry = !text.empty() && text.find_first_of(kSeparators) == std::string_view::npos;
    const varl::TargetList read = varl::ParseTargetList(text);
    if (!oneEntry || read.error == varl::TargetList::Error::kMalformed) {
        return Quoted(text) + " is not an address or a range such as 10.80.0.0/24";
    }
    if (read.error == varl::TargetList::Error::kTooWide) return Quoted(text) + " is wider than /16";
    return std::nullopt;
}

std::optional<std::string> ConfigurationTargets(std::string_view targets, std::uint32_t unitAddress) {
    const std::vector<std::string_view> entries = Entries(targets);
    if (entries.empty()) return std::nullopt;
    std::vector<std::uint32_t> addresses = SingleAddresses(entries);
    addresses.insert(addresses.begin(), unitAddress);
    return JoinedOnce(addresses);
}

std::optional<std::string> ConfirmationTargets(std::string_view targets, const std::vector<std::uint32_t>& addresses) {
    const std::vector<std::string_view> entries = Entries(targets);
    if (entries.empty()) return std::nullopt;
    std::string joined;
    for (const std::string_view entry : entries) {
        if (!ParseAddress(entry)) joined += std::string(joined.empty() ? "" : ",") + std::string(entry);
    }
    std::vector<std::uint32_t> singles = SingleAddresses(entries);
    singles.insert(singles.end(), addresses.begin(), addresses.end());
    const std::string singlesText = JoinedOnce(singles);
    return joined + (joined.empty() || singlesText.empty() ? "" : ",") + singlesText;
}

}  // namespace quorrel::cli
