#include "engine/TransferDriver.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include <boost/filesystem.hpp>
#include <vector>

#include "engine/CopyAudit.h"
#include "engine/CopyHandler.h"
#include "engine/FolderHandle.h"
#include "engine/ItemPlacement.h"
#include "engine/PromptTexts.h"
#include "engine/TreeRemoval.h"
#include "engine/TreeTally.h"
#include "engine/UniqueTargetPath.h"

namespace fs = boost::filesystem;
using boost::system::error_code;

namespace ferrymark {
namespace {

bool sameItem(const fs::path& a, const fs::path& b) {
    if (a.compare(b) == 0) {
        return true;
    }
    // The target may reach the source's folder through a link.
    error_code ec;
    return fs::equivalent(a, b, ec) && !ec;
}

}  // namespace

std::string TransferDriver::itemPath(std::string path) {
    for (;;) {
        if (path.size() > 1 && path.back() == '/') {
            path.pop_back();
        } else if (path.size() > 2 && path.ends_with("/.")) {
            path.resize(path.size() - 2);
        } else {
            return path;
        }
    }
}

TransferDriver::TransferDriver(CopyHandler& job, std::string target)
    : job_(job), target_(std::move(target)) {}

std::string TransferDriver::targetName() const {
    std::string path = itemPath(target_);
    if (path == "/") {
        return path;
    }
    return fs::path(path).filename().string();
}

void TransferDriver::markStart() {
    // A change stamps a file with the coarse clock, or a finer one where the kernel gives
    // fine stamps: changes before this moment are earlier than it on either clock, and once
    // the coarse clock has passed it, every later change is stamped after it.
    ::clock_gettime(CLOCK_REALTIME, &start_);
    for (timespec coarse{};;) {
        ::clock_gettime(CLOCK_REALTIME_COARSE, &coarse);
        if (coarse.tv_sec > start_.tv_sec ||
            (coarse.tv_sec == start_.tv_sec && coarse.tv_nsec > start_.tv_nsec)) {
            break;
        }
        timespec pause{0, 500000};
        ::nanosleep(&pause, nullptr);
    }
}

void TransferDriver::countSources() {
    const auto sources = job_.srcList();
    for (const auto& source : sources) {
        if (job_.cancelled()) {
            return;
        }
        error_code ec;
        if (job_.keepLinks() && fs::is_symlink(fs::symlink_status(source, ec))) {
            // Made anew as a link: one item of no data.
            job_.setTotalItems(job_.totalItems() + 1);
            continue;
        }
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
    TreeTally::walk(
        root, job_,
        [this](std::int64_t size) {
            job_.setTotalItems(job_.totalItems() + 1);
            job_.setTotalData(job_.totalData() + size);
        },
        true);
}

void TransferDriver::placeSources() {
    const fs::path target(target_);
    const auto sources = job_.srcList();
    for (std::size_t i = 0; i < sources.size() && !job_.cancelled(); ++i) {
        job_.setCurrentSource(i);
        const fs::path source(itemPath(sources[i]));
        if (source.filename() == "." || source.filename() == "..") {
            job_.log("Not copied, it names no item of its own: " + sources[i]);
            job_.markNotTransferred(sources[i], NotTransferredReason::Other,
                                    "names no item of its own");
            continue;
        }
        fs::path destination = target / source.filename();
        try {
            if (sameItem(destination, source)) {
                destination = uniqueTargetPath(destination.string());
            }
        } catch (const fs::filesystem_error& e) {
            job_.log("Can not find a free name for " + destination.string() + ": " + e.what());
            job_.markNotTransferred(source.string(), NotTransferredReason::Other, e.what());
            continue;
        }
        if (placedAsFolder(source.string(), job_)) {
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
            const Prompt prompt = isDirectory ? PromptTexts::folderConflict(source, destination)
                                              : PromptTexts::fileConflict(source, destination);
            host.runOnUiThread([&] {
                const PromptAnswer reply = host.showPrompt(prompt);
                answer = reply.code;
                if (reply.dontAsk) {
                    setPolicy(reply.code);
                }
            });
        }

        if (answer == Policy::Stop) {
            // Stop ends the transfer here: nothing more is copied, and a Move removes
            // nothing.
            job_.setCancelled(true);
            recordStopped(i);
            return;
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
            recordStopped(i + 1);
            return;
        }
    }
}

void TransferDriver::recordStopped(std::size_t from) {
    for (std::size_t i = from; i < conflicts_.size(); ++i) {
        job_.setCurrentSource(conflicts_[i].sourceIndex);
        job_.markNotTransferred(conflicts_[i].source, NotTransferredReason::Stopped);
    }
}

void TransferDriver::holdTarget() {
    // Spelt as placement spells the folders it writes into.
    std::string path = target_;
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    heldTarget_ = FolderHandle{::open(target_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), path};
    if (!heldTarget_.valid()) {
        job_.log("Can not open the target " + target_ + ": " + std::strerror(errno));
    }
    job_.ledger().noteFolder(heldTarget_);
}

void TransferDriver::confirmCopies() {
    CopyAudit(job_, job_.journal(), &heldTarget_).confirmCopies();
}

void TransferDriver::removeSources() {
    CopyAudit(job_, job_.journal()).removeSources(start_);
}

}  // namespace ferrymark
