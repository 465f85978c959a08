#pragma once

#include "support/WindowHarness.h"

namespace quorvane::test {

// Two valid installations (rows 0 and 1, the first selected) and a damaged one (row 2), and things to drag.
struct Listed : WindowHarness {
    explicit Listed(Options options = {}) : WindowHarness(std::move(options)) {
        list().addFolders(Paths{valid1, damaged, valid2});
    }
    // Drops the items onto the row, or into the gap above it.
    bool drop(const Paths& items, int row,
              DropPosition::Placement placement = DropPosition::Placement::onRow) {
        return controller().dropTarget().drop(items, DropPosition{row, placement});
    }

    std::string valid1 = folder.makeInstallation("home/valid1"),
                valid2 = folder.makeInstallation("home/valid2"),
                damaged = folder.makeInstallation("home/damaged", "1.0"),
                newValid = folder.makeInstallation("home/newValid"),
                newDamaged = folder.makeInstallation("home/newDamaged", ""),
                addon = (folder.writeFile("drops/addon/Art/tree.png", "tree"), folder / "drops/addon"),
                readme = folder.writeFile("drops/readme.txt", "hello");
};

} // namespace quorvane::test
