#include "engine/ItemPlacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <boost/filesystem.hpp>
#include <cerrno>
#include <cstring>

#include "engine/CopyHandler.h"
#include "engine/FileCopy.h"
#include "engine/FileMetadata.h"
#include "engine/FolderListing.h"
#include "engine/PathPresence.h"
#include "engine/PromptTexts.h"
#include "engine/TreeTally.h"
#include "engine/UniqueTargetPath.h"

namespace fs = boost::filesystem;
using boost::system::error_code;

namespace ferrymark {
namespace {

// Keeps the chain of folders being copied, so that a link back into it is not followed.
class FolderScope {
  public:
    FolderScope(CopyHandler& job, const std::string& folder)
        : job_(job), entered_(job.enterFolder(folder)) {}
    ~FolderScope() {
        if (entered_) {
            job_.leaveFolder();
        }
    }
    FolderScope(const FolderScope&) = delete;
    FolderScope& operator=(const FolderScope&) = delete;
    bool entered() const { return entered_; }

  private:
    CopyHandler& job_;
    bool entered_;
};

void passOver(CopyHandler& job, const std::string& line) {
    job.log(line);
    job.markNotTransferred();
}

// Whether the destination is occupied; a destination that cannot be examined is passed
// over with a log line, and nothing is placed there.
bool examine(const std::string& destination, CopyHandler& job, Presence& presence) {
    std::error_code error;
    presence = destinationPresence(destination, &error);
    if (presence == Presence::Unknown) {
        passOver(job, "Can not examine " + destination + ": " + error.message());
        return false;
    }
    return true;
}

// The listing already knows most entries' kinds; links are followed.
bool isFolder(const fs::directory_entry& entry) {
    error_code ec;
    return fs::is_directory(entry.status(ec));
}

// A destination reached through a link may be the source itself: replacing it would
// delete the very data to be copied.
bool isSourceItself(const std::string& source, const std::string& destination) {
    error_code ec;
    return fs::equivalent(source, destination, ec) && !ec;
}

std::string freeName(const std::string& destination, CopyHandler& job) {
    try {
        return uniqueTargetPath(destination);
    } catch (const fs::filesystem_error& e) {
        passOver(job, "Can not find a free name for " + destination + ": " + e.what());
        return {};
    }
}

// Removes what stands at a destination for a Replace. False when it could not be removed.
bool removeForReplace(const std::string& source, const std::string& destination, CopyHandler& job) {
    if (isSourceItself(source, destination)) {
        passOver(job, "Not replaced " + destination + " with itself");
        return false;
    }
    error_code ec;
    const auto removed = fs::remove_all(destination, ec);
    return !ec && removed > 0;
}

void accountSkippedTree(const std::string& source, CopyHandler& job) {
    TreeTally::walk(
        source, job,
        [&job](std::int64_t size) {
            job.setRemainingItems(job.remainingItems() - 1);
            job.setDataProcessed(job.dataProcessed() + size);
        },
        false);
}

// The source folder's bits, access lists and times for its finished copy.
void finishFolder(const std::string& source, const std::string& destination, CopyHandler& job) {
    const int from = ::open(source.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int to = ::open(destination.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat status {};
    std::string problems;
    if (from < 0 || to < 0 || ::fstat(from, &status) != 0) {
        problems = std::strerror(errno);
    } else {
        problems = FileMetadata::copyToFolder(from, status, to);
    }
    if (!problems.empty()) {
        job.log("Copied " + destination + " without all its attributes: " + problems);
    }
    for (const int fd : {from, to}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

}  // namespace

bool placeFile(const std::string& source, const std::string& destination,
               DeferredConflictList& conflicts, CopyHandler& job) {
    Presence presence;
    if (!examine(destination, job, presence)) {
        return true;
    }
    if (presence == Presence::Absent) {
        return copyFileData(source, destination, job);
    }
    switch (job.fileNoPrompt()) {
        case Policy::Ask:
            conflicts.push_back({source, destination, false, job.currentSource()});
            return true;
        case Policy::CopyWithNewName: {
            const std::string renamed = freeName(destination, job);
            return renamed.empty() || copyFileData(source, renamed, job);
        }
        case Policy::Replace: {
            bool result = true;
            if (removeForReplace(source, destination, job)) {
                result = copyFileData(source, destination, job);
            } else {
                job.markNotTransferred();
                job.askToContinue(PromptTexts::replaceFile(source));
            }
            return job.cancelled() ? false : result;
        }
        default:
            job.markNotTransferred();
            return true;
    }
}

bool placeDirectory(const std::string& source, const std::string& destination,
                    DeferredConflictList& conflicts, CopyHandler& job) {
    Presence presence;
    if (!examine(destination, job, presence)) {
        return true;
    }
    if (presence == Presence::Absent) {
        return copyTree(source, destination, job);
    }
    switch (job.dirNoPrompt()) {
        case Policy::Ask:
            conflicts.push_back({source, destination, true, job.currentSource()});
            return true;
        case Policy::CopyWithNewName: {
            const std::string renamed = freeName(destination, job);
            return renamed.empty() || copyTree(source, renamed, job);
        }
        case Policy::Replace:
            if (!removeForReplace(source, destination, job)) {
                job.markNotTransferred();
                job.askToContinue(PromptTexts::replaceFolder(source));
            }
            if (job.cancelled()) {
                return false;
            }
            // With the old folder still there the tree copy logs and copies nothing.
            return copyTree(source, destination, job);
        case Policy::Skip:
            accountSkippedTree(source, job);
            job.markNotTransferred();
            return true;
        case Policy::Merge: {
            FolderScope scope(job, source);
            if (!scope.entered()) {
                passOver(job, "Link leads back into its own folder, not copied: " + source);
                return true;
            }
            error_code ec;
            for (fs::directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec)) {
                const fs::path entry = it->path();
                const std::string child = (fs::path(destination) / entry.filename()).string();
                const bool goOn = isFolder(*it)
                                      ? placeDirectory(entry.string(), child, conflicts, job)
                                      : placeFile(entry.string(), child, conflicts, job);
                if (!goOn) {
                    return false;
                }
            }
            if (ec) {
                passOver(job, "Can not list " + source + ": " + ec.message());
            }
            return true;
        }
        default:
            job.markNotTransferred();
            return true;
    }
}

bool copyTree(const std::string& source, const std::string& destination, CopyHandler& job) {
    const std::string failure = "Error occured while creating directory " + source;
    FolderScope scope(job, source);
    if (!scope.entered()) {
        passOver(job, "Link leads back into its own folder, not copied: " + source);
        return true;
    }
    // Only the owner may enter the folder until it is complete and has the source's bits.
    if (::mkdir(destination.c_str(), 0700) != 0) {
        passOver(job, failure);
        return true;
    }
    // The folder being filled is never entered as a source: a source that holds the target
    // would reach it and copy into itself without end.
    FolderScope filling(job, destination);
    bool goOn = true;
    error_code ec;
    FolderListing listing(source);
    FolderListing::Entry entry;
    while (goOn && listing.next(entry)) {
        const std::string from = source + "/" + entry.name;
        const std::string child = destination + "/" + entry.name;
        bool folder = entry.kind == FolderListing::Kind::Folder;
        if (entry.kind == FolderListing::Kind::Link || entry.kind == FolderListing::Kind::Unknown) {
            folder = fs::is_directory(fs::status(from, ec));  // links are followed
        }
        goOn = folder ? copyTree(from, child, job) : copyFileData(from, child, job);
    }
    if (goOn && listing.error()) {
        passOver(job, failure);
    }
    // After the contents, whose writing moved the folder's times; a stopped copy too.
    finishFolder(source, destination, job);
    return goOn;
}

}  // namespace ferrymark
