#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace ferrymark::test {

// One run of a command-line program with raw-byte arguments, its output captured.
class ToolRun {
  public:
    // Runs program with args (argv[1]...) in the folder workingFolderFd (-1: ours). A run
    // that outlasts timeout is killed and reported as timedOut.
    static ToolRun run(const std::string& program, const std::vector<std::string>& args,
                       int workingFolderFd = -1,
                       std::chrono::seconds timeout = std::chrono::seconds(120));

    int exitCode = -1;  // -1 when it did not exit normally
    int signal = 0;     // the signal that ended it, 0 for none
    bool timedOut = false;
    std::string out;
    std::string err;

    std::vector<std::string> logLines() const;    // "log: " lines of out, without the prefix
    bool printed(const std::string& part) const;  // in out or err
    std::string summary() const;                  // for failure messages
};

}  // namespace ferrymark::test
