// The program's own message boxes, shown for real: the seam's icons are what the user sees.
#include "message_boxes.h"

#include <QApplication>
#include <QWidget>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>

namespace parbex {
namespace {

struct BoxRow {
    const char* name;
    void (*show)(QWidget*, const std::string&);
    QMessageBox::Icon icon;
    const char* detail;
};

void ShowInfoWithDetail(QWidget* parent, const std::string& text) { ShowInfo(parent, text, "Run this."); }

class QtMessageBoxTest : public ::testing::TestWithParam<BoxRow> {};

TEST_P(QtMessageBoxTest, ShowsTheTextWithItsIconAndOnlyOk) {
    QMessageBox::Icon icon = QMessageBox::Question;
    QString text, title, detail;
    QMessageBox::StandardButtons buttons;
    QWidget* parent = nullptr;
    QWidget window;
    window.show();
    // Read and dismissed from inside the box's own event loop, as soon as it runs.
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        icon = box->icon();
        text = box->text();
        title = box->windowTitle();
        buttons = box->standardButtons();
        parent = box->parentWidget();
        detail = box->informativeText();
        box->accept();
    });
    // No window is active, as on Wayland right after a dialog closed: the box still has its parent.
    QApplication::setActiveWindow(nullptr);
    GetParam().show(&window, "Communications error. Receive error. (WSAEMSGSIZE)");
    EXPECT_EQ(icon, GetParam().icon);
    EXPECT_EQ(text.toStdString(), "Communications error. Receive error. (WSAEMSGSIZE)");
    EXPECT_EQ(title.toStdString(), "Parbex");
    EXPECT_EQ(buttons, QMessageBox::Ok);
    EXPECT_EQ(parent, &window);
    EXPECT_EQ(detail.toStdString(), GetParam().detail);
}

INSTANTIATE_TEST_SUITE_P(Rows, QtMessageBoxTest,
                         ::testing::Values(BoxRow{"failure", ShowFailure, QMessageBox::Warning, ""},
                                           BoxRow{"information", ShowInfoWithDetail, QMessageBox::Information,
                                                  "Run this."},
                                           BoxRow{"plain", ShowPlain, QMessageBox::NoIcon, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace parbex
