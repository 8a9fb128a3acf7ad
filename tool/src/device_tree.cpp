#include "device_tree.h"

#include <QTreeWidget>

#include <algorithm>
#include <string>

#include "device_tree_item.h"
#include "unit_text.h"

namespace parbex {
namespace {

QTreeWidgetItem* NewItem(const std::string& text, TreeItemKind kind, std::size_t recordIndex) {
    auto* item = new QTreeWidgetItem(QStringList{QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()))});
    item->setData(0, kItemKindRole, static_cast<int>(kind));
    item->setData(0, kRecordIndexRole, static_cast<qulonglong>(recordIndex));
    return item;
}

}  // namespace

void AddUnitItems(QTreeWidget& tree, const std::vector<DeviceRecord>& units) {
    QList<QTreeWidgetItem*> deviceItems;
    deviceItems.reserve(static_cast<qsizetype>(units.size()));
    for (std::size_t index = 0; index < units.size(); ++index) {
        QTreeWidgetItem* deviceItem = NewItem(quorrel::DeviceItemText(units[index]), TreeItemKind::Device, index);
        QTreeWidgetItem* networkItem = NewItem(quorrel::kNetworkItemText, TreeItemKind::Network, index);
        deviceItem->addChild(networkItem);
        for (const std::string& detail : quorrel::DetailItemTexts(units[index])) {
            networkItem->addChild(NewItem(detail, TreeItemKind::Detail, index));
        }
        deviceItems.append(deviceItem);
    }
    // Sorted once rather than each item inserted at its place, which grows with the square of the
    // number of units.
    std::stable_sort(deviceItems.begin(), deviceItems.end(), [](const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
        return QString::compare(a->text(0), b->text(0), Qt::CaseInsensitive) < 0;
    });
    tree.addTopLevelItems(deviceItems);
}

}  // namespace parbex
