#include "wait_cursor.h"

#include <QApplication>
#include <QCursor>

namespace parbex {

WaitCursor::WaitCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }

WaitCursor::~WaitCursor() { QApplication::restoreOverrideCursor(); }

}  // namespace parbex
