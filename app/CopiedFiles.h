#pragma once

#include <string>
#include <vector>

namespace ferrymark {

// The files a file manager's Copy or Cut put on the clipboard.
struct CopiedFiles {
    // Absolute local paths as raw bytes (not necessarily UTF-8), in clipboard order.
    std::vector<std::string> paths;
    // The file manager marked them as cut rather than copied.
    bool cut = false;
};

}  // namespace ferrymark
