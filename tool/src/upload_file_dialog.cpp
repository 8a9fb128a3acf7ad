#include "upload_file_dialog.h"

#include <QFileDialog>

namespace parbex {

QStringList UploadFileFilters() {
    return {
        QStringLiteral("All Files (*.*) (*)"),
        QStringLiteral("Web Files (*.htm;*.html;*.js) (*.htm *.html *.js)"),
    };
}

void ConfigureUploadFileDialog(QFileDialog& dialog) {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // The desktop's own chooser where the platform offers one (its bookmarks and recent files):
    // Qt hands it the same entries and patterns. Some show a name only up to its first
    // parenthesis, "All Files"; Qt's own dialog, used elsewhere, shows the names whole.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(UploadFileFilters());
    dialog.selectNameFilter(UploadFileFilters().first());
}

}  // namespace parbex
