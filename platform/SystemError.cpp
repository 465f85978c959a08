#include "platform/SystemError.h"

#include <cstring>

namespace quorvane {

std::string systemErrorText(int error) {
    return error == 0 ? std::string("Unknown error") : std::string(std::strerror(error));
}

} // namespace quorvane
