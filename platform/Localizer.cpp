#include "platform/Localizer.h"

#include <QCoreApplication>
#include <QLocale>
#include <QString>
#include <QTranslator>

namespace quorvane {
namespace {

constexpr const char* kContext = "Quorvane";

// The numbers among the arguments the line's placeholders take, from the argument at next on; next moves
// past them.
std::vector<int> lineNumbers(std::string_view line, const std::vector<FormatArgument>& arguments,
                             std::size_t& next) {
    std::vector<int> numbers;
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        if (line[i] != '%') {
            continue;
        }
        const char kind = line[++i];
        if ((kind == '@' || kind == 'd') && next < arguments.size()) {
            if (const int* number = std::get_if<int>(&arguments[next])) {
                numbers.push_back(*number);
            }
            ++next;
        }
    }
    return numbers;
}

} // namespace

std::string Localizer::text(const std::string& key) const {
    if (key.empty() || QCoreApplication::instance() == nullptr) {
        return key;
    }
    const QString translated = QCoreApplication::translate(kContext, key.c_str());
    return translated.toStdString();
}

std::string Localizer::counted(const std::string& key, int number) {
    if (key.empty() || QCoreApplication::instance() == nullptr) {
        return key;
    }
    return QCoreApplication::translate(kContext, key.c_str(), nullptr, number).toStdString();
}

std::string Localizer::message(const std::string& key, const std::vector<FormatArgument>& arguments) const {
    std::size_t next = 0;
    const std::vector<int> all = lineNumbers(key, arguments, next);
    if (const std::string whole = all.empty() ? text(key) : counted(key, all.front()); whole != key) {
        return formatMessage(whole, arguments);
    }
    // Line by line: "%d files added\n%d previous files backed up" has a form for each count.
    std::string translated;
    next = 0;
    for (std::size_t start = 0; start <= key.size();) {
        const std::size_t end = std::min(key.find('\n', start), key.size());
        const std::string line = key.substr(start, end - start);
        const std::vector<int> numbers = lineNumbers(line, arguments, next);
        translated += numbers.empty() ? text(line) : counted(line, numbers.front());
        if (end < key.size()) {
            translated += '\n';
        }
        start = end + 1;
    }
    return formatMessage(translated, arguments);
}

bool Localizer::loadTranslation(QTranslator& translator, const QLocale& locale, const char* folder) {
    const QString tables = QString::fromUtf8(folder);
    return translator.load(locale, QStringLiteral("quorvane"), QStringLiteral("_"), tables) ||
           translator.load(QStringLiteral("quorvane_en"), tables);
}

} // namespace quorvane
