#include "addressing_input.h"

#include <charconv>

#include "ipv4_text.h"

namespace quorrel::cli {
namespace {

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// The mask of "/PREFIX": 0 to 32, in at most two digits.
std::optional<std::uint32_t> ReadPrefix(std::string_view prefixText, std::string_view addressText, std::string& error) {
    int prefix = -1;
    const auto [end, failed] = std::from_chars(prefixText.data(), prefixText.data() + prefixText.size(), prefix);
    const bool whole = failed == std::errc() && end == prefixText.data() + prefixText.size();
    const std::optional<std::uint32_t> mask = whole && prefixText.size() <= 2 ? MaskFromPrefix(prefix) : std::nullopt;
    if (!mask) error = "bad prefix " + Quoted(prefixText) + " in " + Quoted(addressText) + ": expected 0 to 32";
    return mask;
}

}  // namespace

std::optional<std::uint32_t> ReadAddress(std::string_view what, std::string_view text, std::string& error) {
    const std::optional<std::uint32_t> value = ParseAddress(text);
    if (!value) {
        error = "bad " + std::string(what) + " " + Quoted(text) +
                ": expected four numbers from 0 to 255 separated by dots";
    }
    return value;
}

std::optional<std::uint32_t> ReadMask(std::string_view text, std::string& error) {
    const std::optional<std::uint32_t> value = ReadAddress("mask", text, error);
    if (value && !IsContiguousMask(*value)) {
        error = "bad mask " + Quoted(text) + ": expected ones then zeros, such as 255.255.255.0";
        return std::nullopt;
    }
    return value;
}

std::optional<Addressing> ReadStaticAddressing(std::string_view addressText, const std::optional<std::string>& maskText,
                                               const std::optional<std::string>& gatewayText, std::string& error) {
    const std::size_t slash = addressText.find('/');
    const std::optional<std::uint32_t> address = ReadAddress("address", addressText.substr(0, slash), error);
    if (!address) return std::nullopt;

    std::optional<std::uint32_t> mask;
    if (slash != std::string_view::npos && maskText) {
        error = "give the mask once: as ADDRESS/PREFIX or with --mask";
    } else if (slash != std::string_view::npos) {
        mask = ReadPrefix(addressText.substr(slash + 1), addressText, error);
    } else if (maskText) {
        mask = ReadMask(*maskText, error);
    } else {
        error = "a static address needs a mask: ADDRESS/PREFIX or --mask MASK";
    }
    if (!mask) return std::nullopt;

    std::optional<std::uint32_t> gateway = 0;
    if (gatewayText) gateway = ReadAddress("gateway", *gatewayText, error);
    if (!gateway) return std::nullopt;
    return Addressing::Static(*address, *mask, *gateway);
}

std::optional<std::string> GatewayWarning(const Addressing& addressing) {
    if (addressing.dhcp == DhcpChoice::On || addressing.gateway == 0) return std::nullopt;
    if ((addressing.gateway & addressing.netMask) == (addressing.address & addressing.netMask)) return std::nullopt;
    return "gateway " + FormatAddress(addressing.gateway) + " lies outside the subnet " +
           FormatAddress(addressing.address & addressing.netMask) + " mask " + FormatAddress(addressing.netMask) +
           " of address " + FormatAddress(addressing.address);
}

}  // namespace quorrel::cli
