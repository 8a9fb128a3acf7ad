// Filling the device tree: one device item per unit at the root, ordered by its text, with the
// unit's network item and its five details below it.
#pragma once

#include <vector>

#include "varl.h"

class QTreeWidget;

namespace parbex {

// Adds the units' items to the tree, each item marked with its kind and the index of its unit's
// record in units. The device items are ordered by their text; equal texts keep the order the
// units answered in. Expands and selects nothing. All items reach the tree in one insertion, so
// thousands of units fill it at once.
void AddUnitItems(QTreeWidget& tree, const std::vector<DeviceRecord>& units);

}  // namespace parbex
