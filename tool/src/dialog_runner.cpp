#include "dialog_runner.h"

#include <QDialog>
#include <QFileDialog>

#include "upload_file_dialog.h"

namespace parbex {
namespace {

class ModalDialogRunner final : public DialogRunner {
public:
    int RunModal(QDialog& dialog) override { return dialog.exec(); }

    std::optional<QString> ChooseUploadFile(QWidget* owner) override {
        QFileDialog dialog(owner);
        ConfigureUploadFileDialog(dialog);
        if (dialog.exec() != QDialog::Accepted) {
            return std::nullopt;
        }
        return dialog.selectedFiles().value(0);
    }
};

ModalDialogRunner g_modalDialogRunner;
DialogRunner* g_pDialogRunner = &g_modalDialogRunner;

}  // namespace

DialogRunner& CurrentDialogRunner() { return *g_pDialogRunner; }

DialogRunner* InstallDialogRunner(DialogRunner* runner) {
    DialogRunner* previous = g_pDialogRunner;
    g_pDialogRunner = runner != nullptr ? runner : &g_modalDialogRunner;
    return previous;
}

}  // namespace parbex
