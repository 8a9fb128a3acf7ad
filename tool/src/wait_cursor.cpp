#include "wait_cursor.h"

#include <QApplication>
#include <QCursor>

namespace parbex {

WaitCursor::WaitCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }

WaitCursor::~WaitCursor() { Restore(); }

void WaitCursor::Restore() {
    if (m_bShown) {
        QApplication::restoreOverrideCursor();
        m_bShown = false;
    }
}

}  // namespace parbex
