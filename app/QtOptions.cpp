#include "app/QtOptions.h"

#include <algorithm>
#include <cstring>

namespace quorvane::qtoptions {
namespace {

struct QtOption {
    const char* name;
    const char* value; // nullptr: a flag
    const char* description;
};

constexpr QtOption kOptions[] = {
    {"platform", "name[:options]", "The windowing system plug-in (xcb, wayland, offscreen, …)."},
    {"platformpluginpath", "path", "Where to look for windowing system plug-ins."},
    {"platformtheme", "theme", "The platform theme."},
    {"plugin", "plugin", "An additional plug-in to load."},
    {"style", "style", "The widget style (Fusion, …)."},
    {"stylesheet", "file", "A style sheet file for the window."},
    {"qwindowgeometry", "geometry", "The window's size and position, as X11's -geometry gives it."},
    {"geometry", "geometry", "The same as -qwindowgeometry."},
    {"qwindowicon", "icon", "The window's icon."},
    {"qwindowtitle", "title", "The window's title."},
    {"title", "title", "The same as -qwindowtitle."},
    {"display", "display", "The X display to use."},
    {"name", "name", "The application's name for the window system."},
    {"session", "session", "The session to restore."},
    {"reverse", nullptr, "Lays the window out right to left."},
    {"widgetcount", nullptr, "Prints how many widgets were left at the end."},
    {"nograb", nullptr, "Never grabs the mouse or keyboard."},
    {"dograb", nullptr, "Grabs the mouse and keyboard even under a debugger."},
    {"sync", nullptr, "Runs X11 synchronously, for debugging."},
};

} // namespace

int argumentsTaken(int argc, char** argv, int index) {
    const char* argument = argv[index];
    if (argument[0] != '-') {
        return 0;
    }
    argument += argument[1] == '-' ? 2 : 1;
    const char* equals = std::strchr(argument, '=');
    const std::size_t length =
        equals != nullptr ? static_cast<std::size_t>(equals - argument) : std::strlen(argument);
    for (const QtOption& option : kOptions) {
        if (std::strlen(option.name) != length || std::strncmp(option.name, argument, length) != 0) {
            continue;
        }
        if (option.value == nullptr || equals != nullptr) {
            return 1;
        }
        return index + 1 < argc ? 2 : 1;
    }
    return 0;
}

std::string helpText() {
    std::string text = "\nQt options, for the window:\n";
    for (const QtOption& option : kOptions) {
        std::string usage = std::string("  -") + option.name;
        if (option.value != nullptr) {
            usage += std::string(" <") + option.value + ">";
        }
        usage.resize(std::max<std::size_t>(usage.size() + 2, 34), ' ');
        text += usage + option.description + "\n";
    }
    return text;
}

} // namespace quorvane::qtoptions
