#include "engine/FileCopy.h"

#include <boost/filesystem/operations.hpp>

#include "engine/CopyHandler.h"
#include "engine/FileReader.h"
#include "engine/FileWriter.h"
#include "engine/PromptTexts.h"

namespace ferrymark {
namespace {

void removePartial(IFileWriter& writer, const std::string& destination, CopyHandler& job) {
    writer.close();
    boost::system::error_code ec;
    boost::filesystem::remove_all(destination, ec);
    if (ec) {
        job.log("Can not remove the partial file " + destination + ": " + ec.message());
    }
}

}  // namespace

ChunkCopyResult copyChunks(IFileReader& reader, IFileWriter& writer, const std::string& source,
                           const std::string& destination, CopyHandler& job) {
    char buffer[kChunkSize];
    for (;;) {
        const ssize_t count = reader.read(buffer, sizeof buffer);
        if (count == 0) {
            return ChunkCopyResult::Complete;
        }
        if (count < 0) {
            // A failed read must not pass for the end of the file: the truncated copy goes.
            removePartial(writer, destination, job);
            if (job.cancelled() || !job.askToContinue(PromptTexts::readError(source))) {
                return ChunkCopyResult::Cancelled;
            }
            return ChunkCopyResult::Skipped;
        }

        job.takeGate();
        if (job.cancelled()) {
            removePartial(writer, destination, job);
            job.giveGate();
            return ChunkCopyResult::Cancelled;
        }
        std::size_t written = 0;
        while (written < static_cast<std::size_t>(count)) {
            const ssize_t result = writer.write(buffer + written, count - written);
            if (result > 0) {
                written += static_cast<std::size_t>(result);
                continue;
            }
            // The prompt runs on the UI thread, which may itself be waiting for the gate to
            // pause or stop: give the gate back while the user is asked.
            job.giveGate();
            job.askToContinue(PromptTexts::diskFull());
            job.takeGate();
            if (job.cancelled()) {
                removePartial(writer, destination, job);
                job.giveGate();
                return ChunkCopyResult::Cancelled;
            }
        }
        job.setDataProcessed(job.dataProcessed() + count);
        job.giveGate();
    }
}

bool copyFileData(const std::string& source, const std::string& destination, CopyHandler& job) {
    FileReader reader(source);
    if (reader.openFailed()) {
        job.log("Can not open " + source + " for reading, it was not copied");
        job.markNotTransferred();
        return true;
    }
    if (!reader.isRegularFile()) {
        job.log("Not a regular file or folder, not copied: " + source);
        job.markNotTransferred();
        return true;
    }
    FileWriter writer(destination);
    if (writer.descriptor() == -1) {
        job.markNotTransferred();
        return job.askToContinue(PromptTexts::destination());
    }
    switch (copyChunks(reader, writer, source, destination, job)) {
        case ChunkCopyResult::Complete:
            writer.setPermissionBits(reader.permissionBits());
            job.setRemainingItems(job.remainingItems() - 1);
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
