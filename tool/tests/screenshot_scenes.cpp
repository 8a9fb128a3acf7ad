// Plays the scenes that scripts/screenshot takes pictures of, on whatever display the platform
// gives (an X server or a Wayland compositor, where nothing outside the program can press its
// keys): the main window after Discover with the first unit's items open, Device Configuration on
// that unit, the window enlarged, the message box an upload shows right after its file dialog
// closes, and the progress window of a slow upload (4 MiB, to a lab whose FTP servers take
// 1 MB/s). Before each picture it says "scene NAME" on standard output and waits for a line on
// standard input; "note ..." lines say what a picture cannot show. Runs in the lab, with the
// library at its fixed location.
//
//   parbex_screenshot_scenes [--dark] [Qt's options]
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QPushButton>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "dark_palette.h"
#include "dialog_runner.h"
#include "library_binding.h"
#include "parbex_dlg.h"
#include "upload_file_dialog.h"
#include "upload_progress_window.h"

namespace {

// Lets the window paint and the display show the frame before a picture is taken.
void Settle() { QTest::qWait(700); }

void Pause(const char* scene) {
    Settle();
    std::printf("scene %s\n", scene);
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
}

// Each dialog is shown as the program shows it, pictured, then closed as cancelled; the file
// dialog is closed at once, as a user who thinks better of it does.
class PicturedDialogs final : public parbex::DialogRunner {
public:
    int RunModal(QDialog& dialog) override {
        QTimer::singleShot(0, &dialog, [&dialog] {
            Pause("configuration");
            dialog.reject();
        });
        return dialog.exec();
    }

    std::optional<QString> ChooseUploadFile(QWidget* owner) override {
        if (++m_nFileRequests == 2) return UploadingFile();
        QFileDialog dialog(owner);
        parbex::ConfigureUploadFileDialog(dialog);
        QTimer::singleShot(500, &dialog, &QDialog::reject);
        dialog.exec();
        // The box that follows, which on Wayland has no active window to take for its parent:
        // what it tells the compositor of its parent, pictured, then dismissed.
        QTimer::singleShot(0, [owner] {
            const QWidget* box = QApplication::activeModalWidget();
            const QWindow* parent = box != nullptr ? box->windowHandle()->transientParent() : nullptr;
            std::printf("note the box's parent window: %s\n",
                        parent == nullptr ? "none" : qPrintable(parent == owner->windowHandle() ? owner->windowTitle() : parent->title()));
            Pause("cancelled");
            if (QWidget* box = QApplication::activeModalWidget()) box->close();
        });
        return std::nullopt;
    }

private:
    // A file that takes a few seconds to a unit whose FTP server the lab throttles: pictured once
    // its progress window shows; the box that follows is dismissed.
    QString UploadingFile() {
        QFile file(m_folder.filePath(QStringLiteral("status.htm")));
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray(kUploadBytes, 'q'));
        QTimer::singleShot(parbex::UploadProgressWindow::kShowAfterMs + 500, [] {
            Pause("uploading");
            auto* dismiss = new QTimer;
            QObject::connect(dismiss, &QTimer::timeout, dismiss, [dismiss] {
                if (QWidget* box = QApplication::activeModalWidget()) {
                    box->close();
                    dismiss->deleteLater();
                }
            });
            dismiss->start(100);
        });
        return file.fileName();
    }

    static constexpr int kUploadBytes = 4 << 20;
    int m_nFileRequests = 0;
    QTemporaryDir m_folder;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication::setOrganizationName(QStringLiteral("Tamberlode"));
    QCoreApplication::setApplicationName(QStringLiteral("Parbex"));
    QApplication application(argc, argv);
    if (QApplication::arguments().contains(QStringLiteral("--dark"))) {
        QApplication::setPalette(parbex::testing::DarkPalette());
    }
    PicturedDialogs dialogs;
    parbex::InstallDialogRunner(&dialogs);

    quorrel::LibraryBinding library;
    parbex::CParbexDlg window(library);
    window.show();
    Settle();
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("discoverButton")), Qt::LeftButton);
    auto* tree = window.findChild<QTreeWidget*>(QStringLiteral("deviceTree"));
    if (tree->topLevelItemCount() == 0) {
        std::fprintf(stderr, "parbex_screenshot_scenes: Discover found no unit\n");
        return 1;
    }
    tree->setFocus();
    tree->expandRecursively(tree->model()->index(0, 0));
    // The first unit's Network Configuration item, on which Configure opens.
    tree->setCurrentItem(tree->topLevelItem(0)->child(0));
    Pause("main");

    window.OnConfigure();
    window.resize(window.size() * 3 / 2);
    Pause("enlarged");
    window.OnUploadFile();
    window.OnUploadFile();
    window.close();
    return 0;
}
