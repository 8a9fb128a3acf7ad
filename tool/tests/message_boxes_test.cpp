// The program's own message boxes, shown for real: the seam's icons are what the user sees.
#include "message_boxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>

namespace parbex {
namespace {

struct BoxRow {
    const char* name;
    void (*show)(const std::string&);
    QMessageBox::Icon icon;
};

class QtMessageBoxTest : public ::testing::TestWithParam<BoxRow> {};

TEST_P(QtMessageBoxTest, ShowsTheTextWithItsIconAndOnlyOk) {
    QMessageBox::Icon icon = QMessageBox::Question;
    QString text, title;
    QMessageBox::StandardButtons buttons;
    // Read and dismissed from inside the box's own event loop, as soon as it runs.
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        icon = box->icon();
        text = box->text();
        title = box->windowTitle();
        buttons = box->standardButtons();
        box->accept();
    });
    GetParam().show("Communications error. Receive error. (WSAEMSGSIZE)");
    EXPECT_EQ(icon, GetParam().icon);
    EXPECT_EQ(text.toStdString(), "Communications error. Receive error. (WSAEMSGSIZE)");
    EXPECT_EQ(title.toStdString(), "Parbex");
    EXPECT_EQ(buttons, QMessageBox::Ok);
}

INSTANTIATE_TEST_SUITE_P(Rows, QtMessageBoxTest,
                         ::testing::Values(BoxRow{"failure", ShowFailure, QMessageBox::Warning},
                                           BoxRow{"information", ShowInfo, QMessageBox::Information},
                                           BoxRow{"plain", ShowPlain, QMessageBox::NoIcon}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace parbex
