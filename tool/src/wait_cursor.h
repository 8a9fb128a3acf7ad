// The wait cursor shown while a library call blocks the user-interface thread.
#pragma once

namespace parbex {

class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

    // Ends the wait cursor before the end of the scope; later calls do nothing.
    void Restore();

private:
    bool m_bShown = true;
};

}  // namespace parbex
