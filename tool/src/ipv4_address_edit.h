// An IPv4 address field: four boxes of 0 to 255 separated by dots. Its value is the unsigned
// 32-bit number with the first box in the most significant byte, the encoding of the addresses
// in DeviceRecord, so values pass between record and field unchanged.
#pragma once

#include <QFrame>

#include <array>
#include <cstdint>

class QLineEdit;

namespace parbex {

class Ipv4AddressEdit : public QFrame {
    Q_OBJECT

public:
    explicit Ipv4AddressEdit(QWidget* parent = nullptr);

    // A blank box reads as 0.
    std::uint32_t Value() const;
    void SetValue(std::uint32_t value);

    // The boxes from the most significant octet on; object names "octet0" to "octet3".
    QLineEdit* Box(int index) const { return m_boxes.at(static_cast<std::size_t>(index)); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::array<QLineEdit*, 4> m_boxes{};
};

}  // namespace parbex
