#include "parbex_app.h"

#include "dialog_runner.h"
#include "parbex_dlg.h"

namespace parbex {

// Linux sockets need no start-up, so the program goes straight to its main window.
void CParbexApp::InitInstance() {
    CParbexDlg mainWindow(m_library);
    CurrentDialogRunner().RunModal(mainWindow);
}

}  // namespace parbex
