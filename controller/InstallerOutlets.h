#pragma once

namespace quorvane {

class Button;
class ProgressIndicator;
class TableView;
class TextField;
class Window;

// The window's controls the controller refers to. Any of them may be missing; the controller then
// leaves that control alone.
struct InstallerOutlets {
    TableView* appPathSelector = nullptr;
    TextField* file = nullptr;
    Window* window = nullptr;
    ProgressIndicator* progress = nullptr;
    TextField* fileLabel = nullptr;
    Button* cancelButton = nullptr;
};

} // namespace quorvane
