#include "platform/qt/QtWindow.h"

#include "platform/Preferences.h"
#include "support/TemporaryFolder.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <gtest/gtest.h>

namespace quorvane {
namespace {

class QtWindowTest : public testing::Test {
protected:
    test::TemporaryFolder folder;
    Preferences preferences{folder / "preferences.ini"};
    QWidget widget;
    QtWindow window{widget, preferences};
};

TEST_F(QtWindowTest, FrameCountsUpwardFromTheBottomOfTheScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const int bottom = screen.y() + screen.height();
    widget.setGeometry(QRect(100, 50, 300, 200));
    EXPECT_EQ(window.frame(), (Rect{100, static_cast<float>(bottom - 250), 300, 200}));
    window.setFrame(Rect{120, 80, 320, 240}, true);
    EXPECT_EQ(widget.geometry(), QRect(120, bottom - 80 - 240, 320, 240));
    EXPECT_EQ(window.frame(), (Rect{120, 80, 320, 240}));
}

TEST_F(QtWindowTest, FrameIsKeptOnTheScreenWithItsDecorations) {
    widget.show();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize decorations = widget.frameGeometry().size() - widget.size();
    const std::tuple<const char*, Rect, QSize> cases[] = { // the frame asked for; the outer size it gets
        {"taller and wider than the screen", Rect{0, 0, 10000.f, 10000.f}, area.size()},
        {"left of and below the screen", Rect{-500, -400, 300, 200}, QSize(300, 200) + decorations},
    };
    for (const auto& [what, frame, outerSize] : cases) {
        SCOPED_TRACE(what);
        window.setFrame(frame, true);
        EXPECT_TRUE(area.contains(widget.frameGeometry()));
        EXPECT_EQ(widget.frameGeometry().size(), outerSize);
    }
}

// The title and message show as typed, in a box modal to the window; a button answers after the box
// has closed.
TEST_F(QtWindowTest, AlertSheetShowsItsTextsPlainAndAnswersAfterClosing) {
    widget.show();
    QPointer<QMessageBox> box;
    std::vector<std::pair<int, bool>> answers; // with whether the box was still shown
    window.beginAlertSheet(AlertSheet{"Title <i>t</i>", "OK", "Cancel", "<b>x</b> %@%d", [&](int returnCode) {
        answers.emplace_back(returnCode, box && box->isVisible());
    }, {}});
    box = widget.findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    for (QLabel* label : box->findChildren<QLabel*>()) {
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
    }
    EXPECT_EQ(box->text() + "|" + box->informativeText(), "Title <i>t</i>|<b>x</b> %@%d");
    EXPECT_EQ(box->defaultButton()->text(), "OK");
    box->buttons()[box->buttons()[0]->text() == "Cancel" ? 0 : 1]->click();
    EXPECT_EQ(answers, (std::vector<std::pair<int, bool>>{{NSAlertAlternateReturn, false}}));
}

} // namespace
} // namespace quorvane
