#pragma once

#include <xxhash.h>

#include <functional>
#include <string>

#include "FolderHandle.h"
#include "IFileReader.h"
#include "IFileWriter.h"
#include "TransferReport.h"

namespace ferrymark {

class CopyHandler;
class DataSegments;

inline constexpr std::size_t kChunkSize = 4096;

// Copies one file to destination, replacing what stands there once the copy is complete.
// Returns true to go on (copied, or passed over), false when the job was cancelled.
bool copyFileData(const std::string& source, const std::string& destination, CopyHandler& job);

// How a finished copy takes its name: New never takes a name that is already there, and
// Replace puts the copy in place of what is there (a folder there is removed after).
enum class FinalName { New, Replace };

enum class PlaceResult {
    Placed,      // the whole item is under its final name
    PassedOver,  // recorded in the job's report; the job goes on
    NameTaken,   // New: the name was taken meanwhile; nothing was placed
    Cancelled,   // nothing unfinished is left; the job winds down
};

// Copies source into folder under a temporary name and gives it name once all of it is
// written. With nextName, a taken name is not a conflict: the next name it gives is tried
// (an empty one gives up).
PlaceResult writeFileInto(const std::string& source, const FolderHandle& folder,
                          const std::string& name, FinalName how, CopyHandler& job,
                          const std::function<std::string()>& nextName = {});

// Gives the complete item at temporary inside folder its final name. 0 or an errno value;
// EEXIST when New finds the name taken.
int takeFinalName(const FolderHandle& folder, const std::string& temporary, const std::string& name,
                  FinalName how, CopyHandler& job);

// The report's reason for a failed system call on an item.
NotTransferredReason reasonForError(int error, bool source);

// Whether error is the device's or the file system's failing rather than a refusal (full,
// no permission): it gets the disk-error prompt.
bool isDiskError(int error);

enum class DiskErrorAnswer { Retry, Skip, Stop };
// Puts the disk-error prompt for source; Stop also cancels the job.
DiskErrorAnswer askAboutDiskError(const std::string& source, int error, CopyHandler& job);

enum class ChunkCopyResult {
    Complete,      // every byte written
    Skipped,       // a read failed; the partial destination is gone, the job goes on
    WriteSkipped,  // a write failed, the user skipped it; listed, the partial copy is gone
    Cancelled,     // the partial destination is gone, the job winds down
};

// The open destination, so that a partial file is removed only while its path still holds
// it: another job may have replaced it since. With folderFd, the partial file is the
// temporary name inside that folder, and goes by it.
struct WrittenFile {
    int descriptor = -1;
    int folderFd = -1;
    std::string name;
    // Holes of a sparse source, skipped instead of read; none for a plain file.
    DataSegments* segments = nullptr;
    // The source's length when it was opened: the copy stops there without a last read
    // for the end. A file that grew meanwhile shows in its status afterwards.
    std::int64_t size = 0;
    // The source's descriptor, for chunks copied inside the kernel; -1 reads and writes.
    int sourceFd = -1;
    // With a digest, the bytes read are added to it; bytesBypassed is set when some were
    // not read here (copied inside the kernel, or holes skipped).
    XXH3_state_t* digest = nullptr;
    bool* bytesBypassed = nullptr;
};

// The chunk loop of copyFileData on files already open. The reader and writer are the seam
// for faults that no file system gives on demand (a failing read, a short write). Without
// written, a partial destination is removed by its path alone.
ChunkCopyResult copyChunks(IFileReader& reader, IFileWriter& writer, const std::string& source,
                           const std::string& destination, CopyHandler& job,
                           const WrittenFile* written = nullptr);

}  // namespace ferrymark
