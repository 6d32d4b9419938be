#pragma once

#include <functional>
#include <string>

namespace ferrymark {

// The system log: one line to standard error and to syslog(3).
class SystemLog {
  public:
    using Sink = std::function<void(const std::string&)>;

    static void write(const std::string& line);
    // Tests capture the lines instead; an empty sink restores the system log.
    static void setSinkForTesting(Sink sink);
};

}  // namespace ferrymark
