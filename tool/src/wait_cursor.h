// The wait cursor, shown while a library call runs, for as long as it lives.
#pragma once

namespace parbex {

class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace parbex
