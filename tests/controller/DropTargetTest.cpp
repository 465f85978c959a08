// Drags over the rows: where they land, and what a drop starts.
#include "Listed.h"

#include <gtest/gtest.h>

namespace quorvane::test {
namespace {

using Placement = DropPosition::Placement;
constexpr auto kOn = Placement::onRow, kAbove = Placement::aboveRow;

TEST(DropTarget, TheTargetRowFollowsWhatIsDragged) {
    const std::optional<DropPosition> refused;
    const struct {
        const char* what;
        std::vector<std::string Listed::*> dragged; // none: a drag without file names
        int row;
        std::optional<DropPosition> target;
    } cases[] = {
        {"content onto a valid row", {&Listed::addon, &Listed::readme}, 1, DropPosition{1, kOn}},
        {"content onto the damaged row", {&Listed::addon}, 2, refused},
        {"content past the end: the last row, damaged", {&Listed::addon}, 3, refused},
        {"no file names", {}, 0, refused},
        {"a valid installation, listed or not: above the first damaged row",
         {&Listed::valid1},
         0,
         DropPosition{2, kAbove}},
        {"a damaged installation: after the last row", {&Listed::newDamaged}, 0, DropPosition{3, kAbove}},
        {"the first valid one decides",
         {&Listed::readme, &Listed::newDamaged, &Listed::newValid},
         1,
         DropPosition{2, kAbove}},
        {"else the last item: damaged", {&Listed::readme, &Listed::newDamaged}, 0, DropPosition{3, kAbove}},
        {"else the last item: content", {&Listed::newDamaged, &Listed::readme}, 0, DropPosition{0, kOn}},
    };
    for (const auto& c : cases) {
        Listed h;
        std::optional<Paths> dragged;
        for (const auto member : c.dragged) {
            dragged = dragged.value_or(Paths{}), dragged->push_back(h.*member);
        }
        EXPECT_EQ(h.controller().dropTarget().judgeDrag(dragged, DropPosition{c.row, kAbove}), c.target)
            << c.what;
    }
}

// An installation not found at start takes drops once its drive is back, and the drop follows its row.
TEST(DropTarget, AnAbsentInstallationThatIsBackTakesTheDrag) {
    WindowHarness::Options options;
    TemporaryFolder other;
    const std::string gone = other / "gone", valid = other.makeInstallation("valid");
    const std::string damaged = other.makeInstallation("damaged", "");
    options.saved = Paths{damaged, gone, valid};
    WindowHarness h(options);
    h.controller().start();
    const Paths addon{h.folder.makeFolder("drops/addon")};
    EXPECT_EQ(h.controller().dropTarget().judgeDrag(addon, DropPosition{2, kOn}), std::nullopt);
    other.makeInstallation("gone");
    EXPECT_EQ(h.controller().dropTarget().judgeDrag(addon, DropPosition{2, kOn}), (DropPosition{1, kOn}));
    EXPECT_EQ(h.rowPaths(), (Paths{valid, gone, damaged}));
}

TEST(DropTarget, TakesNothingOffAValidRowNorWhileASheetIsOpen) {
    Listed h;
    for (const int row : {2, 3, -1}) {
        EXPECT_FALSE(h.drop(Paths{h.addon}, row)) << row;
    }
    EXPECT_TRUE(h.view.sheets.empty());
    EXPECT_FALSE(h.controller().dropTarget().drop(std::nullopt, DropPosition{0, kOn}));
    EXPECT_EQ(h.view.sheet() + "|" + h.view.sheets.back().cancelButton.value_or("-"),
              "Can't handle this item||-");
    h.view.answer(SheetAnswer::ok);

    ASSERT_TRUE(h.drop(Paths{h.addon}, 0));
    h.waitForPlan();
    EXPECT_EQ(h.controller().dropTarget().judgeDrag(Paths{h.readme}, DropPosition{1, kOn}), std::nullopt);
    EXPECT_FALSE(h.drop(Paths{h.readme}, 1));
    EXPECT_EQ(h.view.sheets.size(), 1u);
    h.view.answer(SheetAnswer::cancel);

    EXPECT_TRUE(h.drop(Paths{h.readme, h.newDamaged, h.newValid}, 2, kAbove));
    EXPECT_EQ(h.rowPaths(), (Paths{h.valid1, h.valid2, h.newValid, h.damaged, h.newDamaged}));
    EXPECT_FALSE(h.drop(Paths{h.valid1}, 0, kAbove)) << "listed already";
}

} // namespace
} // namespace quorvane::test
