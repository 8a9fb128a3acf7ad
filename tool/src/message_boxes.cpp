#include "message_boxes.h"

#include <QApplication>
#include <QMessageBox>

#include "shown_texts.h"

namespace parbex {
namespace {

// The title every box carries: the application's name, as the old framework did.
constexpr const char* kMessageTitle = "Parbex";

class QtMessageBoxes final : public MessageBoxes {
public:
    void Show(const QString& text, MessageIcon icon) override {
        QMessageBox box(ToQtIcon(icon), QString::fromLatin1(kMessageTitle), text, QMessageBox::Ok,
                        QApplication::activeWindow());
        box.exec();
    }

private:
    static QMessageBox::Icon ToQtIcon(MessageIcon icon) {
        switch (icon) {
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::None:
            break;
        }
        return QMessageBox::NoIcon;
    }
};

QtMessageBoxes g_qtMessageBoxes;
MessageBoxes* g_pMessageBoxes = &g_qtMessageBoxes;

void Show(const std::string& text, MessageIcon icon) {
    CurrentMessageBoxes().Show(QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())),
                               icon);
}

}  // namespace

MessageBoxes& CurrentMessageBoxes() { return *g_pMessageBoxes; }

MessageBoxes* InstallMessageBoxes(MessageBoxes* boxes) {
    MessageBoxes* previous = g_pMessageBoxes;
    g_pMessageBoxes = boxes != nullptr ? boxes : &g_qtMessageBoxes;
    return previous;
}

void ShowFailure(const std::string& text) { Show(text, MessageIcon::Warning); }
void ShowInfo(const std::string& text) { Show(text, MessageIcon::Information); }
void ShowPlain(const std::string& text) { Show(text, MessageIcon::None); }

void ShowCallFailure(const quorrel::CallFailure& failure) {
    if (failure.kind == quorrel::FailureKind::ErrorExportMissing) ShowPlain(quorrel::texts::kNoLastErrorExport);
    ShowFailure(failure.text);
}

}  // namespace parbex
