#include "engine/FileCopy.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

#include <boost/filesystem/operations.hpp>

#include "engine/ConflictPolicy.h"
#include "engine/CopyHandler.h"
#include "engine/DataSegments.h"
#include "engine/FileHandleId.h"
#include "engine/FileMetadata.h"
#include "engine/FileReader.h"
#include "engine/FileWriter.h"
#include "engine/PromptTexts.h"
#include "engine/TreeRemoval.h"
#include "engine/WritebackPacer.h"

namespace ferrymark {
namespace {

void removePartial(IFileWriter& writer, const std::string& destination, CopyHandler& job,
                   const WrittenFile* written) {
    if (written && written->folderFd >= 0) {
        // A temporary name is this job's alone.
        writer.close();
        ::unlinkat(written->folderFd, written->name.c_str(), 0);
        return;
    }
    struct stat ours {};
    struct stat there {};
    const bool replaced = written && ::fstat(written->descriptor, &ours) == 0 &&
                          (::lstat(destination.c_str(), &there) != 0 ||
                           there.st_dev != ours.st_dev || there.st_ino != ours.st_ino);
    writer.close();
    if (replaced) {
        // The path no longer holds what this job wrote (another job replaced it): that
        // file is not ours to remove, and ours is already gone.
        return;
    }
    boost::system::error_code ec;
    boost::filesystem::remove_all(destination, ec);
    if (ec) {
        job.log("Can not remove the partial file " + destination + ": " + ec.message());
    }
}

// The copy's length and the source's metadata, once every byte is written. 0, or the
// error that left the copy incomplete.
int finishFile(int sourceFd, const struct stat& status, int destinationFd, DataSegments& segments,
               const std::string& destination, CopyHandler& job, struct stat* copyStatus) {
    if (!segments.finish()) {
        return errno;
    }
    const std::string problems =
        FileMetadata::copyToFile(sourceFd, status, destinationFd, copyStatus);
    if (!problems.empty()) {
        job.log("Copied " + destination + " without all its attributes: " + problems);
    }
    return 0;
}

// A new name that is never taken from another item, where the file system allows it.
int renameNoReplace(int fd, const std::string& from, const std::string& to) {
    if (::renameat2(fd, from.c_str(), fd, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // A second name is made atomically or not at all; then the temporary one goes.
    if (::linkat(fd, from.c_str(), fd, to.c_str(), 0) != 0) {
        return errno;
    }
    ::unlinkat(fd, from.c_str(), 0);
    return 0;
}

struct DigestDeleter {
    void operator()(XXH3_state_t* state) const { XXH3_freeState(state); }
};

// Hands the named copy to the job's ledger, open for reading back when the job checks it.
void noteCopy(const std::string& source, const FolderHandle& folder, const std::string& name,
              std::int64_t size, const XXH128_hash_t* digest, bool bytesBypassed,
              CopyHandler& job) {
    CopyLedger::Copy copy;
    copy.device = folder.device();
    copy.sourceIndex = job.currentSource();
    copy.source = source;
    copy.size = size;
    if (digest) {
        copy.destination = folder.path() + "/" + name;
        copy.fd = ::openat(folder.fd(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (copy.fd < 0) {
            job.log("Can not open the copy " + copy.destination +
                    " to check it: " + std::strerror(errno));
        }
        copy.digestKnown = !bytesBypassed;
        if (copy.digestKnown) {
            copy.digest = *digest;
        }
        job.addBytesToCheck(copy.digestKnown ? size : 2 * size);
    }
    job.ledger().noteCopy(std::move(copy));
    if (job.ledger().batchFull()) {
        job.confirmCopies();
    }
}

// Creates the temporary file, asking while the disk is full. -1 when there is none.
int createTemporary(const FolderHandle& folder, const std::string& temporary,
                    const std::string& source, CopyHandler& job, bool& cancelled) {
    job.inFlight().noteFolder(folder.fd(), folder.path());
    for (;;) {
        // Only the owner can read the file until it is complete and has the source's bits:
        // the partial copy of a private file must not be readable by others meanwhile.
        const int fd = ::openat(folder.fd(), temporary.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            return fd;
        }
        const int error = errno;
        if (error == ENOSPC || error == EDQUOT) {
            // Out of room for one more item: the disk-full prompt, then a retry.
            if (!job.askToContinue(PromptTexts::diskFull())) {
                cancelled = true;
                return -1;
            }
            continue;
        }
        if (isDiskError(error)) {
            const DiskErrorAnswer answer = askAboutDiskError(source, error, job);
            if (answer == DiskErrorAnswer::Retry) {
                continue;
            }
            cancelled = answer == DiskErrorAnswer::Stop;
            if (!cancelled) {
                job.markNotTransferred(source, NotTransferredReason::WriteError,
                                       std::strerror(error));
            }
            return -1;
        }
        job.markNotTransferred(source, reasonForError(error, false), std::strerror(error));
        cancelled = !job.askToContinue(PromptTexts::destination());
        return -1;
    }
}

}  // namespace

bool isDiskError(int error) {
    switch (error) {
        case EIO:
        case ENODEV:
        case ENXIO:
        case EROFS:
        case EUCLEAN:
        case ENOTCONN:
        case EREMOTEIO:
        case ESHUTDOWN:
            return true;
        default:
            return false;
    }
}

DiskErrorAnswer askAboutDiskError(const std::string& source, int error, CopyHandler& job) {
    job.log("The disk reported an error while saving " + source + ": " + std::strerror(error));
    const PromptAnswer answer = job.ask(PromptTexts::diskError(source, std::strerror(error)));
    if (answer.code == kAnswerStop) {
        job.setCancelled(true);
        return DiskErrorAnswer::Stop;
    }
    if (job.cancelled()) {
        return DiskErrorAnswer::Stop;
    }
    return answer.code == Policy::Skip ? DiskErrorAnswer::Skip : DiskErrorAnswer::Retry;
}

NotTransferredReason reasonForError(int error, bool source) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
            return NotTransferredReason::PermissionDenied;
        case ENAMETOOLONG:
            return NotTransferredReason::NameTooLong;
        case ENOSPC:
        case EDQUOT:
            return NotTransferredReason::OutOfSpace;
        case ENOENT:
        case ENOTDIR:
            return source ? NotTransferredReason::Vanished : NotTransferredReason::Other;
        case ELOOP:
            return NotTransferredReason::LinkCycle;
        default:
            return source ? NotTransferredReason::Unreadable : NotTransferredReason::Other;
    }
}

ChunkCopyResult copyChunks(IFileReader& reader, IFileWriter& writer, const std::string& source,
                           const std::string& destination, CopyHandler& job,
                           const WrittenFile* written) {
    char buffer[kChunkSize];
    WritebackPacer& pacer = job.writeback();
    std::int64_t position = 0;
    if (written) {
        pacer.beginFile(written->descriptor);
    }
    // The gate is held while a chunk is written, and kept for the next chunk while no
    // pause or stop is waiting for it.
    bool holding = false;
    auto release = [&] {
        if (holding) {
            job.giveGate();
            holding = false;
        }
    };
    // The file is complete: what is left of it joins the next window of writeback.
    auto complete = [&] {
        release();
        if (written) {
            pacer.finishFile(position);
        }
        return ChunkCopyResult::Complete;
    };
    auto cancel = [&] {
        pacer.dropFile();
        removePartial(writer, destination, job, written);
        release();
        return ChunkCopyResult::Cancelled;
    };
    // Holds the gate for the next chunk; a pause or stop that came meanwhile goes first.
    // False once the job is stopped.
    auto holdGate = [&] {
        if (holding && job.gateRequested()) {
            release();
        }
        if (!holding) {
            job.takeGate();
            holding = true;
        }
        return !job.cancelled();
    };
    // After a chunk is written: true once the length known at the start is reached.
    auto chunkWritten = [&](std::int64_t count) {
        job.setDataProcessed(job.dataProcessed() + count);
        position += count;
        if (written && written->size > 0 && position >= written->size) {
            return true;
        }
        if (job.gateRequested()) {
            release();
        }
        if (pacer.written(position)) {
            // The wait for the disk is outside the gate: a pause or stop does not wait
            // for it.
            release();
            pacer.waitBehind();
        }
        return false;
    };
    bool kernelCopy = written && written->sourceFd >= 0 && written->size > 0;
    for (;;) {
        if (written && written->segments) {
            // A hole counts as done: progress still reaches the file's size.
            const std::int64_t skipped = written->segments->skipHole();
            if (skipped > 0 && written->bytesBypassed) {
                *written->bytesBypassed = true;
            }
            position += skipped;
            job.setDataProcessed(job.dataProcessed() + skipped);
        }
        if (kernelCopy) {
            if (!holdGate()) {
                return cancel();
            }
            // One chunk copied inside the kernel: one system call instead of a read and a
            // write, and no copy through this process.
            const ssize_t copied = ::copy_file_range(written->sourceFd, nullptr,
                                                     written->descriptor, nullptr, kChunkSize, 0);
            if (copied > 0) {
                if (written->bytesBypassed) {
                    *written->bytesBypassed = true;
                }
                if (chunkWritten(copied)) {
                    return complete();
                }
                continue;
            }
            if (copied < 0 && (errno == ENOSPC || errno == EDQUOT)) {
                // Nothing of this chunk was written: ask, then the same chunk again.
                release();
                job.askToContinue(PromptTexts::diskFull());
                continue;
            }
            // The end, a file system that copies nothing this way, or an error: reads and
            // writes take over, and tell the end and each error apart as they always have.
            kernelCopy = false;
        }
        const ssize_t count = reader.read(buffer, sizeof buffer);
        if (count == 0) {
            return complete();
        }
        if (count < 0) {
            // A failed read must not pass for the end of the file: the truncated copy goes.
            release();
            pacer.dropFile();
            removePartial(writer, destination, job, written);
            if (job.cancelled() || !job.askToContinue(PromptTexts::readError(source))) {
                return ChunkCopyResult::Cancelled;
            }
            return ChunkCopyResult::Skipped;
        }

        if (written && written->digest) {
            XXH3_128bits_update(written->digest, buffer, static_cast<std::size_t>(count));
        }
        if (!holdGate()) {
            return cancel();
        }
        std::size_t done = 0;
        while (done < static_cast<std::size_t>(count)) {
            const ssize_t result = writer.write(buffer + done, count - done);
            if (result > 0) {
                done += static_cast<std::size_t>(result);
                continue;
            }
            // The prompt runs on the UI thread, which may itself be waiting for the gate to
            // pause or stop: give the gate back while the user is asked.
            const int error = result < 0 ? errno : ENOSPC;
            release();
            if (error == ENOSPC || error == EDQUOT) {
                job.askToContinue(PromptTexts::diskFull());
            } else if (askAboutDiskError(source, error, job) == DiskErrorAnswer::Skip) {
                removePartial(writer, destination, job, written);
                job.markNotTransferred(source, NotTransferredReason::WriteError,
                                       std::strerror(error));
                return ChunkCopyResult::WriteSkipped;
            }
            job.takeGate();
            holding = true;
            if (job.cancelled()) {
                return cancel();
            }
        }
        if (chunkWritten(count)) {
            return complete();
        }
    }
}

int takeFinalName(const FolderHandle& folder, const std::string& temporary, const std::string& name,
                  FinalName how, CopyHandler& job) {
    if (how == FinalName::New) {
        return renameNoReplace(folder.fd(), temporary, name);
    }
    // A file over a file (or a link) is one atomic step: the old one is never missing.
    struct stat there {};
    struct stat ours {};
    const bool folderThere =
        ::fstatat(folder.fd(), name.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(there.st_mode);
    const bool folderOurs =
        ::fstatat(folder.fd(), temporary.c_str(), &ours, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(ours.st_mode);
    if (!folderThere && !folderOurs) {
        return ::renameat(folder.fd(), temporary.c_str(), folder.fd(), name.c_str()) == 0 ? 0
                                                                                          : errno;
    }
    // A folder on either side: the two trade places, then the old one goes.
    if (::renameat2(folder.fd(), temporary.c_str(), folder.fd(), name.c_str(), RENAME_EXCHANGE) !=
        0) {
        if (errno == ENOENT) {
            return renameNoReplace(folder.fd(), temporary, name);
        }
        return errno;
    }
    const std::string old = folder.path() + "/" + name;
    removeTreeAt(folder.fd(), temporary, old, nullptr, [&](const std::string& path, int error) {
        job.log("Can not remove " + path + " of the replaced " + old + ": " + std::strerror(error));
    });
    return 0;
}

namespace {

// A file that changes while it is copied is copied again this many times more.
constexpr int kCopiesAgain = 2;

// What one copy of a file's data left.
struct FileAttempt {
    PlaceResult result = PlaceResult::Placed;  // Placed: the temporary holds a whole copy
    bool changed = false;                      // the source changed while it was read
    std::int64_t size = 0;
    bool digestTaken = false;    // the copy is to be checked
    bool bytesBypassed = false;  // some bytes did not pass through here: read it again
    XXH128_hash_t digest{};
    struct stat status {};        // the source as it was read
    std::uint64_t copyInode = 0;  // the copy's own inode and handle, for the job's end checks
    std::string copyHandle{};
    bool named = false;  // the copy already has its final name (a second hard link)
};

bool sameVersion(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// Whether the source is still the version opened: the same size, modification and change
// times (a writer that puts the modification time back still moves the change time). Asked
// of the open file: one renamed over its path meanwhile leaves this copy whole, and a Move
// keeps the new one, which changed after the move began.
bool unchangedSince(int sourceFd, const struct stat& before) {
    struct stat now {};
    return ::fstat(sourceFd, &now) == 0 && sameVersion(before, now);
}

std::string linkText(const std::string& path) {
    std::string text(256, '\0');
    for (;;) {
        const ssize_t size = ::readlink(path.c_str(), text.data(), text.size());
        if (size < 0) {
            return {};
        }
        if (static_cast<std::size_t>(size) < text.size()) {
            text.resize(static_cast<std::size_t>(size));
            return text;
        }
        text.resize(text.size() * 2);
    }
}

// A source that can not be opened: a link whose target does not exist says so, with the
// target, rather than passing for a file that vanished.
void sourceNotOpened(const std::string& source, int error, CopyHandler& job) {
    struct stat st {};
    if (error == ENOENT && ::lstat(source.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        const std::string target = linkText(source);
        job.log("Link whose target does not exist, not copied: " + source + " -> " + target);
        job.markNotTransferred(source, NotTransferredReason::DanglingLink, target);
        return;
    }
    job.log("Can not open " + source + " for reading (" + std::strerror(error) +
            "), it was not copied");
    job.markNotTransferred(source, reasonForError(error, true), std::strerror(error));
}

// Gives the complete temporary item its final name, notes it for the job's end checks (and,
// when copy says so, for the read-back) and counts it done.
PlaceResult nameCopy(const std::string& source, const struct stat& status,
                     const FolderHandle& folder, const std::string& temporary,
                     std::uint64_t copyInode, const std::string& copyHandle,
                     const std::string& name, FinalName how, CopyHandler& job,
                     const std::function<std::string()>& nextName, std::int64_t processedBefore,
                     const FileAttempt* copy = nullptr) {
    std::string finalName = name;
    int error = takeFinalName(folder, temporary, finalName, how, job);
    while (error == EEXIST && how == FinalName::New && nextName) {
        finalName = nextName();
        if (finalName.empty()) {
            break;
        }
        error = takeFinalName(folder, temporary, finalName, how, job);
    }
    if (error != 0) {
        ::unlinkat(folder.fd(), temporary.c_str(), 0);
        if (error == EEXIST && how == FinalName::New && !nextName) {
            // Taken by another program while this copy was written: a conflict like any
            // other, met afresh.
            job.setDataProcessed(processedBefore);
            return PlaceResult::NameTaken;
        }
        job.log("Can not name the copy " + folder.path() + "/" + finalName + ": " +
                std::strerror(error));
        job.markNotTransferred(source, reasonForError(error, false), std::strerror(error));
        return PlaceResult::PassedOver;
    }
    job.journal().noteFile(static_cast<std::uint32_t>(job.currentSource()), source, status, folder,
                           finalName, copyInode, copyHandle);
    if (copy != nullptr) {
        noteCopy(source, folder, finalName, copy->size, copy->digestTaken ? &copy->digest : nullptr,
                 copy->bytesBypassed, job);
    }
    job.setRemainingItems(job.remainingItems() - 1);
    job.countTransferred();
    return PlaceResult::Placed;
}

// A file with more than one name whose other name this job already copied: the copy gets
// a second name too, as in the source, where the target's file system allows it. Nothing
// when it can not.
std::optional<PlaceResult> linkEarlierCopy(const std::string& source, const struct stat& status,
                                           const FolderHandle& folder, const std::string& name,
                                           FinalName how, CopyHandler& job,
                                           const std::function<std::string()>& nextName) {
    const std::string earlier = job.journal().earlierCopy(status);
    if (earlier.empty()) {
        return std::nullopt;
    }
    const int fd = ::open(earlier.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat copy {};
    int linked = -1;
    const std::string temporary = job.inFlight().temporaryName();
    const std::string handle = FileHandleId::ofDescriptor(fd);
    if (::fstat(fd, &copy) == 0 && S_ISREG(copy.st_mode) &&
        job.journal().isEarlierCopy(status, copy.st_ino, handle) &&
        copy.st_dev == folder.device()) {
        job.inFlight().noteFolder(folder.fd(), folder.path());
        // Through the descriptor: the very file checked, whatever its path holds by now.
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        linked =
            ::linkat(AT_FDCWD, self.c_str(), folder.fd(), temporary.c_str(), AT_SYMLINK_FOLLOW);
    }
    ::close(fd);
    if (linked != 0) {
        return std::nullopt;  // another file system, too many links, none at all: a copy
    }
    const std::int64_t processedBefore = job.dataProcessed();
    job.setDataProcessed(processedBefore + status.st_size);
    const PlaceResult result = nameCopy(source, status, folder, temporary, copy.st_ino, handle,
                                        name, how, job, nextName, processedBefore);
    // A name that already was this file: the rename left both names.
    struct stat left {};
    if (::fstatat(folder.fd(), temporary.c_str(), &left, AT_SYMLINK_NOFOLLOW) == 0 &&
        left.st_ino == copy.st_ino) {
        ::unlinkat(folder.fd(), temporary.c_str(), 0);
    }
    return result;
}

// Copies the source's data and metadata into a new temporary item in folder.
FileAttempt copyOnce(const std::string& source, const FolderHandle& folder,
                     const std::string& temporary, const std::string& name, FinalName how,
                     CopyHandler& job, const std::function<std::string()>& nextName) {
    FileReader reader(source);
    if (reader.openFailed()) {
        sourceNotOpened(source, errno, job);
        return {PlaceResult::PassedOver};
    }
    if (!reader.isRegularFile()) {
        job.log("Not a regular file or folder, not copied: " + source);
        job.markNotTransferred(source, NotTransferredReason::SpecialFile);
        return {PlaceResult::PassedOver};
    }
    const struct stat before = reader.status();
    if (before.st_nlink > 1) {
        if (const auto linked = linkEarlierCopy(source, before, folder, name, how, job, nextName)) {
            FileAttempt done{*linked};
            done.named = true;
            return done;
        }
    }

    bool cancelled = false;
    const int fd = createTemporary(folder, temporary, source, job, cancelled);
    if (fd < 0) {
        if (cancelled) {
            job.markNotTransferred(source, NotTransferredReason::Stopped);
            return {PlaceResult::Cancelled};
        }
        return {PlaceResult::PassedOver};
    }
    FileWriter writer = FileWriter::adopt(fd);
    job.ledger().noteFolder(folder);
    DataSegments segments(reader.descriptor(), fd, before.st_size, before.st_blocks);
    const bool verify = job.verifying();
    const std::unique_ptr<XXH3_state_t, DigestDeleter> digest(verify ? XXH3_createState()
                                                                     : nullptr);
    if (digest) {
        XXH3_128bits_reset(digest.get());
    }
    bool bytesBypassed = false;
    // In-kernel chunks within one file system; across two the kernel refuses them anyway.
    const WrittenFile written{
        .descriptor = fd,
        .folderFd = folder.fd(),
        .name = temporary,
        .segments = &segments,
        .size = before.st_size,
        .sourceFd = before.st_dev == folder.device() ? reader.descriptor() : -1,
        .digest = digest.get(),
        .bytesBypassed = &bytesBypassed};
    switch (copyChunks(reader, writer, source, folder.path() + "/" + temporary, job, &written)) {
        case ChunkCopyResult::Complete:
            break;
        case ChunkCopyResult::Skipped:
            job.markNotTransferred(source, NotTransferredReason::Unreadable);
            return {PlaceResult::PassedOver};
        case ChunkCopyResult::WriteSkipped:
            return {PlaceResult::PassedOver};
        case ChunkCopyResult::Cancelled:
            job.markNotTransferred(source, NotTransferredReason::Stopped);
            return {PlaceResult::Cancelled};
    }
    struct stat copy {};
    if (const int error = finishFile(reader.descriptor(), before, fd, segments,
                                     folder.path() + "/" + name, job, &copy)) {
        job.log("Can not set the length of the copy of " + source + ": " + std::strerror(error));
        removePartial(writer, folder.path() + "/" + temporary, job, &written);
        job.markNotTransferred(source, reasonForError(error, false), std::strerror(error));
        return {PlaceResult::PassedOver};
    }
    FileAttempt done{PlaceResult::Placed, !unchangedSince(reader.descriptor(), before),
                     before.st_size, digest != nullptr, bytesBypassed};
    done.status = before;
    done.copyInode = copy.st_ino;
    done.copyHandle = FileHandleId::ofDescriptor(fd);
    writer.close();
    if (digest && !bytesBypassed) {
        done.digest = XXH3_128bits_digest(digest.get());
    }
    return done;
}

// A link made anew with the same target text, its own times and, where permitted, owner.
PlaceResult writeLinkInto(const std::string& source, const FolderHandle& folder,
                          const std::string& name, FinalName how, CopyHandler& job,
                          const std::function<std::string()>& nextName) {
    struct stat before {};
    std::string target;
    for (int attempt = 0;; ++attempt) {
        struct stat after {};
        if (::lstat(source.c_str(), &before) != 0 || !S_ISLNK(before.st_mode) ||
            (target = linkText(source)).empty() || ::lstat(source.c_str(), &after) != 0) {
            // Gone, or no longer a link: not what was counted.
            const int error = S_ISLNK(before.st_mode) ? errno : ENOENT;
            job.log("Can not read the link " + source + ": " + std::strerror(error));
            job.markNotTransferred(source, reasonForError(error, true), std::strerror(error));
            return PlaceResult::PassedOver;
        }
        if (sameVersion(before, after)) {
            break;
        }
        if (attempt == kCopiesAgain) {
            job.log("Changed while it was copied: " + source);
            job.markNotTransferred(source, NotTransferredReason::ChangedWhileCopied);
            return PlaceResult::PassedOver;
        }
    }
    const std::string temporary = job.inFlight().temporaryName();
    job.inFlight().noteFolder(folder.fd(), folder.path());
    while (::symlinkat(target.c_str(), folder.fd(), temporary.c_str()) != 0) {
        const int error = errno;
        if (error == ENOSPC || error == EDQUOT) {
            if (!job.askToContinue(PromptTexts::diskFull())) {
                job.markNotTransferred(source, NotTransferredReason::Stopped);
                return PlaceResult::Cancelled;
            }
            continue;
        }
        job.markNotTransferred(source, reasonForError(error, false), std::strerror(error));
        return job.askToContinue(PromptTexts::destination()) ? PlaceResult::PassedOver
                                                             : PlaceResult::Cancelled;
    }
    const std::string problems = FileMetadata::copyToLink(folder.fd(), temporary, before);
    if (!problems.empty()) {
        job.log("Copied " + folder.path() + "/" + name +
                " without all its attributes: " + problems);
    }
    job.ledger().noteFolder(folder);
    struct stat made {};
    ::fstatat(folder.fd(), temporary.c_str(), &made, AT_SYMLINK_NOFOLLOW);
    return nameCopy(source, before, folder, temporary, made.st_ino,
                    FileHandleId::ofName(folder.fd(), temporary), name, how, job, nextName,
                    job.dataProcessed());
}

}  // namespace

PlaceResult writeFileInto(const std::string& source, const FolderHandle& folder,
                          const std::string& name, FinalName how, CopyHandler& job,
                          const std::function<std::string()>& nextName) {
    job.setCurrentItem(source);
    if (job.keepLinks()) {
        struct stat st {};
        if (::lstat(source.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            return writeLinkInto(source, folder, name, how, job, nextName);
        }
    }
    const std::int64_t processedBefore = job.dataProcessed();
    const std::string temporary = job.inFlight().temporaryName();
    FileAttempt copy;
    for (int attempt = 0;; ++attempt) {
        copy = copyOnce(source, folder, temporary, name, how, job, nextName);
        if (copy.result != PlaceResult::Placed || copy.named) {
            return copy.result;
        }
        if (!copy.changed) {
            break;
        }
        if (attempt == kCopiesAgain) {
            // Still changing: the last copy stays, but the job does not call it done, and
            // a Move keeps the source.
            job.log("Changed while it was copied, kept: " + source);
            job.markNotTransferred(source, NotTransferredReason::ChangedWhileCopied);
            break;
        }
        // A copy of a file that changed meanwhile may hold parts of two versions.
        ::unlinkat(folder.fd(), temporary.c_str(), 0);
        job.log("Changed while it was copied, copying it again: " + source);
        job.setDataProcessed(processedBefore);
    }
    return nameCopy(source, copy.status, folder, temporary, copy.copyInode, copy.copyHandle, name,
                    how, job, nextName, processedBefore, &copy);
}

bool copyFileData(const std::string& source, const std::string& destination, CopyHandler& job) {
    const boost::filesystem::path path(destination);
    std::string parent = path.parent_path().string();
    FolderHandle folder = FolderHandle::open(parent.empty() ? "." : parent);
    if (!folder.valid()) {
        job.markNotTransferred(source, reasonForError(errno, false), std::strerror(errno));
        return job.askToContinue(PromptTexts::destination());
    }
    return writeFileInto(source, folder, path.filename().string(), FinalName::Replace, job) !=
           PlaceResult::Cancelled;
}

}  // namespace ferrymark
