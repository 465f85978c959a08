#pragma once

#include <string>

namespace quorvane {

// Looks up the text shown to the user, keyed by its English text, in the translations the program has
// loaded. Without a translation the text is its key.
class Localizer {
public:
    virtual ~Localizer() = default;
    virtual std::string text(const std::string& key) const;
};

} // namespace quorvane
