#include "platform/qt/QtWindow.h"

#include "platform/UserDefaults.h"
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

// The bottom edge of the primary screen, where the window's y = 0 lies.
int screenBottom() {
    const QRect primary = QGuiApplication::primaryScreen()->geometry();
    return primary.y() + primary.height();
}

QRect available() {
    return QGuiApplication::primaryScreen()->availableGeometry();
}

class QtWindowTest : public testing::Test {
protected:
    test::TemporaryFolder folder;
    std::string preferences = folder / "preferences.ini";
    UserDefaults userDefaults{preferences};
    QWidget widget;
    QtWindow window{widget, userDefaults};
};

TEST_F(QtWindowTest, FrameCountsUpwardFromTheBottomOfTheScreen) {
    widget.setGeometry(QRect(100, 50, 300, 200));
    EXPECT_EQ(window.frame(), (Rect{100, static_cast<float>(screenBottom() - 250), 300, 200}));

    window.setFrame(Rect{120, 80, 320, 240}, true);
    EXPECT_EQ(widget.geometry(), QRect(120, screenBottom() - 80 - 240, 320, 240));
    EXPECT_EQ(window.frame(), (Rect{120, 80, 320, 240}));
}

TEST_F(QtWindowTest, FrameIsKeptOnTheScreenWithItsDecorations) {
    widget.show();
    const QRect area = available();
    const QSize decorations = widget.frameGeometry().size() - widget.size();
    struct Case {
        const char* what;
        Rect frame;
        QSize outerSize; // decorations included
    };
    const Case cases[] = {
        {"taller and wider than the screen", Rect{0, 0, 10000.f, 10000.f}, area.size()},
        {"grown up past the top", Rect{10, 10, 300, static_cast<float>(area.height())},
         QSize(300 + decorations.width(), area.height())},
        {"left of and below the screen", Rect{-500, -400, 300, 200}, QSize(300, 200) + decorations},
        {"right of and above the screen", Rect{5000, 5000, 300, 200}, QSize(300, 200) + decorations},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        window.setFrame(c.frame, true);
        EXPECT_TRUE(area.contains(widget.frameGeometry()));
        EXPECT_EQ(widget.frameGeometry().size(), c.outerSize);
    }
}

TEST_F(QtWindowTest, FrameIsSavedUnderItsNameAndRestoredInTheNextRun) {
    widget.setWindowTitle("Quorvane Updater");
    window.setFrameAutosaveName(window.title());
    window.makeKeyAndOrderFront();
    EXPECT_TRUE(widget.isVisible());
    window.setFrame(Rect{40, 60, 420, 260}, true);
    widget.close();
    userDefaults.synchronize();

    UserDefaults nextRun(preferences);
    EXPECT_TRUE(nextRun.stringForKey("NSWindow Frame Quorvane Updater").has_value());
    QWidget otherName;
    QtWindow other(otherName, nextRun);
    const Rect untouched = other.frame();
    other.setFrameAutosaveName("Something Else");
    EXPECT_EQ(other.frame(), untouched);

    QWidget restoredWidget;
    QtWindow restored(restoredWidget, nextRun);
    restored.setFrameAutosaveName("Quorvane Updater");
    EXPECT_EQ(restored.frame(), (Rect{40, 60, 420, 260}));
}

TEST_F(QtWindowTest, DamagedSavedFrameIsIgnored) {
    widget.setGeometry(QRect(10, 10, 300, 200));
    const Rect before = window.frame();
    for (const char* saved : {"", "abc", "1 2 3", "10 10 0 200", "10 10 nan 200", "1 2 3 4 5"}) {
        SCOPED_TRACE(saved);
        userDefaults.setString(saved, "NSWindow Frame Damaged");
        window.setFrameAutosaveName("Damaged");
        EXPECT_EQ(window.frame(), before);
    }
}

class AlertSheetTest : public QtWindowTest {
protected:
    AlertSheetTest() { widget.show(); }

    QMessageBox* openSheet(std::optional<std::string> alternateButton) {
        window.beginAlertSheet(AlertSheet{"Title <i>t</i>", "OK", std::move(alternateButton), "<b>x</b> %@%d",
                                          [this](int returnCode) {
                                              returnCodes.push_back(returnCode);
                                              boxVisibleAtDismissal = box && box->isVisible();
                                          },
                                          {}});
        box = widget.findChild<QMessageBox*>();
        return box;
    }

    QAbstractButton* button(const QString& text) {
        for (QAbstractButton* candidate : box->buttons()) {
            if (candidate->text() == text) {
                return candidate;
            }
        }
        return nullptr;
    }

    QPointer<QMessageBox> box;
    std::vector<int> returnCodes;
    bool boxVisibleAtDismissal = true;
};

TEST_F(AlertSheetTest, ShowsTitleAndMessageAsPlainTextInAWindowModalBox) {
    ASSERT_NE(openSheet("Cancel"), nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_TRUE(returnCodes.empty());
    QStringList texts;
    for (QLabel* label : box->findChildren<QLabel*>()) {
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        texts.append(label->text());
    }
    EXPECT_TRUE(texts.contains("<b>x</b> %@%d"));
    EXPECT_TRUE(texts.contains("Title <i>t</i>"));
}

TEST_F(AlertSheetTest, ButtonsAnswerOneForTheDefaultAndZeroForTheAlternateAfterTheBoxHasClosed) {
    struct Case {
        const char* pressed;
        int returnCode;
    };
    for (const Case c : {Case{"OK", NSAlertDefaultReturn}, Case{"Cancel", NSAlertAlternateReturn}}) {
        SCOPED_TRACE(c.pressed);
        returnCodes.clear();
        ASSERT_NE(openSheet("Cancel"), nullptr);
        EXPECT_EQ(box->buttons().size(), 2);
        EXPECT_EQ(box->defaultButton(), button("OK"));
        button(c.pressed)->click();
        EXPECT_EQ(returnCodes, std::vector<int>{c.returnCode});
        EXPECT_FALSE(boxVisibleAtDismissal);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(box.isNull());
    }
}

TEST_F(AlertSheetTest, SheetWithoutAlternateButtonHasOneButton) {
    ASSERT_NE(openSheet(std::nullopt), nullptr);
    ASSERT_EQ(box->buttons().size(), 1);
    box->reject(); // Escape or the window's close button
    EXPECT_EQ(returnCodes, std::vector<int>{NSAlertDefaultReturn});
}

} // namespace
} // namespace quorvane
