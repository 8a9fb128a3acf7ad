// The file dialog of the Upload File command.
#pragma once

#include <QStringList>

class QFileDialog;

namespace parbex {

// The two filter entries, "All Files (*.*)" first. Each entry shows its display name and carries
// the patterns Qt matches in a last pair of parentheses, because on Linux "*.*" would hide every
// file without a dot and Qt separates patterns by blanks, not semicolons.
QStringList UploadFileFilters();

// Open mode for one existing file (so its folder exists too), no default suffix, no initial
// name, the filters with their patterns hidden behind the display names; the desktop's own file
// chooser where the platform has one.
void ConfigureUploadFileDialog(QFileDialog& dialog);

}  // namespace parbex
