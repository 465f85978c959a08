#pragma once

#include "support/TemporaryFolder.h"

#include <string>
#include <sys/stat.h>

namespace quorvane::test {

// A stand-in for locate at relative in the folder: it prints the given output and writes its working
// folder and arguments, one per line, to "<script>.ran".
inline std::string writeLocateStandIn(const TemporaryFolder& folder, const std::string& relative,
                                      const std::string& output) {
    const std::string script = folder.writeFile(relative, "#!/bin/sh\n"
                                                          "printf '%s\\n' \"$PWD\" \"$@\" > \"$0.ran\"\n"
                                                          "cat \"$0.output\"\n"
                                                          "test -s \"$0.output\"\n"); // as locate
    folder.writeFile(relative + ".output", output);
    ::chmod(script.c_str(), 0755);
    return script;
}

} // namespace quorvane::test
