#pragma once

#include <string>

#include "IFileReader.h"
#include "IFileWriter.h"

namespace ferrymark {

class CopyHandler;
class DataSegments;

inline constexpr std::size_t kChunkSize = 4096;

// Copies the bytes of one file in 4096-byte chunks, obeying the job's pause gate and cancel
// flag. Returns true to go on (copied, or passed over), false when the job was cancelled.
bool copyFileData(const std::string& source, const std::string& destination, CopyHandler& job);

enum class ChunkCopyResult {
    Complete,   // every byte written
    Skipped,    // a read failed; the partial destination is gone, the job goes on
    Cancelled,  // the partial destination is gone, the job winds down
};

// The open destination, so that a partial file is removed only while its path still holds
// it: another job may have replaced it since.
struct WrittenFile {
    int descriptor = -1;
    // Holes of a sparse source, skipped instead of read; none for a plain file.
    DataSegments* segments = nullptr;
};

// The chunk loop of copyFileData on files already open. The reader and writer are the seam
// for faults that no file system gives on demand (a failing read, a short write). Without
// written, a partial destination is removed by its path alone.
ChunkCopyResult copyChunks(IFileReader& reader, IFileWriter& writer, const std::string& source,
                           const std::string& destination, CopyHandler& job,
                           const WrittenFile* written = nullptr);

}  // namespace ferrymark
