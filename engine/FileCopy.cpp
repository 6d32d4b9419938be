#include "engine/FileCopy.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include <boost/filesystem/operations.hpp>

#include "engine/CopyHandler.h"
#include "engine/FileReader.h"
#include "engine/FileWriter.h"
#include "engine/PromptTexts.h"

namespace ferrymark {
namespace {

void removePartial(IFileWriter& writer, const std::string& destination, CopyHandler& job,
                   const WrittenFile* written) {
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

}  // namespace

ChunkCopyResult copyChunks(IFileReader& reader, IFileWriter& writer, const std::string& source,
                           const std::string& destination, CopyHandler& job,
                           const WrittenFile* written) {
    char buffer[kChunkSize];
    // The gate is held while a chunk is written, and kept for the next chunk while no
    // pause or stop is waiting for it.
    bool holding = false;
    auto release = [&] {
        if (holding) {
            job.giveGate();
            holding = false;
        }
    };
    auto cancel = [&] {
        removePartial(writer, destination, job, written);
        release();
        return ChunkCopyResult::Cancelled;
    };
    for (;;) {
        const ssize_t count = reader.read(buffer, sizeof buffer);
        if (count == 0) {
            release();
            return ChunkCopyResult::Complete;
        }
        if (count < 0) {
            // A failed read must not pass for the end of the file: the truncated copy goes.
            release();
            removePartial(writer, destination, job, written);
            if (job.cancelled() || !job.askToContinue(PromptTexts::readError(source))) {
                return ChunkCopyResult::Cancelled;
            }
            return ChunkCopyResult::Skipped;
        }

        // A pause or stop that came while this chunk was read goes first.
        if (holding && job.gateRequested()) {
            release();
        }
        if (!holding) {
            job.takeGate();
            holding = true;
        }
        if (job.cancelled()) {
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
            release();
            job.askToContinue(PromptTexts::diskFull());
            job.takeGate();
            holding = true;
            if (job.cancelled()) {
                return cancel();
            }
        }
        job.setDataProcessed(job.dataProcessed() + count);
        if (job.gateRequested()) {
            release();
        }
    }
}

bool copyFileData(const std::string& source, const std::string& destination, CopyHandler& job) {
    job.setCurrentItem(source);
    FileReader reader(source);
    if (reader.openFailed()) {
        const std::string reason = std::strerror(errno);
        job.log("Can not open " + source + " for reading (" + reason + "), it was not copied");
        job.markNotTransferred();
        return true;
    }
    if (!reader.isRegularFile()) {
        job.log("Not a regular file or folder, not copied: " + source);
        job.markNotTransferred();
        return true;
    }
    // Only the owner can read the file until it is complete and has the source's bits: the
    // partial copy of a private file must not be readable by others meanwhile.
    FileWriter writer(destination, 0600);
    if (writer.descriptor() == -1) {
        job.markNotTransferred();
        return job.askToContinue(PromptTexts::destination());
    }
    const WrittenFile written{writer.descriptor()};
    switch (copyChunks(reader, writer, source, destination, job, &written)) {
        case ChunkCopyResult::Complete:
            writer.setPermissionBits(reader.permissionBits());
            job.setRemainingItems(job.remainingItems() - 1);
            job.countTransferred();
            writer.close();
            reader.close();
            return true;
        case ChunkCopyResult::Skipped:
            job.markNotTransferred();
            return true;
        case ChunkCopyResult::Cancelled:
            job.markNotTransferred();
            return false;
    }
    return false;
}

}  // namespace ferrymark
