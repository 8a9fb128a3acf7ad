// The seam through which the main window runs its modal dialogs: the program runs them with
// exec(), tests drive them without a nested event loop.
#pragma once

#include <QString>

#include <optional>

class QDialog;
class QWidget;

namespace parbex {

class DialogRunner {
public:
    virtual ~DialogRunner() = default;
    // Runs the dialog modally and returns its result (QDialog::Accepted or QDialog::Rejected).
    virtual int RunModal(QDialog& dialog) = 0;
    // Asks for the file to upload: its full path, or nothing when the user cancelled.
    virtual std::optional<QString> ChooseUploadFile(QWidget* owner) = 0;
};

DialogRunner& CurrentDialogRunner();

// Installs runner (null restores the program's own) and returns the one that was in use.
DialogRunner* InstallDialogRunner(DialogRunner* runner);

}  // namespace parbex
