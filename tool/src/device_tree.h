// Filling the device tree: one device item per unit at the root, ordered by its text, with the
// unit's network item and its five details below it.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "device_tree_item.h"
#include "varl.h"

class QTreeWidget;

namespace parbex {

// Adds the units' items to the tree, each item marked with its kind and the index of its unit's
// record in units. The device items are ordered by their text; equal texts keep the order the
// units answered in. A unit whose address another unit reports too has a warning icon and a
// tooltip naming the others. Expands and selects nothing. All items reach the tree in one
// insertion, so thousands of units fill it at once.
void AddUnitItems(QTreeWidget& tree, const std::vector<DeviceRecord>& units);

// An item of the tree, by its unit's record and its place under the unit: what stays the same when
// the tree is rebuilt from the same records.
struct ItemPlace {
    std::size_t recordIndex = 0;
    TreeItemKind kind = TreeItemKind::Device;
    int detailRow = 0;

    bool operator==(const ItemPlace&) const = default;
};

// What the user opened and chose in the tree.
struct TreeView {
    std::vector<ItemPlace> expanded;
    std::optional<ItemPlace> current;
};

TreeView SaveTreeView(const QTreeWidget& tree);

// Expands and selects again what view holds, in a tree rebuilt from the same records.
void RestoreTreeView(QTreeWidget& tree, const TreeView& view);

}  // namespace parbex
