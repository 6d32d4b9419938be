#include "engine/CopyConfirmation.h"

#include <fcntl.h>
#include <unistd.h>
#include <xxhash.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/CopyHandler.h"
#include "engine/CopyLedger.h"

namespace ferrymark {
namespace {

constexpr std::size_t kReadSize = std::size_t{1} << 20;
// Direct reads need memory aligned to the device's blocks; a page is enough for all.
constexpr std::size_t kAlignment = 4096;

struct FreeDeleter {
    void operator()(char* p) const { std::free(p); }
};
using ReadBuffer = std::unique_ptr<char, FreeDeleter>;

struct StateDeleter {
    void operator()(XXH3_state_t* state) const { XXH3_freeState(state); }
};

enum class Reading { Done, Failed, Stopped };

// Reads fd from its start to its end into a digest, a chunk at a time under the job's
// gate, so that a pause holds and a stop ends the reading between two chunks.
Reading digestOf(int fd, CopyHandler& job, char* buffer, XXH128_hash_t& digest, int& error) {
    const std::unique_ptr<XXH3_state_t, StateDeleter> state(XXH3_createState());
    XXH3_128bits_reset(state.get());
    for (off_t offset = 0;;) {
        job.takeGate();
        if (job.cancelled()) {
            job.giveGate();
            return Reading::Stopped;
        }
        const ssize_t count = ::pread(fd, buffer, kReadSize, offset);
        error = errno;
        job.giveGate();
        if (count < 0) {
            if (error == EINTR) {
                continue;
            }
            // A file system that takes direct reads only in some cases: through the cache,
            // whose pages were dropped.
            if (error == EINVAL && (::fcntl(fd, F_GETFL) & O_DIRECT) != 0) {
                ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_DIRECT);
                continue;
            }
            return Reading::Failed;
        }
        if (count == 0) {
            digest = XXH3_128bits_digest(state.get());
            return Reading::Done;
        }
        XXH3_128bits_update(state.get(), buffer, static_cast<std::size_t>(count));
        offset += count;
        job.addBytesChecked(count);
    }
}

void notConfirmed(CopyHandler& job, std::size_t sourceIndex, const std::string& source,
                  NotTransferredReason reason, const std::string& detail) {
    const std::size_t current = job.currentSource();
    job.setCurrentSource(sourceIndex);
    job.markNotTransferred(source, reason, detail);
    job.setCurrentSource(current);
    job.uncountTransferred();
}

// False when the check was stopped.
bool check(CopyLedger::Copy& copy, CopyHandler& job, char* buffer) {
    job.setCurrentItem(copy.source);
    // The flush left the copy's pages clean: dropped, the reads come from the device.
    // Direct reads where the file system takes them: they skip the cache altogether, and
    // read a cold file several times faster than small read-ahead through it.
    ::posix_fadvise(copy.fd, 0, 0, POSIX_FADV_DONTNEED);
    ::fcntl(copy.fd, F_SETFL, ::fcntl(copy.fd, F_GETFL) | O_DIRECT);
    XXH128_hash_t copied{};
    int error = 0;
    switch (digestOf(copy.fd, job, buffer, copied, error)) {
        case Reading::Stopped:
            return false;
        case Reading::Failed:
            job.log("Can not read back the copy " + copy.destination + ": " + std::strerror(error));
            notConfirmed(job, copy.sourceIndex, copy.source, NotTransferredReason::DiskError,
                         std::strerror(error));
            return true;
        case Reading::Done:
            break;
    }
    if (!copy.digestKnown) {
        const int fd = ::open(copy.source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0) {
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        }
        const Reading read = fd < 0 ? (error = errno, Reading::Failed)
                                    : digestOf(fd, job, buffer, copy.digest, error);
        if (fd >= 0) {
            ::close(fd);
        }
        if (read == Reading::Stopped) {
            return false;
        }
        if (read == Reading::Failed) {
            job.log("Can not read " + copy.source +
                    " again to check its copy: " + std::strerror(error));
            notConfirmed(job, copy.sourceIndex, copy.source, NotTransferredReason::Unreadable,
                         std::strerror(error));
            return true;
        }
    }
    if (!XXH128_isEqual(copied, copy.digest)) {
        job.log("The copy " + copy.destination + " differs from the original " + copy.source);
        notConfirmed(job, copy.sourceIndex, copy.source, NotTransferredReason::CopyDiffers, {});
    }
    return true;
}

}  // namespace

void CopyConfirmation::confirm(CopyHandler& job) {
    CopyLedger& ledger = job.ledger();
    std::vector<CopyLedger::Copy>& pending = ledger.pending();
    std::vector<char> failed(pending.size(), 0);
    for (CopyLedger::FileSystem& fileSystem : ledger.fileSystems()) {
        if (::syncfs(fileSystem.fd) == 0) {
            continue;
        }
        const std::string detail = std::strerror(errno);
        job.log("Can not flush the copies: " + detail);
        for (std::size_t i = 0; i < pending.size(); ++i) {
            if (pending[i].device == fileSystem.device) {
                failed[i] = 1;
                notConfirmed(job, pending[i].sourceIndex, pending[i].source,
                             NotTransferredReason::DiskError, detail);
            }
        }
        for (const std::size_t index : fileSystem.unlistedSources) {
            job.markSourceNotTransferred(index);
        }
        job.report().addUnlisted(NotTransferredReason::DiskError, fileSystem.unlisted);
        job.uncountTransferred(fileSystem.unlisted);
    }
    if (job.verifying() && !job.cancelled()) {
        job.setChecking(true);
        const ReadBuffer buffer(static_cast<char*>(std::aligned_alloc(kAlignment, kReadSize)));
        std::size_t checked = 0;
        const auto began = std::chrono::steady_clock::now();
        const std::int64_t bytesBefore = job.bytesChecked();
        for (std::size_t i = 0; i < pending.size(); ++i) {
            if (failed[i] || pending[i].fd < 0) {
                continue;
            }
            if (!check(pending[i], job, buffer.get())) {
                job.log("Stopped while checking the copies");
                break;
            }
            ++checked;
        }
        if (checked > 0) {
            const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - began);
            job.log("Read back " + std::to_string(checked) +
                    " copies from the disk and compared them with their originals: " +
                    std::to_string(job.bytesChecked() - bytesBefore) + " bytes read in " +
                    std::to_string(took.count()) + " ms");
        }
        job.setChecking(false);
    }
    ledger.clearPending();
}

}  // namespace ferrymark
