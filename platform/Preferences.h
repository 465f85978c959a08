#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QSettings;

namespace quorvane {

// The user's preferences, kept in one settings file. A damaged file never stops the program: it is set
// aside and the program starts from empty preferences.
class Preferences {
public:
    explicit Preferences(const std::string& filePath);
    ~Preferences();
    Preferences(const Preferences&) = delete;
    Preferences& operator=(const Preferences&) = delete;

    // The stored list of strings, byte for byte as stored; none if absent or not such a list.
    std::optional<std::vector<std::string>> stringList(const std::string& key) const;
    // Kept for later runs; written to disk at the store's own time (at the latest by sync() or
    // destruction).
    void setStringList(const std::string& key, const std::vector<std::string>& strings);

    // Changes the stored list in one step with the file: what other processes of the program stored is read
    // first, the list is changed from that and written at once, and no other process does the same
    // meanwhile. Answers as sync().
    using ListChange =
        std::function<std::vector<std::string>(std::optional<std::vector<std::string>> stored)>;
    int changeStringList(const std::string& key, const ListChange& change);

    std::optional<std::string> stringValue(const std::string& key) const;
    void setString(const std::string& key, const std::string& value);

    // Writes what was set to the file now. 0 when it is written, else the system's error number for what
    // stands in the way (EIO when nothing more precise is found).
    int sync();
    std::string filePath() const;

private:
    std::unique_ptr<QSettings> _settings;
};

} // namespace quorvane
