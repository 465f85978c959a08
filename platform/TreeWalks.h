#pragma once

#include "platform/FolderListing.h"
#include "platform/NameInFolder.h"

#include <cstddef>
#include <string>
#include <vector>

namespace quorvane {

// The walks FileManager makes through a whole tree to remove, compare and list it. None of them follows a
// link beneath the item it starts at.

// Deletes the file, link or whole tree at the name in an open folder, granting a folder without write or
// search permission of its own that permission first so that it can be emptied. Goes on past an entry it
// cannot delete; answers whether everything went.
bool removeTree(NameInFolder entry);

// Identical files (sizes first, then contents), identical link targets, or folders with identical trees.
// Entries are looked up name by name in the folders being compared.
bool equalEntries(NameInFolder entry1, NameInFolder entry2);

// Counts the open folder's descendants at any depth in *count and, given out, lists their paths there,
// below relative; folders beneath are opened by name, never through a link.
void collectSubpaths(FolderListing* dir, const std::string& relative, std::vector<std::string>* out,
                     std::size_t* count);

} // namespace quorvane
