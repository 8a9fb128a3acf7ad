// Seams and helpers shared by the tool's tests: a recorder for message boxes, a scripted runner
// for modal dialogs and the file dialog, the wait cursor seen by the fake library, and the user's
// hands on a dialog's named controls.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QLineEdit>
#include <QString>
#include <QTest>
#include <QWidget>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "dark_palette.h"
#include "device_record_testing.h"
#include "dialog_runner.h"
#include "fake_varl/fake_library.h"
#include "ipv4_address_edit.h"
#include "message_boxes.h"

// Lets GoogleTest print Qt texts in its failure messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace parbex::testing {

struct RecordedMessage {
    QString text;
    MessageIcon icon;
    QString detail;

    bool operator==(const RecordedMessage&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const RecordedMessage& message) {
    const char* icon = message.icon == MessageIcon::Warning       ? "warning"
                       : message.icon == MessageIcon::Information ? "information"
                                                                  : "plain";
    out << icon << " \"" << message.text.toStdString() << '"';
    if (!message.detail.isEmpty()) out << " (detail \"" << message.detail.toStdString() << "\")";
    return out;
}

inline RecordedMessage Failure(const char* text) { return {QString::fromLatin1(text), MessageIcon::Warning, {}}; }
inline RecordedMessage Info(const char* text, const char* detail = "") {
    return {QString::fromLatin1(text), MessageIcon::Information, QString::fromLatin1(detail)};
}
inline RecordedMessage Plain(const char* text) { return {QString::fromLatin1(text), MessageIcon::None, {}}; }

// Shows a window and makes it the active one, so that keys reach its focus widget.
inline void ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
}

// Types keys one by one into whichever widget of window has the focus at each key, as a keyboard
// does. The window's own focus widget is used, so this holds whichever window the platform
// considers active. Named keys stand in braces: {Left}, {Right}, {Backspace}, {Tab}, {Backtab},
// {Paste} (Ctrl+V).
inline void TypeKeys(QWidget& window, const char* keys) {
    static const std::pair<std::string_view, std::pair<Qt::Key, Qt::KeyboardModifiers>> kNamedKeys[] = {
        {"{Left}", {Qt::Key_Left, Qt::NoModifier}},
        {"{Right}", {Qt::Key_Right, Qt::NoModifier}},
        {"{Backspace}", {Qt::Key_Backspace, Qt::NoModifier}},
        {"{Tab}", {Qt::Key_Tab, Qt::NoModifier}},
        {"{Backtab}", {Qt::Key_Backtab, Qt::ShiftModifier}},
        {"{Paste}", {Qt::Key_V, Qt::ControlModifier}},
    };
    for (std::string_view rest = keys; !rest.empty();) {
        QWidget* focus = window.window()->focusWidget();
        ASSERT_NE(focus, nullptr) << "no widget has the focus";
        bool named = false;
        for (const auto& [name, key] : kNamedKeys) {
            if (rest.substr(0, name.size()) == name) {
                QTest::keyClick(focus, key.first, key.second);
                rest.remove_prefix(name.size());
                named = true;
                break;
            }
        }
        if (!named) {
            ASSERT_NE(rest.front(), '{') << "unknown key name in " << rest;
            QTest::keyClick(focus, rest.front());
            rest.remove_prefix(1);
        }
    }
}

// The control (or action) of window with this object name; the test fails when there is none.
template <typename Child>
Child* Find(const QWidget& window, const char* name) {
    auto* child = window.findChild<Child*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

inline void Click(const QWidget& window, const char* button) {
    QTest::mouseClick(Find<QAbstractButton>(window, button), Qt::LeftButton);
}

// Replaces the whole content of an address field by typing, dots included.
inline void TypeAddress(QWidget& window, const char* field, const char* text) {
    auto* edit = Find<Ipv4AddressEdit>(window, field);
    for (int i = 0; i < 4; ++i) edit->Box(i)->clear();
    edit->Box(0)->setFocus();
    TypeKeys(window, text);
}

// Records every box instead of showing it, for as long as it lives.
class MessageRecorder final : public MessageBoxes {
public:
    MessageRecorder() : m_previous(InstallMessageBoxes(this)) {}
    ~MessageRecorder() override { InstallMessageBoxes(m_previous); }

    void Show(QWidget* parent, const QString& text, MessageIcon icon, const QString& detail) override {
        messages.push_back({text, icon, detail});
        parents.push_back(parent);
    }

    std::vector<RecordedMessage> messages;
    // The window each box was shown over.
    std::vector<QWidget*> parents;

private:
    MessageBoxes* m_previous;
};

// Runs each modal dialog by showing it and handing it to the script, which drives it as a user
// would; a dialog the script leaves open is closed as rejected and counted.
class ScriptedDialogs final : public DialogRunner {
public:
    ScriptedDialogs() : m_previous(InstallDialogRunner(this)) {}
    ~ScriptedDialogs() override { InstallDialogRunner(m_previous); }

    int RunModal(QDialog& dialog) override {
        runTitles.push_back(dialog.windowTitle());
        ShowActive(dialog);
        if (script) {
            script(dialog);
        }
        if (dialog.isVisible()) {
            ++leftOpen;
            dialog.done(QDialog::Rejected);
        }
        return dialog.result();
    }

    std::optional<QString> ChooseUploadFile(QWidget*) override {
        ++fileRequests;
        if (files.empty() || !files.front().has_value()) {
            if (!files.empty()) {
                files.pop_front();
            }
            return std::nullopt;
        }
        const QString path = *files.front();
        files.pop_front();
        return path;
    }

    std::function<void(QDialog&)> script;
    std::vector<QString> runTitles;
    int leftOpen = 0;
    // What the file dialog answers, one per request; nothing stands for Cancel.
    std::deque<std::optional<QString>> files;
    int fileRequests = 0;

private:
    DialogRunner* m_previous;
};

using quorrel::testing::FakeLibrary;

// Notes, for each call into the fake library, whether the wait cursor was up when the export was
// entered.
class WaitCursorAtCalls {
public:
    explicit WaitCursorAtCalls(FakeLibrary& fake) {
        fake.State().onCall = [this](const std::string&) {
            const QCursor* cursor = QApplication::overrideCursor();
            seen.push_back(cursor != nullptr && cursor->shape() == Qt::WaitCursor);
        };
    }

    std::vector<bool> seen;
};

using varl::testing::MakeRecord;

}  // namespace parbex::testing
