#pragma once

namespace quorvane {

// The drag type that carries file names: a list of file URLs.
inline constexpr const char* NSFilenamesPboardType = "text/uri-list";

enum class TableViewDropOperation : int { NSTableViewDropOn = 0, NSTableViewDropAbove = 1 };

enum class DragOperation : unsigned { NSDragOperationNone = 0, NSDragOperationCopy = 1 };

} // namespace quorvane
