#include "engine/TreeTally.h"

#include <sys/stat.h>

#include <utility>
#include <vector>

#include "engine/CopyHandler.h"
#include "engine/FolderListing.h"

namespace ferrymark {
namespace {

// A folder waiting to be listed, and the folder it was met in.
struct Pending {
    std::string path;
    std::size_t parent;
};

// A folder listed: what it is, and the folder it was met in (npos for the root).
struct Listed {
    dev_t device;
    ino_t inode;
    std::size_t parent;
};

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// Whether the folder with status st is one of the folders that lead to (and include) at:
// the copy refuses a link back into them, so the count must not enter it either.
bool leadsBack(const std::vector<Listed>& listed, std::size_t at, const struct stat& st) {
    for (std::size_t i = at; i != kNone; i = listed[i].parent) {
        if (listed[i].device == st.st_dev && listed[i].inode == st.st_ino) {
            return true;
        }
    }
    return false;
}

}  // namespace

void TreeTally::walk(const std::string& root, CopyHandler& job, const OnFile& onFile,
                     bool stopOnCancel) {
    const bool keepLinks = job.keepLinks();
    // A stack of its own rather than recursion: a folder that can not be listed is logged
    // and passed over instead of ending the walk, and depth costs no stack.
    std::vector<Pending> pending{{root, kNone}};
    std::vector<Listed> listed;
    while (!pending.empty()) {
        const Pending here = std::move(pending.back());
        pending.pop_back();
        const std::string& folder = here.path;
        FolderListing listing(folder);
        struct stat self {};
        if (!listing.error() && listing.status(self)) {
            listed.push_back({self.st_dev, self.st_ino, here.parent});
        }
        const std::size_t at = listed.empty() ? kNone : listed.size() - 1;
        FolderListing::Entry entry;
        while (listing.next(entry)) {
            if (stopOnCancel && job.cancelled()) {
                return;
            }
            using Kind = FolderListing::Kind;
            if (entry.kind == Kind::Folder) {
                pending.push_back({folder + "/" + entry.name, at});
                continue;
            }
            if (entry.kind == Kind::Other) {
                continue;
            }
            const std::string path = folder + "/" + entry.name;
            bool link = entry.kind == Kind::Link;
            if (entry.kind == Kind::Unknown) {
                struct stat st {};
                if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
                    pending.push_back({path, at});
                    continue;
                }
                link = S_ISLNK(st.st_mode);
            }
            if (link && keepLinks) {
                // Made anew as a link: one item of no data.
                onFile(0);
                continue;
            }
            // A file, or a link: its target counts when it is a regular file, and a linked
            // folder is entered as the copy enters it.
            std::error_code error;
            struct stat target {};
            if (!listing.statusOf(entry.name, target, error)) {
                if (error != std::errc::no_such_file_or_directory) {
                    job.log("Can not examine " + path + ": " + error.message());
                }
            } else if (S_ISREG(target.st_mode)) {
                onFile(static_cast<std::int64_t>(target.st_size));
            } else if (S_ISDIR(target.st_mode) && !leadsBack(listed, at, target)) {
                pending.push_back({path, at});
            }
        }
        if (listing.error()) {
            job.log("Can not list " + folder + ": " + listing.error().message());
        }
    }
}

}  // namespace ferrymark
