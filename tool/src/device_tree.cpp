#include "device_tree.h"

#include <QTreeWidget>

#include <algorithm>
#include <string>

#include "device_tree_item.h"
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
    tree.addTopLevelItems(QList<QTreeWidgetItem*>(deviceItems.begin(), deviceItems.end()));
}

}  // namespace parbex
