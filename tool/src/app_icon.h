// The program's icon, drawn for this tool at several sizes and kept in its Qt resources.
#pragma once

#include <QIcon>

namespace parbex {

QIcon ParbexIcon();

}  // namespace parbex
