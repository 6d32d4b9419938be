#include "engine/TreeTally.h"

#include <sys/stat.h>

#include <vector>

#include "engine/CopyHandler.h"
#include "engine/FolderListing.h"

namespace ferrymark {

void TreeTally::walk(const std::string& root, CopyHandler& job, const OnFile& onFile,
                     bool stopOnCancel) {
    // A stack of its own rather than recursion: a folder that can not be listed is logged
    // and passed over instead of ending the walk, and depth costs no stack.
    std::vector<std::string> pending{root};
    while (!pending.empty()) {
        const std::string folder = std::move(pending.back());
        pending.pop_back();
        FolderListing listing(folder);
        FolderListing::Entry entry;
        while (listing.next(entry)) {
            if (stopOnCancel && job.cancelled()) {
                return;
            }
            using Kind = FolderListing::Kind;
            if (entry.kind == Kind::Folder) {
                pending.push_back(folder + "/" + entry.name);
                continue;
            }
            if (entry.kind == Kind::Other) {
                continue;
            }
            const std::string path = folder + "/" + entry.name;
            if (entry.kind == Kind::Unknown) {
                struct stat st {};
                if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
                    pending.push_back(path);
                    continue;
                }
            }
            // A file, or a link: its target counts when it is a regular file.
            std::error_code error;
            const long long size = listing.regularFileSize(entry.name, error);
            if (size >= 0) {
                onFile(size);
            } else if (error && error != std::errc::no_such_file_or_directory) {
                job.log("Can not examine " + path + ": " + error.message());
            }
        }
        if (listing.error()) {
            job.log("Can not list " + folder + ": " + listing.error().message());
        }
    }
}

}  // namespace ferrymark
