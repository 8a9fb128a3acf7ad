#include "addressing.h"

#include <charconv>

#include "configuration.h"
#include "ipv4_text.h"
#include "unit_formats.h"

namespace quorrel::cli {
namespace {

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

}  // namespace

bool UnitReports(const DeviceRecord& unit, const Addressing& wanted) {
    if (wanted.dhcp) return unit.dhcpMode == 1;
    return unit.dhcpMode == 0 && unit.address == wanted.address && unit.netMask == wanted.netMask &&
           unit.gateway == wanted.gateway;
}

DeviceRecord RecordToSend(const DeviceRecord& unit, const Addressing& wanted) {
    return ApplyAddressingChoice(unit, {wanted.dhcp ? kDhcpOn : kDhcpOff, wanted.address, wanted.netMask,
                                        wanted.gateway});
}

std::string AddressingText(const Addressing& addressing) {
    if (addressing.dhcp) return "DHCP On";
    return "DHCP Off, address " + FormatAddress(addressing.address) + ", mask " + FormatAddress(addressing.netMask) +
           ", gateway " + FormatAddress(addressing.gateway);
}

std::string ReportedText(const DeviceRecord& unit) {
    return "DHCP " + DhcpText(unit.dhcpMode) + ", address " + FormatAddress(unit.address) + ", mask " +
           FormatAddress(unit.netMask) + ", gateway " + FormatAddress(unit.gateway);
}

std::optional<std::string> GatewayWarning(const Addressing& addressing) {
    if (addressing.dhcp || addressing.gateway == 0) return std::nullopt;
    if ((addressing.gateway & addressing.netMask) == (addressing.address & addressing.netMask)) return std::nullopt;
    return "gateway " + FormatAddress(addressing.gateway) + " lies outside the subnet " +
           FormatAddress(addressing.address & addressing.netMask) + " mask " + FormatAddress(addressing.netMask) +
           " of address " + FormatAddress(addressing.address);
}

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
    Addressing addressing;
    const std::size_t slash = addressText.find('/');
    const std::optional<std::uint32_t> address = ReadAddress("address", addressText.substr(0, slash), error);
    if (!address) return std::nullopt;
    addressing.address = *address;

    if (slash != std::string_view::npos) {
        if (maskText) {
            error = "give the mask once: as ADDRESS/PREFIX or with --mask";
            return std::nullopt;
        }
        const std::string_view prefixText = addressText.substr(slash + 1);
        int prefix = -1;
        const auto [end, failed] = std::from_chars(prefixText.data(), prefixText.data() + prefixText.size(), prefix);
        const std::optional<std::uint32_t> mask = failed == std::errc() && end == prefixText.data() + prefixText.size()
                                                      ? MaskFromPrefix(prefix)
                                                      : std::nullopt;
        if (!mask || prefixText.size() > 2) {
            error = "bad prefix " + Quoted(prefixText) + " in " + Quoted(addressText) + ": expected 0 to 32";
            return std::nullopt;
        }
        addressing.netMask = *mask;
    } else if (maskText) {
        const std::optional<std::uint32_t> mask = ReadMask(*maskText, error);
        if (!mask) return std::nullopt;
        addressing.netMask = *mask;
    } else {
        error = "a static address needs a mask: ADDRESS/PREFIX or --mask MASK";
        return std::nullopt;
    }

    if (gatewayText) {
        const std::optional<std::uint32_t> gateway = ReadAddress("gateway", *gatewayText, error);
        if (!gateway) return std::nullopt;
        addressing.gateway = *gateway;
    }
    return addressing;
}

}  // namespace quorrel::cli
