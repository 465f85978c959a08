#pragma once

#include "platform/Log.h"

#include <cstdio>
#include <ctime>
#include <string>

namespace quorvane {

// Writes "Dec  6 09:49:25 quorvane-updater[1234]: message" lines to a stream (standard error by default).
class SystemLog : public Log {
public:
    explicit SystemLog(std::string programName, std::FILE* stream = stderr);
    void log(const std::string& message) override;

    // The line as written, for a given time and process id.
    static std::string formatLine(const std::string& programName, long pid, std::time_t time,
                                  const std::string& message);

private:
    std::string _programName;
    std::FILE* _stream;
};

} // namespace quorvane
