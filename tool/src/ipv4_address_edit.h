// An IPv4 address field: four boxes of 0 to 255 separated by dots. Its value is the unsigned
// 32-bit number with the first box in the most significant byte, the encoding of the addresses
// in DeviceRecord, so values pass between record and field unchanged.
//
// It takes an address as people type one: a dot or a box's third digit moves on to the next box,
// Right at a box's end and Left at its start move across, Backspace in an empty box goes back,
// and a whole dotted address pasted into any box fills all four. The field is one stop of its
// window's tab order: Tab and Shift+Tab leave it from whichever box has the focus.
#pragma once

#include <QFrame>

#include <array>
#include <cstdint>

class QKeyEvent;
class QLineEdit;

namespace parbex {

class Ipv4AddressEdit : public QFrame {
    Q_OBJECT

public:
    explicit Ipv4AddressEdit(QWidget* parent = nullptr);

    // A blank box reads as 0.
    std::uint32_t Value() const;
    void SetValue(std::uint32_t value);

    // Names the field for assistive technology after its label ("IP Address"): the field and each
    // box carry the name, and each box says which part it is ("IP Address, part 1 of 4").
    void SetAccessibleLabel(const QString& label);

    // The boxes from the most significant octet on; object names "octet0" to "octet3".
    QLineEdit* Box(int index) const { return m_boxes.at(static_cast<std::size_t>(index)); }

    // Room for four boxes of three digits, the dots between them and the frame around, as the
    // style in use draws them.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Cursor { Start, End, SelectAll };

    int IndexOf(const QObject* box) const;
    void MoveTo(int index, Cursor cursor);
    // Only the box with the focus, or the first while the focus is elsewhere, takes Tab focus: so
    // Tab and Shift+Tab step over the other three in either direction.
    void KeepTabStopAt(int index);
    bool HandleKey(int index, const QKeyEvent& key);
    void OnBoxEdited(int index);
    // Fills the four boxes from a whole dotted address, blanks around it allowed; false for any
    // other text, which changes nothing.
    bool FillFromAddressText(const QString& text);

    std::array<QLineEdit*, 4> m_boxes{};
    // The box that a third digit moved the focus to, until its next key: a dot typed out of habit
    // right after the third digit does not move on a second time.
    int m_nEnteredByThirdDigit = -1;
};

}  // namespace parbex
