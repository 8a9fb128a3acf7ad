#include "device_tree.h"

#include <QStyle>
#include <QTreeWidget>

#include <algorithm>
#include <map>
#include <string>

#include "address_conflicts.h"
#include "unit_text.h"

namespace parbex {
namespace {

// An item that answers its text, kind and record index from fields of its own rather than from
// stored values: a large site fills the tree with tens of thousands of items, and each stored
// value is one more allocation to make and free.
class UnitItem final : public QTreeWidgetItem {
public:
    UnitItem(const std::string& text, TreeItemKind kind, std::size_t recordIndex)
        : m_text(QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()))),
          m_kind(kind),
          m_recordIndex(recordIndex) {}

    QVariant data(int column, int role) const override {
        if (column == 0) {
            switch (role) {
            case Qt::DisplayRole:
                return m_text;
            case kItemKindRole:
                return static_cast<int>(m_kind);
            case kRecordIndexRole:
                return static_cast<qulonglong>(m_recordIndex);
            default:
                break;
            }
        }
        return QTreeWidgetItem::data(column, role);
    }

    const QString& Text() const { return m_text; }

private:
    QString m_text;
    TreeItemKind m_kind;
    std::size_t m_recordIndex;
};

// "Another unit reports 10.77.0.11 too: S/N 1B3C4h".
QString ConflictText(std::uint32_t address, const std::vector<std::uint32_t>& otherSerials) {
    QStringList others;
    for (std::uint32_t serial : otherSerials) {
        DeviceRecord other{};
        other.serial = serial;
        others << QString::fromLatin1(quorrel::DeviceItemText(other));
    }
    return QStringLiteral("%1 %2 too: %3")
        .arg(others.size() == 1 ? QStringLiteral("Another unit reports") : QStringLiteral("Other units report"),
             QString::fromLatin1(quorrel::FormatAddress(address)), others.join(QStringLiteral(", ")));
}

void MarkAddressConflicts(QTreeWidget& tree, const std::vector<UnitItem*>& deviceItems,
                          const std::vector<DeviceRecord>& units) {
    const std::map<std::uint32_t, std::vector<std::uint32_t>> conflicts = quorrel::AddressConflicts(units);
    if (conflicts.empty()) return;
    const QIcon warning = tree.style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, &tree);
    for (UnitItem* item : deviceItems) {
        const DeviceRecord& unit = units[item->data(0, kRecordIndexRole).toULongLong()];
        const auto conflict = conflicts.find(unit.serial);
        if (conflict == conflicts.end()) continue;
        item->setIcon(0, warning);
        item->setToolTip(0, ConflictText(unit.address, conflict->second));
    }
}

// The place of an item made by AddUnitItems.
ItemPlace PlaceOf(const QTreeWidgetItem& item) {
    const auto kind = static_cast<TreeItemKind>(item.data(0, kItemKindRole).toInt());
    const int detailRow = kind == TreeItemKind::Detail ? item.parent()->indexOfChild(const_cast<QTreeWidgetItem*>(&item)) : 0;
    return {static_cast<std::size_t>(item.data(0, kRecordIndexRole).toULongLong()), kind, detailRow};
}

}  // namespace

void AddUnitItems(QTreeWidget& tree, const std::vector<DeviceRecord>& units) {
    std::vector<UnitItem*> deviceItems;
    deviceItems.reserve(units.size());
    for (std::size_t index = 0; index < units.size(); ++index) {
        auto* deviceItem = new UnitItem(quorrel::DeviceItemText(units[index]), TreeItemKind::Device, index);
        auto* networkItem = new UnitItem(quorrel::kNetworkItemText, TreeItemKind::Network, index);
        deviceItem->addChild(networkItem);
        QList<QTreeWidgetItem*> details;
        for (const std::string& detail : quorrel::DetailItemTexts(units[index])) {
            details.append(new UnitItem(detail, TreeItemKind::Detail, index));
        }
        networkItem->addChildren(details);
        deviceItems.push_back(deviceItem);
    }
    // Sorted once rather than each item inserted at its place, which grows with the square of the
    // number of units.
    std::stable_sort(deviceItems.begin(), deviceItems.end(), [](const UnitItem* a, const UnitItem* b) {
        return QString::compare(a->Text(), b->Text(), Qt::CaseInsensitive) < 0;
    });
    MarkAddressConflicts(tree, deviceItems, units);
    tree.addTopLevelItems(QList<QTreeWidgetItem*>(deviceItems.begin(), deviceItems.end()));
}

TreeView SaveTreeView(const QTreeWidget& tree) {
    TreeView view;
    for (int row = 0; row < tree.topLevelItemCount(); ++row) {
        const QTreeWidgetItem* device = tree.topLevelItem(row);
        if (device->isExpanded()) view.expanded.push_back(PlaceOf(*device));
        for (int child = 0; child < device->childCount(); ++child) {
            if (device->child(child)->isExpanded()) view.expanded.push_back(PlaceOf(*device->child(child)));
        }
    }
    const QList<QTreeWidgetItem*> selected = tree.selectedItems();
    if (!selected.isEmpty()) view.current = PlaceOf(*selected.first());
    return view;
}

void RestoreTreeView(QTreeWidget& tree, const TreeView& view) {
    std::map<std::size_t, QTreeWidgetItem*> deviceItems;
    for (int row = 0; row < tree.topLevelItemCount(); ++row) {
        QTreeWidgetItem* device = tree.topLevelItem(row);
        deviceItems[device->data(0, kRecordIndexRole).toULongLong()] = device;
    }
    const auto find = [&deviceItems](const ItemPlace& place) -> QTreeWidgetItem* {
        const auto device = deviceItems.find(place.recordIndex);
        if (device == deviceItems.end()) return nullptr;
        if (place.kind == TreeItemKind::Device) return device->second;
        QTreeWidgetItem* network = device->second->child(0);
        if (network == nullptr || place.kind == TreeItemKind::Network) return network;
        return network->child(place.detailRow);
    };
    for (const ItemPlace& place : view.expanded) {
        if (QTreeWidgetItem* item = find(place)) item->setExpanded(true);
    }
    if (view.current) {
        if (QTreeWidgetItem* item = find(*view.current)) tree.setCurrentItem(item);
    }
}

}  // namespace parbex
