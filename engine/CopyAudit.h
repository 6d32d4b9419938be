#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

#include "CopyJournal.h"

namespace ferrymark {

class CopyHandler;
class FolderHandle;

// The passes over what a job copied, once its copies are on the disk.
class CopyAudit {
  public:
    // target, where given, is the job's target folder held open since the job began: copies
    // are found through it when the user renamed or moved it meanwhile.
    CopyAudit(CopyHandler& job, CopyJournal& journal, const FolderHandle* target = nullptr)
        : job_(job), journal_(journal), target_(target) {}

    // Each copy must still be where the job put it, as the item it wrote: one removed or
    // replaced meanwhile (by another program, or a clean-up gone wrong) puts its source in
    // the report, and a Move keeps that source.
    void confirmCopies();
    // A Move's removal: of each wholly transferred source, only what this job copied (the
    // same item by device and inode, its status unchanged since it was read, and not after
    // start), then the folders left empty. Anything else stays, with its folders.
    void removeSources(const timespec& start);

  private:
    // Copies made into one folder, checked together.
    void confirmRun(const FolderHandle& folder, bool matches,
                    const std::vector<CopyJournal::Entry>& run);
    bool removedLink(const FolderHandle& folder, const CopyJournal::Entry& entry,
                     const struct stat& status);
    void logLeftIn(const FolderHandle& folder, const std::string& name, const std::string& path);
    // One pass over the folders; true when it removed any. left counts those still there;
    // the last pass says why each stays.
    bool removeFolders(const std::vector<char>& whole, bool last, std::size_t& left);

    CopyHandler& job_;
    CopyJournal& journal_;
    const FolderHandle* target_ = nullptr;
    timespec start_{};
    // Each source's path, without trailing separators.
    std::vector<std::string> items_;
};

}  // namespace ferrymark
