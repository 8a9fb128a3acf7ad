#include "device_text.h"

#include <cstring>

namespace parbex {
namespace {

const char* const kChipNameLabel = "Chip Name:";
const char* const kDhcpLabel = "DHCP:";
const char* const kAddressLabel = "Address:";
const char* const kMaskLabel = "Mask:";
const char* const kGatewayLabel = "Gateway:";

QString Labelled(const char* label, const QString& value) {
    return QString::fromLatin1(label) + QLatin1Char(' ') + value;
}

}  // namespace

QString FormatAddress(std::uint32_t value) {
    return QString::asprintf("%01d.%01d.%01d.%01d", static_cast<int>((value >> 24) & 0xFF),
                             static_cast<int>((value >> 16) & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                             static_cast<int>(value & 0xFF));
}

QString FormatSerial(std::uint32_t serial) { return QString::asprintf("%.5X", serial); }

QString ChipNameText(const DeviceRecord& record) {
    return QString::fromLocal8Bit(record.chipName,
                                  static_cast<qsizetype>(strnlen(record.chipName, sizeof record.chipName)));
}

QString DeviceItemText(const DeviceRecord& record) {
    return QString::fromLatin1(kDeviceLabel) + QLatin1Char(' ') + FormatSerial(record.serial) + QLatin1Char('h');
}

QStringList DetailItemTexts(const DeviceRecord& record) {
    return {
        Labelled(kChipNameLabel, ChipNameText(record)),
        Labelled(kDhcpLabel, record.dhcpMode == 1 ? QStringLiteral("On") : QStringLiteral("Off")),
        Labelled(kAddressLabel, FormatAddress(record.address)),
        Labelled(kMaskLabel, FormatAddress(record.netMask)),
        Labelled(kGatewayLabel, FormatAddress(record.gateway)),
    };
}

bool IsDeviceItemText(const QString& text) { return text.startsWith(QLatin1String(kDeviceLabel)); }

bool TextEnablesConfigure(const QString& text) {
    for (const char* label :
         {kNetworkItemText, kDhcpLabel, kAddressLabel, kMaskLabel, kGatewayLabel, kChipNameLabel}) {
        if (text.startsWith(QLatin1String(label))) {
            return true;
        }
    }
    return false;
}

bool TextEnablesUpload(const QString& text) { return TextEnablesConfigure(text) || IsDeviceItemText(text); }

}  // namespace parbex
