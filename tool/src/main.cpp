#include <QApplication>

#include "app_icon.h"
#include "parbex_app.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Parbex"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    QApplication::setWindowIcon(parbex::ParbexIcon());
    // The program takes no arguments and keeps no settings; the main window is its whole run.
    parbex::CParbexApp parbexApp;
    return parbexApp.InitInstance();
}
