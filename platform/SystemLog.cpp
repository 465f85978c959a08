#include "platform/SystemLog.h"

#include <ctime>
#include <unistd.h>

namespace quorvane {

SystemLog::SystemLog(std::string programName, std::FILE* stream)
    : _programName(std::move(programName)), _stream(stream) {}

std::string SystemLog::formatLine(const std::string& programName, long pid, std::time_t time,
                                  const std::string& message) {
    std::tm local{};
    localtime_r(&time, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%b %e %H:%M:%S", &local);
    std::string line = stamp;
    line += ' ';
    line += programName;
    line += '[' + std::to_string(pid) + "]: ";
    // A message is one line: embedded line breaks would split it.
    for (char c : message) {
        line += (c == '\n' || c == '\r') ? ' ' : c;
    }
    line += '\n';
    return line;
}

void SystemLog::log(const std::string& message) {
    const std::string line =
        formatLine(_programName, static_cast<long>(getpid()), std::time(nullptr), message);
    std::fwrite(line.data(), 1, line.size(), _stream);
    std::fflush(_stream);
}

} // namespace quorvane
