// The About box: maker, program name with version, and the copyright line.
#pragma once

#include <QDialog>

namespace parbex {

// The text of the About item in the main window's context menu, also reached with F1.
inline constexpr const char* kAboutItemText = "&About Parbex...";

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace parbex
