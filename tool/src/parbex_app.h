// The application object: the one binding to the protocol library that every command uses, and
// the main window run modally until it closes.
#pragma once

#include "library_binding.h"

namespace parbex {

class CParbexApp {
public:
    // Runs the main window modally until it closes, by whatever button.
    void InitInstance();

private:
    // Always the fixed library location; loaded by the first Discover and kept until the end.
    quorrel::LibraryBinding m_library;
};

}  // namespace parbex
