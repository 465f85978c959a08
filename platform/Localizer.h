#pragma once

#include "platform/MessageFormat.h"

#include <string>
#include <vector>

class QLocale;
class QTranslator;

namespace quorvane {

// Looks up the text shown to the user, keyed by its English text, in the translations the program has
// loaded. Without a translation the text is its key.
class Localizer {
public:
    // Where the program's translation tables are: quorvane_<language>.qm, made from resources/translations.
    static constexpr const char* translationFolder = ":/i18n";

    virtual ~Localizer() = default;
    virtual std::string text(const std::string& key) const;
    // The message filled with its arguments, in the forms its numbers call for ("1 file added"). The key
    // stays the English template ("%d files added"); the table holds the forms of each line of it, keyed
    // by that line and chosen by the line's first number, unless it has the whole message.
    std::string message(const std::string& key, const std::vector<FormatArgument>& arguments) const;

    // Loads the table for the locale's languages, or else the English one (its plural forms), from the
    // folder into the translator; no when there is neither.
    static bool loadTranslation(QTranslator& translator, const QLocale& locale,
                                const char* folder = translationFolder);

private:
    // The translation of the key, in the form for the number; the key itself without one.
    static std::string counted(const std::string& key, int number);
};

} // namespace quorvane
