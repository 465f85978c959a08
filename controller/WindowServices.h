#pragma once

#include "engine/UpdateServices.h"

#include <string>

namespace quorvane {

class Desktop;
class Preferences;

// What the window's side works through: the services of its updates, the desktop, the preferences, and
// the tool that looks for installations.
struct WindowServices {
    UpdateServices update;
    Desktop& desktop;
    Preferences& preferences;
    std::string locatePath = "/usr/bin/locate";
};

} // namespace quorvane
