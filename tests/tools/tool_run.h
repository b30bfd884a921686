#pragma once

#include "tarvex/command.h"

#include <sstream>
#include <string>
#include <vector>

namespace tarvex::cli {

// One run of the tool on `words`, with what it printed.
struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

inline ToolRun run(const std::vector<std::string>& words) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = runTool(words, out, err);
    return {status, out.str(), err.str()};
}

} // namespace tarvex::cli
