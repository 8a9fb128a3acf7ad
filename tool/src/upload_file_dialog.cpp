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
    // Qt's own dialog, so the entries read exactly as named: a desktop's native dialog may cut a
    // name at its first parenthesis.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(UploadFileFilters());
    dialog.selectNameFilter(UploadFileFilters().first());
}

}  // namespace parbex
