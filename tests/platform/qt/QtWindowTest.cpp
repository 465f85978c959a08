#include "platform/qt/QtWindow.h"

#include "platform/Preferences.h"
#include "support/TemporaryFolder.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
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
    window.setFrame(Rect{120, 80, 320, 240});
    EXPECT_EQ(widget.geometry(), QRect(120, bottom - 80 - 240, 320, 240));
    EXPECT_EQ(window.frame(), (Rect{120, 80, 320, 240}));
}

TEST_F(QtWindowTest, FrameIsKeptOnTheScreenWithItsDecorations) {
    widget.show();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize decorations = widget.frameGeometry().size() - widget.size();
    const std::tuple<const char*, Rect, QSize> cases[] = {
        // the frame asked for; the outer size it gets
        {"taller and wider than the screen", Rect{0, 0, 10000.f, 10000.f}, area.size()},
        {"left of and below the screen", Rect{-500, -400, 300, 200}, QSize(300, 200) + decorations},
    };
    for (const auto& [what, frame, outerSize] : cases) {
        SCOPED_TRACE(what);
        window.setFrame(frame);
        EXPECT_TRUE(area.contains(widget.frameGeometry()));
        EXPECT_EQ(widget.frameGeometry().size(), outerSize);
    }
}

// The title and message show as typed, in a box modal to the window; a button answers after the box
// has closed, and Escape answers as Cancel, or as OK where there is no Cancel, never as the further action.
TEST_F(QtWindowTest, SheetShowsItsTextsPlainAndAnswersAfterClosing) {
    widget.show();
    const struct {
        const char* press; // a button's text, or "Escape"
        std::optional<std::string> cancel;
        SheetAnswer answer;
    } cases[] = {
        {"Cancel", "Cancel", SheetAnswer::cancel},
        {"Put Back", "Cancel", SheetAnswer::furtherAction},
        {"Escape", "Cancel", SheetAnswer::cancel},
        {"Escape", std::nullopt, SheetAnswer::ok},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.press) + (c.cancel ? " with Cancel" : ""));
        QPointer<QMessageBox> box;
        std::vector<std::pair<SheetAnswer, bool>> answers; // with whether the box was still shown
        window.openSheet(
            Sheet{"Title <i>t</i>", "<b>x</b> %@%d", "OK", c.cancel, "Put Back", {}, [&](SheetAnswer answer) {
                      answers.emplace_back(answer, box && box->isVisible());
                  }});
        box = widget.findChild<QMessageBox*>();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowModality(), Qt::WindowModal);
        for (QLabel* label : box->findChildren<QLabel*>()) {
            EXPECT_EQ(label->textFormat(), Qt::PlainText);
        }
        EXPECT_EQ(box->text() + "|" + box->informativeText(), "Title <i>t</i>|<b>x</b> %@%d");
        EXPECT_EQ(box->defaultButton()->text(), "OK");
        if (std::string(c.press) == "Escape") {
            QTest::keyClick(box, Qt::Key_Escape);
        } else {
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == c.press) {
                    button->click();
                }
            }
        }
        EXPECT_EQ(answers, (std::vector<std::pair<SheetAnswer, bool>>{{c.answer, false}}));
        delete box;
    }
}

// Details show as a list of their lines: Ctrl+C there copies the selected lines (the list's own copy takes
// the current one alone), and Escape there still answers the sheet as Cancel.
TEST_F(QtWindowTest, SheetDetailsCopyTheirSelectedLinesAndLetEscapeThrough) {
    widget.show();
    std::optional<SheetAnswer> answer;
    window.openSheet(Sheet{"Title", "Message", "OK", "Cancel", std::nullopt, "a\nb\nc\n",
                           [&](SheetAnswer given) { answer = given; }});
    auto* list = widget.findChild<QListView*>();
    ASSERT_NE(list, nullptr);
    list->selectionModel()->select(QItemSelection(list->model()->index(1, 0), list->model()->index(2, 0)),
                                   QItemSelectionModel::Select);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "b\nc\n");
    QTest::keyClick(list, Qt::Key_Escape);
    EXPECT_EQ(answer, SheetAnswer::cancel);
}

} // namespace
} // namespace quorvane
