#pragma once

#include <string_view>

namespace quorvane {

// Folders opened a part of a path at a time, for paths longer than the kernel takes in one call and for
// folders beneath an installation, where no link may be followed. Each answers an O_PATH descriptor of the
// folder (the caller closes it), or -1 with errno set.

// What a link met on the way does.
enum class LinksOnTheWay {
    follow, // as a call on the whole path would follow it
    refuse  // the walk fails with ELOOP: the folder is beneath base, by folders alone
};

// The folder at relative beneath the open folder base. relative is plain: its parts are neither empty,
// "." nor "..". Refusing links, the kernel is asked to stay beneath base where it can (openat2), else each
// part is opened by itself without following a link.
int openFolderBeneath(int base, std::string_view relative, LinksOnTheWay links);

// The folder at path, absolute or relative to the working folder, of any length, links followed.
int openFolderByPath(std::string_view path);

} // namespace quorvane
