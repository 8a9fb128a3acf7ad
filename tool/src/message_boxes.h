// Every message box of the tool goes through one seam: the program shows QMessageBox, tests
// install a recorder so that nothing blocks on a modal box.
#pragma once

#include <QString>

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
    // Shows text with an OK button and returns once the user has dismissed it.
    virtual void Show(const QString& text, MessageIcon icon) = 0;
};

// The seam in use: the program's QMessageBox implementation unless another was installed.
MessageBoxes& CurrentMessageBoxes();

// Installs boxes (null restores the program's own) and returns the one that was in use.
MessageBoxes* InstallMessageBoxes(MessageBoxes* boxes);

// Texts cross the library boundary as 8-bit strings in the system's encoding, the same encoding
// the tool uses for the file paths it hands over.
void ShowFailure(const std::string& text);
void ShowInfo(const std::string& text);
void ShowPlain(const std::string& text);

// A failed library command, in the failure box whatever its kind; when the library lacks its error
// export, a plain box says so first and the failure box is empty.
void ShowCallFailure(const quorrel::CallFailure& failure);

}  // namespace parbex
