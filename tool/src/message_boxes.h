// Every message box of the tool goes through one seam: the program shows QMessageBox, tests
// install a recorder so that nothing blocks on a modal box. Each box names its parent window: the
// active window is no guide, since on Wayland there is none for a moment after a dialog closes,
// and a box without a parent opens as a window of its own.
#pragma once

#include <QString>

class QWidget;

#include <string>

#include "call_failure.h"

namespace parbex {

enum class MessageIcon {
    None,         // a plain OK box: the missing error export
    Warning,      // failures of the commands, including the library's own texts
    Information,  // outcomes that are not failures
};

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Shows text, and below it detail when there is one, with an OK button over parent; returns
    // once the user has dismissed it.
    virtual void Show(QWidget* parent, const QString& text, MessageIcon icon, const QString& detail) = 0;
};

// The seam in use: the program's QMessageBox implementation unless another was installed.
MessageBoxes& CurrentMessageBoxes();

// Installs boxes (null restores the program's own) and returns the one that was in use.
MessageBoxes* InstallMessageBoxes(MessageBoxes* boxes);

// Texts cross the library boundary as 8-bit strings in the system's encoding, the same encoding
// the tool uses for the file paths it hands over.
void ShowFailure(QWidget* parent, const std::string& text);
void ShowInfo(QWidget* parent, const std::string& text, const std::string& detail = {});
void ShowPlain(QWidget* parent, const std::string& text);

// A failed library command, in the failure box whatever its kind; when the library lacks its error
// export, a plain box says so first and the failure box is empty.
void ShowCallFailure(QWidget* parent, const quorrel::CallFailure& failure);

}  // namespace parbex
