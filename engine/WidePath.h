#pragma once

#include <string>

namespace ferrymark {

// Paths given as UTF-32 become the UTF-8 bytes the file system is handed.
class WidePath {
  public:
    static std::string toBytes(const std::u32string& path);
};

}  // namespace ferrymark
