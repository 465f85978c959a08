#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

class QSettings;

namespace quorvane {

// The user's preferences, kept in one settings file. A damaged file never stops the program: it is set
// aside and the program starts from empty preferences.
class UserDefaults {
public:
    explicit UserDefaults(const std::string& filePath);
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    // The stored list of strings, byte for byte as stored; none if absent or not such a list.
    std::optional<std::vector<std::string>> stringArrayForKey(const std::string& key) const;
    // Kept for later runs; written to disk at the store's own time (at the latest by synchronize or
    // destruction).
    void setObject(const std::vector<std::string>& strings, const std::string& key);

    std::optional<std::string> stringForKey(const std::string& key) const;
    void setString(const std::string& value, const std::string& key);

    // Writes what was set to the file now. 0 when it is written, else the system's error number for what
    // stands in the way (EIO when nothing more precise is found).
    int synchronize();
    std::string filePath() const;

private:
    std::unique_ptr<QSettings> _settings;
};

} // namespace quorvane
