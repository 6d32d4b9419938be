#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "TurnHolder.h"

namespace ferrymark {

// One job's turn on the disks it uses: an exclusive lock (flock) on a file per disk in the
// turns folder, held until the job ends. A process that dies lets go of its locks with it.
// The locks are taken in the order of their keys, all at once or none: a job never holds one
// disk while it waits for another, so two jobs never wait for each other.
class DiskTurns {
  public:
    enum class Outcome {
        Taken,       // every disk's lock is held
        StartedNow,  // the wait was skipped; no lock is held
        Stopped,     // the job was stopped while it waited; no lock is held
    };
    // Told on the waiting thread each time what the job waits for changes.
    using WaitObserver = std::function<void(const TurnHolder&)>;

    DiskTurns();
    ~DiskTurns();
    DiskTurns(const DiskTurns&) = delete;
    DiskTurns& operator=(const DiskTurns&) = delete;

    // Worker: takes the lock of each disk in disks, in the folder open as folder (the
    // descriptor becomes this object's), waiting while another transfer holds one. Once
    // they are held, self is written into each for the ones that wait.
    Outcome take(int folder, std::vector<std::string> disks, const TurnHolder& self,
                 const WaitObserver& waiting);
    // Lets go of every lock. The end of the job, or the object's.
    void release();

    // Any thread, before or during take: it returns at once.
    void startNow();
    void stop();

  private:
    void wake();
    void unlockAll();

    int wakeFd_ = -1;
    std::atomic<bool> startNow_{false};
    std::atomic<bool> stop_{false};
    int folder_ = -1;
    std::vector<int> locks_;
};

}  // namespace ferrymark
