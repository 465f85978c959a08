#pragma once

namespace quorvane {

// A name looked up in an open folder, as the calls "at" a folder take it: the entry is found by that one
// name, never by walking a whole path again.
struct NameInFolder {
    int folder;
    const char* name;
};

} // namespace quorvane
