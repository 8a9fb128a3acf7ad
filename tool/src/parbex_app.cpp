#include "parbex_app.h"

#include "dialog_runner.h"
#include "message_boxes.h"
#include "parbex_dlg.h"

namespace parbex {
namespace {

// String 104, shown in a plain OK box where the platform's sockets need a start-up that failed.
const char* const kSocketsInitFailed = "Windows sockets initialization failed.";

// Linux sockets need no start-up, so this cannot fail here.
bool InitSockets() { return true; }

}  // namespace

CParbexApp::CParbexApp() : m_library(kLibraryLocation) {}

int CParbexApp::InitInstance() {
    if (!InitSockets()) {
        ShowPlain(kSocketsInitFailed);
        return 1;
    }
    CParbexDlg mainWindow(m_library);
    m_pMainWnd = &mainWindow;
    CurrentDialogRunner().RunModal(mainWindow);
    m_pMainWnd = nullptr;
    return 0;
}

}  // namespace parbex
