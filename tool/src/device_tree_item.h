// What the device tree's items are: each says its kind and the index of its unit's record in item
// data roles, so nothing about an item is guessed from its text.
#pragma once

#include <Qt>

namespace parbex {

enum class TreeItemKind {
    Device = 1,  // "S/N 1A2B3h"
    Network,     // "Network Configuration"
    Detail,      // chip name, DHCP, address, mask, gateway
};

inline constexpr int kItemKindRole = Qt::UserRole;
inline constexpr int kRecordIndexRole = Qt::UserRole + 1;

// Configure... edits the unit's addressing, so it needs an item below the device item; Upload
// File... needs only a unit.
inline bool KindEnablesConfigure(TreeItemKind kind) {
    return kind == TreeItemKind::Network || kind == TreeItemKind::Detail;
}
inline bool KindEnablesUpload(TreeItemKind kind) { return kind == TreeItemKind::Device || KindEnablesConfigure(kind); }

}  // namespace parbex
