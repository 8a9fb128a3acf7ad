#include "message_boxes.h"

#include <QMessageBox>

#include "shown_texts.h"

namespace parbex {
namespace {

// The title every box carries: the application's name, as the old framework did.
constexpr const char* kMessageTitle = "Parbex";

class QtMessageBoxes final : public MessageBoxes {
public:
    void Show(QWidget* parent, const QString& text, MessageIcon icon, const QString& detail) override {
        QMessageBox box(ToQtIcon(icon), QString::fromLatin1(kMessageTitle), text, QMessageBox::Ok, parent);
        box.setInformativeText(detail);
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

QString FromLocal8Bit(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

void Show(QWidget* parent, const std::string& text, MessageIcon icon, const std::string& detail = {}) {
    CurrentMessageBoxes().Show(parent, FromLocal8Bit(text), icon, FromLocal8Bit(detail));
}

}  // namespace

MessageBoxes& CurrentMessageBoxes() { return *g_pMessageBoxes; }

MessageBoxes* InstallMessageBoxes(MessageBoxes* boxes) {
    MessageBoxes* previous = g_pMessageBoxes;
    g_pMessageBoxes = boxes != nullptr ? boxes : &g_qtMessageBoxes;
    return previous;
}

void ShowFailure(QWidget* parent, const std::string& text) { Show(parent, text, MessageIcon::Warning); }
void ShowInfo(QWidget* parent, const std::string& text, const std::string& detail) {
    Show(parent, text, MessageIcon::Information, detail);
}
void ShowPlain(QWidget* parent, const std::string& text) { Show(parent, text, MessageIcon::None); }

void ShowCallFailure(QWidget* parent, const quorrel::CallFailure& failure) {
    if (failure.kind == quorrel::FailureKind::ErrorExportMissing) {
        ShowPlain(parent, quorrel::texts::kNoLastErrorExport);
    }
    ShowFailure(parent, failure.text);
}

}  // namespace parbex
