#pragma once

#include <string>
#include <thread>
#include <unordered_set>

namespace ferrymark {

// What one running job has in flight: the folders in which it creates temporary items, in
// a small file in the user's private state folder (see StateFolder). The job holds an
// exclusive lock on the file from before its first temporary item until it ends, and the
// file goes with it; a file nobody holds is the record of a job that is gone, wherever its
// process ran (another pid namespace, another machine on a shared home).
class InFlightRecord {
  public:
    InFlightRecord();
    ~InFlightRecord();
    InFlightRecord(const InFlightRecord&) = delete;
    InFlightRecord& operator=(const InFlightRecord&) = delete;

    // A fresh temporary name, hidden and marked as this job's:
    // ".ferrymark-<token>.<n>.part", the token random and written in the record.
    std::string temporaryName();
    // Notes that temporary items are about to be made in the folder open as fd, reached by
    // path. On the disk before the first one is created there, for a folder that was there
    // before the job. One the job made itself is not flushed (a flush costs milliseconds,
    // and there is one per folder): after a power cut it is an unfinished copy either way.
    void noteFolder(int fd, const std::string& path);
    // Notes the folder at path, where the job will place its items, ahead of time: the
    // record is flushed while the job counts.
    void prepare(const std::string& path);
    // Notes a folder the job has just made, reached by path.
    void noteMadeFolder(const std::string& path) { made_.insert(path); }

    // Removes the temporary items of jobs that are gone, and their records: only the names
    // a record's token gives, only regular files, links and folders, and only in the folders it
    // names, reached without following any link and matching the identity it stored.
    static void cleanUpLeftovers();
    static bool isTemporaryName(const std::string& name);
    // Once per process: why no record can be kept (no private state folder), else empty.
    static std::string takeUnavailableNotice();

  private:
    bool open();
    // Writes the line for the folder open as fd. False when there is no record.
    bool writeFolder(int fd);

    int fd_ = -1;
    int folderFd_ = -1;
    std::string name_;
    std::string prefix_;
    bool failed_ = false;
    unsigned long long counter_ = 0;
    std::unordered_set<std::string> folders_;
    std::unordered_set<std::string> made_;
    bool folderSynced_ = false;
    std::thread flusher_;
};

}  // namespace ferrymark
