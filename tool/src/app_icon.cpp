#include "app_icon.h"

namespace parbex {

QIcon ParbexIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/parbex/icons/parbex-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace parbex
