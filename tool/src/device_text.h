// The texts the tool shows for a unit: the device tree's items and the dialog's serial field.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

#include "varl.h"

namespace parbex {

// Dotted text of an IPv4 value, first octet from the most significant byte: 10.77.0.1.
QString FormatAddress(std::uint32_t value);

// The serial as at least five upper-case hexadecimal digits: 1F gives 0001F.
QString FormatSerial(std::uint32_t serial);

// The chip name as stored in the record, never read past its 20 bytes.
QString ChipNameText(const DeviceRecord& record);

inline constexpr const char* kDeviceLabel = "S/N";
inline constexpr const char* kNetworkItemText = "Network Configuration";

// "S/N 0A1F3h" for serial A1F3.
QString DeviceItemText(const DeviceRecord& record);

// Chip name, DHCP ("On" only for mode 1), address, mask and gateway, in tree order.
QStringList DetailItemTexts(const DeviceRecord& record);

// A device item is one whose text begins with "S/N".
bool IsDeviceItemText(const QString& text);

// Items below a device item (the network item and the five details) enable Configure...; those
// and the device item itself enable Upload File....
bool TextEnablesConfigure(const QString& text);
bool TextEnablesUpload(const QString& text);

}  // namespace parbex
