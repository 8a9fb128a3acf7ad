#include "parbex_app.h"

#include "dialog_runner.h"
#include "parbex_dlg.h"

namespace parbex {

// Linux sockets need no start-up, so the program goes straight to its main window.
int CParbexApp::InitInstance() {
    CParbexDlg mainWindow(m_library);
    CurrentDialogRunner().RunModal(mainWindow);
    return 0;
}

}  // namespace parbex
