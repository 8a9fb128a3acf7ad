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
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(UploadFileFilters());
    dialog.selectNameFilter(UploadFileFilters().first());
}

}  // namespace parbex
