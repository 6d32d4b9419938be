#include "engine/TransferDriver.h"

#include <fcntl.h>
#include <unistd.h>

#include <boost/filesystem.hpp>
#include <vector>

#include "engine/CopyHandler.h"
#include "engine/ItemPlacement.h"
#include "engine/PromptTexts.h"
#include "engine/UniqueTargetPath.h"

namespace fs = boost::filesystem;
using boost::system::error_code;

namespace ferrymark {
namespace {

// "/a/b/" names the item "b", not ".".
std::string withoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

bool sameItem(const fs::path& a, const fs::path& b) {
    if (a.compare(b) == 0) {
        return true;
    }
    // The target may reach the source's folder through a link.
    error_code ec;
    return fs::equivalent(a, b, ec) && !ec;
}

}  // namespace

TransferDriver::TransferDriver(CopyHandler& job, std::string target)
    : job_(job), target_(std::move(target)) {}

std::string TransferDriver::targetName() const {
    std::string path = withoutTrailingSeparators(target_);
    if (path == "/") {
        return path;
    }
    return fs::path(path).filename().string();
}

void TransferDriver::countSources() {
    const auto sources = job_.srcList();
    for (const auto& source : sources) {
        if (job_.cancelled()) {
            return;
        }
        error_code ec;
        const fs::file_status st = fs::status(source, ec);
        if (fs::is_regular_file(st)) {
            const auto size = fs::file_size(source, ec);
            job_.setTotalItems(job_.totalItems() + 1);
            job_.setTotalData(job_.totalData() + (ec ? 0 : static_cast<std::int64_t>(size)));
        } else if (fs::is_directory(st)) {
            countTree(source);
        } else if (!fs::exists(st)) {
            job_.log("Can not find " + source + (ec ? ": " + ec.message() : ""));
        }
    }
}

void TransferDriver::countTree(const std::string& root) {
    // Folders are walked with a stack of their own, not the recursive iterator: a folder
    // that cannot be listed is logged and passed over instead of ending the walk.
    std::vector<fs::path> pending{fs::path(root)};
    while (!pending.empty()) {
        const fs::path folder = std::move(pending.back());
        pending.pop_back();
        error_code ec;
        fs::directory_iterator it(folder, ec);
        if (ec) {
            job_.log("Can not list " + folder.string() + ": " + ec.message());
            continue;
        }
        for (; it != fs::directory_iterator(); it.increment(ec)) {
            if (job_.cancelled()) {
                return;
            }
            const fs::directory_entry& entry = *it;
            error_code entryError;
            const fs::file_status linkStatus = entry.symlink_status(entryError);
            const fs::file_status st = entry.status(entryError);
            if (entryError && st.type() != fs::file_not_found) {
                job_.log("Can not examine " + entry.path().string() + ": " + entryError.message());
                continue;
            }
            if (fs::is_regular_file(st)) {
                const auto size = fs::file_size(entry.path(), entryError);
                job_.setTotalItems(job_.totalItems() + 1);
                job_.setTotalData(job_.totalData() +
                                  (entryError ? 0 : static_cast<std::int64_t>(size)));
            } else if (fs::is_directory(st) && !fs::is_symlink(linkStatus)) {
                pending.push_back(entry.path());
            }
        }
        if (ec) {
            job_.log("Can not list " + folder.string() + ": " + ec.message());
        }
    }
}

void TransferDriver::placeSources() {
    const fs::path target(target_);
    const auto sources = job_.srcList();
    for (std::size_t i = 0; i < sources.size() && !job_.cancelled(); ++i) {
        job_.setCurrentSource(i);
        const fs::path source(withoutTrailingSeparators(sources[i]));
        fs::path destination = target / source.filename();
        try {
            if (sameItem(destination, source)) {
                destination = uniqueTargetPath(destination.string());
            }
        } catch (const fs::filesystem_error& e) {
            job_.log("Can not find a free name for " + destination.string() + ": " + e.what());
            job_.markNotTransferred();
            continue;
        }
        error_code ec;
        if (fs::is_directory(fs::status(source, ec))) {
            placeDirectory(source.string(), destination.string(), conflicts_, job_);
        } else {
            placeFile(source.string(), destination.string(), conflicts_, job_);
        }
    }
}

void TransferDriver::resolveConflicts() {
    IJobHost& host = job_.host();
    for (std::size_t i = 0; i < conflicts_.size(); ++i) {
        // Placement may append and move the records: copy before placing.
        const std::string source = conflicts_[i].source;
        const std::string destination = conflicts_[i].destination;
        const bool isDirectory = conflicts_[i].isDirectory;
        job_.setCurrentSource(conflicts_[i].sourceIndex);

        auto policy = [&] { return isDirectory ? job_.dirNoPrompt() : job_.fileNoPrompt(); };
        auto setPolicy = [&](ConflictPolicy p) {
            isDirectory ? job_.setDirNoPrompt(p) : job_.setFileNoPrompt(p);
        };

        ConflictPolicy answer = policy();
        if (answer == Policy::Ask) {
            const Prompt prompt = isDirectory ? PromptTexts::folderConflict(source)
                                              : PromptTexts::fileConflict(source);
            host.runOnUiThread([&] {
                const PromptAnswer reply = host.showPrompt(prompt);
                answer = reply.code;
                if (reply.dontAsk) {
                    setPolicy(reply.code);
                }
            });
        }

        auto place = [&] {
            if (isDirectory) {
                placeDirectory(source, destination, conflicts_, job_);
            } else {
                placeFile(source, destination, conflicts_, job_);
            }
        };
        if (answer == policy()) {
            place();
        } else {
            setPolicy(answer);
            place();
            setPolicy(Policy::Ask);
        }
        if (job_.cancelled()) {
            return;
        }
    }
}

void TransferDriver::removeSources() {
    // The copies reach the disk before the originals go, so a crash in between loses
    // neither.
    const int targetFd = ::open(target_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (targetFd < 0 || ::syncfs(targetFd) != 0) {
        job_.log("Can not flush the copies in " + target_ + ", the sources were kept");
        if (targetFd >= 0) {
            ::close(targetFd);
        }
        return;
    }
    ::close(targetFd);

    const auto sources = job_.srcList();
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const std::string source = withoutTrailingSeparators(sources[i]);
        if (!job_.sourceFullyTransferred(i)) {
            job_.log("Kept " + source + ": not all of it was copied");
            continue;
        }
        error_code ec;
        fs::remove_all(source, ec);
        if (ec) {
            job_.log("Can not remove " + source + ": " + ec.message());
        }
    }
}

}  // namespace ferrymark
