#pragma once

#include <string>
#include <unordered_set>

namespace ferrymark {

// What one running job has in flight: the folders in which it creates temporary items, in
// a small file under the user's state folder ($XDG_STATE_HOME or ~/.local/state, then
// "ferrymark"). The file goes when the job ends; one left by a process that is gone names
// the folders where that process's unfinished copies may lie.
class InFlightRecord {
  public:
    InFlightRecord();
    ~InFlightRecord();
    InFlightRecord(const InFlightRecord&) = delete;
    InFlightRecord& operator=(const InFlightRecord&) = delete;

    // A fresh temporary name, hidden and marked as this process's: ".ferrymark-<pid>.<n>.part".
    std::string temporaryName();
    // Notes that temporary items are about to be made in folder. Written before the first
    // one is created there.
    void noteFolder(const std::string& folder);

    // Removes the temporary items of processes that are gone, and their records. Only
    // names of the temporary pattern with the dead owner's id, and only regular files, links
    // and folders, in the folders its record names.
    static void cleanUpLeftovers();
    // The state folder in use.
    static std::string stateFolder();
    static bool isTemporaryName(const std::string& name);

  private:
    std::string recordPath_;
    int fd_ = -1;
    std::string prefix_;
    unsigned long long counter_ = 0;
    std::unordered_set<std::string> folders_;
};

}  // namespace ferrymark
