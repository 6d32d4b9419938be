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
#include "engine/FolderHandle.h"
#include "engine/FolderListing.h"
#include "engine/PathPresence.h"
#include "engine/PromptTexts.h"
#include "engine/TreeRemoval.h"
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

void passOver(CopyHandler& job, const std::string& line, const std::string& path,
              NotTransferredReason reason, const std::string& detail = {}) {
    job.log(line);
    job.markNotTransferred(path, reason, detail);
}

// A pipe, device or socket (links followed) is passed over from its status alone: opening
// a pipe would take a message meant for another program.
bool passedOverAsSpecial(const std::string& source, CopyHandler& job) {
    struct stat st {};
    if (::stat(source.c_str(), &st) != 0 || S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) {
        return false;
    }
    passOver(job, "Not a regular file or folder, not copied: " + source, source,
             NotTransferredReason::SpecialFile);
    return true;
}

// The source folder has been placed entry by entry: a Move may remove it once it is empty.
void noteFolderPlaced(const std::string& source, CopyHandler& job) {
    struct stat st {};
    if (::stat(source.c_str(), &st) == 0) {
        job.journal().noteFolder(static_cast<std::uint32_t>(job.currentSource()), source, st);
    }
}

// Whether the destination is occupied; a destination that cannot be examined is passed
// over with a log line, and nothing is placed there.
bool examine(const std::string& source, const std::string& destination, CopyHandler& job,
             Presence& presence) {
    std::error_code error;
    presence = destinationPresence(destination, &error);
    if (presence == Presence::Unknown) {
        passOver(job, "Can not examine " + destination + ": " + error.message(), source,
                 reasonForError(error.value(), false), error.message());
        return false;
    }
    return true;
}

// A destination reached through a link may be the source itself: replacing it would
// delete the very data to be copied. A link that is kept is an item of its own.
bool isSourceItself(const std::string& source, const std::string& destination,
                    const CopyHandler& job) {
    struct stat from {};
    struct stat to {};
    if (job.keepLinks() && ::lstat(source.c_str(), &from) == 0 && S_ISLNK(from.st_mode)) {
        return ::lstat(destination.c_str(), &to) == 0 && from.st_dev == to.st_dev &&
               from.st_ino == to.st_ino;
    }
    error_code ec;
    return fs::equivalent(source, destination, ec) && !ec;
}

// Whether the folder at destination holds source at any depth: removing it would remove
// the source. The source's real ancestors are walked by handles, whatever path named it.
bool holdsSource(const std::string& source, const std::string& destination) {
    struct stat there {};
    if (::lstat(destination.c_str(), &there) != 0 || !S_ISDIR(there.st_mode)) {
        return false;
    }
    const std::string parent = fs::path(source).parent_path().string();
    FolderHandle folder = FolderHandle::open(parent.empty() ? "." : parent);
    while (folder.valid()) {
        struct stat here {};
        if (::fstat(folder.fd(), &here) != 0) {
            return false;
        }
        if (here.st_dev == there.st_dev && here.st_ino == there.st_ino) {
            return true;
        }
        FolderHandle up{::openat(folder.fd(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC), {}};
        struct stat above {};
        if (!up.valid() || ::fstat(up.fd(), &above) != 0 ||
            (above.st_dev == here.st_dev && above.st_ino == here.st_ino)) {
            return false;  // the root
        }
        folder = std::move(up);
    }
    return false;
}

struct Destination {
    FolderHandle folder;
    std::string name;
};

Destination openDestination(const std::string& destination) {
    const fs::path path(destination);
    const std::string parent = path.parent_path().string();
    return {FolderHandle::open(parent.empty() ? "." : parent), path.filename().string()};
}

// A free " copy" name in destination's folder, as the name alone; empty when there is none.
std::string freeName(const std::string& source, const std::string& destination, CopyHandler& job) {
    try {
        return fs::path(uniqueTargetPath(destination)).filename().string();
    } catch (const fs::filesystem_error& e) {
        passOver(job, "Can not find a free name for " + destination + ": " + e.what(), source,
                 reasonForError(e.code().value(), false), e.code().message());
        return {};
    }
}

// Whether a Replace may go ahead: nothing is removed unless the copy can take its place.
bool mayReplace(const std::string& source, const std::string& destination, bool folder,
                CopyHandler& job) {
    if (isSourceItself(source, destination, job)) {
        passOver(job, "Not replaced " + destination + " with itself", source,
                 NotTransferredReason::Other, "the same item");
        return false;
    }
    if (holdsSource(source, destination)) {
        job.log("Not replaced " + destination + ": it holds " + source);
        job.markNotTransferred(source, NotTransferredReason::Other, "the item to replace holds it");
        job.askToContinue(PromptTexts::replaceHoldsSource(source, destination));
        return false;
    }
    if (!removable(destination)) {
        job.markNotTransferred(source, NotTransferredReason::PermissionDenied,
                               "can not remove " + destination);
        job.askToContinue(folder ? PromptTexts::replaceFolder(source)
                                 : PromptTexts::replaceFile(source));
        return false;
    }
    return true;
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
void finishFolder(const std::string& source, const FolderHandle& copy, CopyHandler& job) {
    const int from = ::open(source.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat status {};
    std::string problems;
    if (from < 0 || ::fstat(from, &status) != 0) {
        problems = std::strerror(errno);
    } else {
        problems = FileMetadata::copyToFolder(from, status, copy.fd());
    }
    if (!problems.empty()) {
        job.log("Copied " + copy.path() + " without all its attributes: " + problems);
    }
    if (from >= 0) {
        ::close(from);
    }
}

// With claim, a name that exists is NameTaken; without, it is passed over.
PlaceResult copyTreeInto(const std::string& source, const FolderHandle& parent,
                         const std::string& name, CopyHandler& job, DeferredConflictList* conflicts,
                         bool claim);

// A name taken inside a folder this job made: someone else put it there meanwhile.
void nameTakenInside(const std::string& source, const std::string& destination, bool folder,
                     CopyHandler& job, DeferredConflictList* conflicts) {
    if (conflicts) {
        conflicts->push_back({source, destination, folder, job.currentSource()});
    } else {
        passOver(job, "Not copied, the name was taken meanwhile: " + destination, source,
                 NotTransferredReason::SkippedAtConflict);
    }
}

PlaceResult copyTreeInto(const std::string& source, const FolderHandle& parent,
                         const std::string& name, CopyHandler& job, DeferredConflictList* conflicts,
                         bool claim) {
    const std::string failure = "Error occured while creating directory " + source;
    FolderScope scope(job, source);
    if (!scope.entered()) {
        passOver(job, "Link leads back into its own folder, not copied: " + source, source,
                 NotTransferredReason::LinkCycle);
        return PlaceResult::PassedOver;
    }
    // A source folder that can not be listed makes no empty copy.
    FolderListing listing(source);
    if (listing.error()) {
        passOver(job, failure, source, reasonForError(listing.error().value(), true),
                 listing.error().message());
        return PlaceResult::PassedOver;
    }
    // A folder's name is taken by mkdir itself: one that exists is never entered. Only the
    // owner may enter it until it is complete and has the source's bits.
    while (::mkdirat(parent.fd(), name.c_str(), 0700) != 0) {
        const int error = errno;
        if (error == EEXIST && claim) {
            return PlaceResult::NameTaken;
        }
        if (error == ENOSPC || error == EDQUOT) {
            if (!job.askToContinue(PromptTexts::diskFull())) {
                job.markNotTransferred(source, NotTransferredReason::Stopped);
                return PlaceResult::Cancelled;
            }
            continue;
        }
        passOver(job, failure, source, reasonForError(error, false), std::strerror(error));
        return PlaceResult::PassedOver;
    }
    const FolderHandle folder = FolderHandle::openIn(parent, name);
    if (!folder.valid()) {
        passOver(job, failure, source, reasonForError(errno, false), std::strerror(errno));
        return PlaceResult::PassedOver;
    }
    job.inFlight().noteMadeFolder(folder.path());
    // The folder being filled is never entered as a source: a source that holds the target
    // would reach it and copy into itself without end.
    FolderScope filling(job, folder.path());
    FolderListing::Entry entry;
    while (listing.next(entry)) {
        const std::string from = source + "/" + entry.name;
        bool isFolder = entry.kind == FolderListing::Kind::Folder;
        if (entry.kind == FolderListing::Kind::Unknown ||
            (entry.kind == FolderListing::Kind::Link && !job.keepLinks())) {
            isFolder = placedAsFolder(from, job);
        }
        if (!isFolder && entry.kind != FolderListing::Kind::File &&
            passedOverAsSpecial(from, job)) {
            continue;
        }
        const PlaceResult result =
            isFolder ? copyTreeInto(from, folder, entry.name, job, conflicts, true)
                     : writeFileInto(from, folder, entry.name, FinalName::New, job);
        if (result == PlaceResult::Cancelled) {
            // A stopped copy gets its bits all the same.
            finishFolder(source, folder, job);
            return result;
        }
        if (result == PlaceResult::NameTaken) {
            nameTakenInside(from, folder.path() + "/" + entry.name, isFolder, job, conflicts);
        }
    }
    if (listing.error()) {
        passOver(job, failure, source, reasonForError(listing.error().value(), true),
                 listing.error().message());
    }
    // After the contents, whose writing moved the folder's times.
    finishFolder(source, folder, job);
    struct stat status {};
    if (listing.status(status)) {
        job.journal().noteFolder(static_cast<std::uint32_t>(job.currentSource()), source, status);
    }
    return PlaceResult::Placed;
}

// Copies the whole folder under a temporary name, then trades places with what stands at
// destination. An incomplete copy replaces nothing.
bool replaceWithTree(const std::string& source, const std::string& destination, CopyHandler& job) {
    const Destination target = openDestination(destination);
    if (!target.folder.valid()) {
        passOver(job, "Error occured while creating directory " + source, source,
                 reasonForError(errno, false), std::strerror(errno));
        return true;
    }
    const std::string temporary = job.inFlight().temporaryName();
    job.inFlight().noteFolder(target.folder.fd(), target.folder.path());
    const auto passedOverBefore = job.report().total();
    const PlaceResult result = copyTreeInto(source, target.folder, temporary, job, nullptr, false);
    const bool complete = result == PlaceResult::Placed && job.report().total() == passedOverBefore;
    int error = 0;
    if (complete) {
        error = takeFinalName(target.folder, temporary, target.name, FinalName::Replace, job);
        if (error == 0) {
            job.journal().noteRenamed(target.folder.path() + "/" + temporary,
                                      target.folder.path() + "/" + target.name);
        }
    }
    if (!complete || error != 0) {
        removeTreeAt(target.folder.fd(), temporary, target.folder.path() + "/" + temporary);
        if (result != PlaceResult::Cancelled) {
            job.log("Kept " + destination + ": the copy of " + source + " is not complete" +
                    (error ? std::string(" (") + std::strerror(error) + ")" : ""));
            if (error) {
                job.markNotTransferred(source, reasonForError(error, false), std::strerror(error));
            }
        }
    }
    return result != PlaceResult::Cancelled && !job.cancelled();
}

// Copies file or folder under the first free " copy" name; a name that another program
// takes meanwhile makes way for the next.
bool keepBoth(const std::string& source, const std::string& destination, bool folder,
              CopyHandler& job) {
    const Destination target = openDestination(destination);
    auto next = [&] { return freeName(source, destination, job); };
    std::string name = next();
    if (name.empty()) {
        return true;
    }
    if (!target.folder.valid()) {
        passOver(job, "Can not open the folder of " + destination, source,
                 reasonForError(errno, false), std::strerror(errno));
        return true;
    }
    if (!folder) {
        return writeFileInto(source, target.folder, name, FinalName::New, job, next) !=
               PlaceResult::Cancelled;
    }
    PlaceResult result;
    while ((result = copyTreeInto(source, target.folder, name, job, nullptr, true)) ==
           PlaceResult::NameTaken) {
        name = next();
        if (name.empty()) {
            return true;
        }
    }
    return result != PlaceResult::Cancelled;
}

}  // namespace

bool placedAsFolder(const std::string& source, const CopyHandler& job) {
    struct stat st {};
    if (job.keepLinks()) {
        return ::lstat(source.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    return ::stat(source.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool placeFile(const std::string& source, const std::string& destination,
               DeferredConflictList& conflicts, CopyHandler& job) {
    if (passedOverAsSpecial(source, job)) {
        return true;
    }
    Presence presence;
    if (!examine(source, destination, job, presence)) {
        return true;
    }
    if (presence == Presence::Absent) {
        const Destination target = openDestination(destination);
        if (!target.folder.valid()) {
            job.markNotTransferred(source, reasonForError(errno, false), std::strerror(errno));
            return job.askToContinue(PromptTexts::destination());
        }
        const PlaceResult result =
            writeFileInto(source, target.folder, target.name, FinalName::New, job);
        if (result == PlaceResult::NameTaken) {
            // Taken while the copy was written: met again as the conflict it now is.
            return placeFile(source, destination, conflicts, job);
        }
        return result != PlaceResult::Cancelled;
    }
    switch (job.fileNoPrompt()) {
        case Policy::Ask:
            conflicts.push_back({source, destination, false, job.currentSource()});
            return true;
        case Policy::CopyWithNewName:
            return keepBoth(source, destination, false, job);
        case Policy::Replace: {
            if (mayReplace(source, destination, false, job)) {
                const Destination target = openDestination(destination);
                if (target.folder.valid()) {
                    writeFileInto(source, target.folder, target.name, FinalName::Replace, job);
                }
            }
            return !job.cancelled();
        }
        case Policy::Skip:
            job.markNotTransferred(source, NotTransferredReason::SkippedAtConflict);
            return true;
        default:
            job.markNotTransferred(source, NotTransferredReason::Stopped);
            return true;
    }
}

bool placeDirectory(const std::string& source, const std::string& destination,
                    DeferredConflictList& conflicts, CopyHandler& job) {
    Presence presence;
    if (!examine(source, destination, job, presence)) {
        return true;
    }
    if (presence == Presence::Absent) {
        const Destination target = openDestination(destination);
        if (!target.folder.valid()) {
            passOver(job, "Error occured while creating directory " + source, source,
                     reasonForError(errno, false), std::strerror(errno));
            return true;
        }
        const PlaceResult result =
            copyTreeInto(source, target.folder, target.name, job, &conflicts, true);
        if (result == PlaceResult::NameTaken) {
            return placeDirectory(source, destination, conflicts, job);
        }
        return result != PlaceResult::Cancelled;
    }
    switch (job.dirNoPrompt()) {
        case Policy::Ask:
            conflicts.push_back({source, destination, true, job.currentSource()});
            return true;
        case Policy::CopyWithNewName:
            return keepBoth(source, destination, true, job);
        case Policy::Replace:
            if (!mayReplace(source, destination, true, job)) {
                return !job.cancelled();
            }
            return replaceWithTree(source, destination, job);
        case Policy::Skip:
            accountSkippedTree(source, job);
            job.markNotTransferred(source, NotTransferredReason::SkippedAtConflict);
            return true;
        case Policy::Merge: {
            FolderScope scope(job, source);
            if (!scope.entered()) {
                passOver(job, "Link leads back into its own folder, not copied: " + source, source,
                         NotTransferredReason::LinkCycle);
                return true;
            }
            error_code ec;
            for (fs::directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec)) {
                const fs::path entry = it->path();
                const std::string child = (fs::path(destination) / entry.filename()).string();
                const bool goOn = placedAsFolder(entry.string(), job)
                                      ? placeDirectory(entry.string(), child, conflicts, job)
                                      : placeFile(entry.string(), child, conflicts, job);
                if (!goOn) {
                    return false;
                }
            }
            if (ec) {
                passOver(job, "Can not list " + source + ": " + ec.message(), source,
                         reasonForError(ec.value(), true), ec.message());
            }
            noteFolderPlaced(source, job);
            return true;
        }
        default:
            job.markNotTransferred(source, NotTransferredReason::Stopped);
            return true;
    }
}

bool copyTree(const std::string& source, const std::string& destination, CopyHandler& job) {
    const Destination target = openDestination(destination);
    if (!target.folder.valid()) {
        passOver(job, "Error occured while creating directory " + source, source,
                 reasonForError(errno, false), std::strerror(errno));
        return true;
    }
    return copyTreeInto(source, target.folder, target.name, job, nullptr, false) !=
           PlaceResult::Cancelled;
}

}  // namespace ferrymark
