#include "engine/InFlightRecord.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "engine/FolderHandle.h"
#include "engine/TreeRemoval.h"

namespace ferrymark {
namespace {

constexpr const char* kTempPrefix = ".ferrymark-";
constexpr const char* kTempSuffix = ".part";
constexpr const char* kRecordSuffix = ".inflight";

// When the process started, in clock ticks since boot: a pid alone may be reused.
std::string processStart(long pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) {
        return {};
    }
    const auto close = line.rfind(')');
    if (close == std::string::npos) {
        return {};
    }
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    // Field 22 of the whole line; state is field 3, the first after the name.
    for (int i = 3; i <= 22 && (fields >> field); ++i) {
    }
    return field;
}

bool makeFolders(const std::string& path) {
    for (std::size_t at = 1; at != std::string::npos;) {
        at = path.find('/', at + 1);
        const std::string part = path.substr(0, at);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    return true;
}

std::atomic<unsigned long long> nextRecord{0};

}  // namespace

std::string InFlightRecord::stateFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/') {
        return std::string(state) + "/ferrymark";
    }
    const char* home = std::getenv("HOME");
    return std::string(home && home[0] ? home : "/tmp") + "/.local/state/ferrymark";
}

bool InFlightRecord::isTemporaryName(const std::string& name) {
    const std::string prefix = kTempPrefix;
    const std::string suffix = kTempSuffix;
    return name.size() > prefix.size() + suffix.size() &&
           name.compare(0, prefix.size(), prefix) == 0 &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

InFlightRecord::InFlightRecord() {
    const long pid = ::getpid();
    std::random_device random;
    std::ostringstream prefix;
    prefix << kTempPrefix << pid << "." << std::hex << random() << ".";
    prefix_ = prefix.str();
    recordPath_ = stateFolder() + "/" + std::to_string(pid) + "-" + processStart(pid) + "-" +
                  std::to_string(nextRecord.fetch_add(1)) + kRecordSuffix;
}

InFlightRecord::~InFlightRecord() {
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(recordPath_.c_str());
    }
}

std::string InFlightRecord::temporaryName() {
    return prefix_ + std::to_string(counter_++) + kTempSuffix;
}

void InFlightRecord::noteFolder(const std::string& folder) {
    if (!folders_.insert(folder).second) {
        return;
    }
    if (fd_ < 0) {
        makeFolders(stateFolder());
        fd_ = ::open(recordPath_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            return;  // Without a record the copy still works; only a crash's clean-up is lost.
        }
    }
    const std::string line = folder + "\n";
    [[maybe_unused]] const auto written = ::write(fd_, line.data(), line.size());
}

void InFlightRecord::cleanUpLeftovers() {
    const std::string folder = stateFolder();
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const std::string suffix = kRecordSuffix;
        if (name.size() <= suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
            continue;
        }
        // "<pid>-<start>-<n>.inflight"
        char* end = nullptr;
        const long pid = std::strtol(name.c_str(), &end, 10);
        if (pid <= 0 || *end != '-') {
            continue;
        }
        const std::string start = name.substr(end + 1 - name.c_str());
        const std::string liveStart = processStart(pid);
        const bool alive = (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM) &&
                           !liveStart.empty() && start.rfind(liveStart + "-", 0) == 0;
        if (alive) {
            continue;
        }
        const std::string record = folder + "/" + name;
        const std::string owned = std::string(kTempPrefix) + std::to_string(pid) + ".";
        std::ifstream lines(record);
        for (std::string path; std::getline(lines, path);) {
            FolderHandle target = FolderHandle::open(path);
            if (!target.valid()) {
                continue;
            }
            DIR* items = ::fdopendir(::dup(target.fd()));
            if (!items) {
                continue;
            }
            while (const dirent* item = ::readdir(items)) {
                const std::string itemName = item->d_name;
                struct stat st {};
                if (!isTemporaryName(itemName) || itemName.rfind(owned, 0) != 0 ||
                    ::fstatat(target.fd(), item->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
                    !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode) || S_ISLNK(st.st_mode))) {
                    continue;
                }
                removeTreeAt(target.fd(), itemName, path + "/" + itemName);
            }
            ::closedir(items);
        }
        ::unlink(record.c_str());
    }
    ::closedir(dir);
}

}  // namespace ferrymark
