// The application object: start-up, the main window run modally, and the one binding to the
// protocol library that every command uses.
#pragma once

#include <QWidget>

#include "library_binding.h"

namespace parbex {

class CParbexApp {
public:
    CParbexApp();

    // Start-up in order: sockets, then the main window run modally until it closes by whatever
    // button. Returns the process's exit status: 0, the ordinary exit, whichever way the window
    // closed; 1 when start-up fails.
    int InitInstance();

    LibraryBinding& Library() { return m_library; }

    // The main window while it runs; null before and after.
    QWidget* m_pMainWnd = nullptr;

private:
    // Always the fixed library location.
    LibraryBinding m_library;
};

}  // namespace parbex
