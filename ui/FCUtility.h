#pragma once

#include <cstdint>
#include <string>

namespace ferrymark {

// Texts for byte counts and durations in the progress window. Pure, free of Qt, UTF-8.
class FCUtility {
  public:
    static std::string dataSizeToString(std::int64_t bytes);
    static std::string timeIntervalToStringWithInterval(double seconds);
};

}  // namespace ferrymark
